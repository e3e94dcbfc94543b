#pragma once
#include <QAbstractListModel>
#include <QVector>
#include <QWidget>
#include <functional>

#include "base/PassEvent.h"

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

// The rows of the song list: a shared copy of the caller's paths, no item
// per song. All rows report one size, the widest path's, so the view lays
// out 100,000 rows without asking each and still scrolls sideways to the
// end of the longest path.
class SongRowsModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    // Replaces the rows; the font gives the common row size.
    void setRows(const QVector<QString>& rows, const QFont& font);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const QVector<QString>& rows() const { return paths; }

private:
    QVector<QString> paths;
    QSize rowSize;
};

// "Lied auswählen", window 31: owned by the main window, resizable, stays
// open while the pass runs. Its buttons, the list's double-clicks and the
// close box go to the event sink as PassEvents; it holds no decisions.
// UI thread only.
class SongSelectionWindow : public QWidget {
public:
    using EventSink = std::function<void(const PassEvent&)>;
    // Builds the window at its designed inner size 460 x 300, hidden.
    SongSelectionWindow(QWidget* owner, float layoutScale, EventSink sink);

    QPushButton* refresh = nullptr;  // 32 "Aktualisieren"
    QLabel* hint = nullptr;          // 33
    QPushButton* find = nullptr;     // 34 "Finde:"
    QLineEdit* search = nullptr;     // 35
    QListView* list = nullptr;       // 36, anchored "RU"
    SongRowsModel model;

    void showRows(const QVector<QString>& rows);
    void selectRow(int row);  // -1: no selection; focus to the list
    int selectedRow() const;
    // Below this inner height the window is no longer of use: a place that
    // leaves less room gets this height all the same.
    int shortestUsefulHeight() const { return shortest; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    EventSink sink;
    int shortest;
    void emitControl(int control, int subType) const;
};
