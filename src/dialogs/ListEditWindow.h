#pragma once
#include <QDialog>
#include <QSet>
#include <functional>

#include "library/ListEdit.h"

class Kalvo;
class QEventLoop;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeView;
class ExplorerModel;

// "Liste → Bearbeiten": opens WndChldListe and runs ListeBearbeiten.
// UI thread; blocks until the window is left and the list is saved.
void runListEdit(Kalvo& k, QWidget* owner);

// WndChldListe, client 635 x 370: the directory list, ">>", "<<", the
// explorer path text, "...", the explorer and "OK". It connects its widgets
// to ListEdit and holds no decisions. Public members for tests.
class ListEditWindow : public QDialog, public ListEditView {
    Q_OBJECT
public:
    explicit ListEditWindow(QWidget* owner, float layoutScale = 1.0f);
    ~ListEditWindow() override;
    // Routes the widgets' events to edit (which must outlive the window's use).
    void connectTo(ListEdit& edit);

    QListWidget* pathList = nullptr;
    QPushButton* removeButton = nullptr;  // ">>"
    QPushButton* addButton = nullptr;     // "<<"
    QLabel* explorerPathLabel = nullptr;
    QPushButton* chooseButton = nullptr;  // "..."
    QTreeView* explorer = nullptr;
    ExplorerModel* model = nullptr;
    QPushButton* okButton = nullptr;
    // The directory chooser; tests replace it. Returns empty on cancel.
    std::function<QString(QWidget*, const QString& prompt, const QString& start)> chooser;

    // Opens the directory shown in the explorer as a user's double-click does.
    void openExplorerRow(const QModelIndex& index);

    // ListEditView
    bool openWindow() override;
    void runWindow() override;
    void closeWindow() override;
    void setPathLines(const QStringList& lines) override;
    QStringList selectedPathLines() const override;
    void setExplorerPathText(const QString& text) override;
    void showExplorer(const QString& directory, const QString& patterns) override;
    QString explorerDirectory() const override;
    QVector<ExplorerRow> explorerRows() const override;
    void markExplorerRow(int row) override;
    QString chooseDirectory(const QString& prompt, const QString& start) override;

    // "OK" and a close request end run(); the window stays up until close().
    void done(int result) override;

private:
    ListEdit* edit = nullptr;
    QEventLoop* loop = nullptr;
    bool finished = false;
    QSet<QString> loadedDirectories;  // listed by the model at least once
    void navigate(const QString& directory);
    void waitUntilListed(const QString& directory);
    // Name, "Sel" and size fill the explorer's width, so the size shows
    // whole; the name column gives way, unless the user has sized it.
    void fitExplorerColumns();
    bool fittingColumns = false;
    bool nameSizedByUser = false;
    int nameWidth = 0;  // as designed: the widest the fitting makes it
};
