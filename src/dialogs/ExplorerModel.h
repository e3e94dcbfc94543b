#pragma once
#include <QFileSystemModel>
#include <QSet>

// The explorer's file-system model with a column "Sel" inserted as the
// second column (name, "Sel", size, type, date). "Sel" shows "<<<" for the
// rows marked as directories of the list. Headers and the type are German.
class ExplorerModel : public QFileSystemModel {
    Q_OBJECT
public:
    static constexpr int SelColumn = 1;
    using QFileSystemModel::QFileSystemModel;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void mark(const QModelIndex& index);
    void clearMarks();
    bool isMarked(const QModelIndex& index) const;

private:
    QSet<QString> marked;  // file paths of the marked rows
};
