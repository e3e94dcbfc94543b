#include "dialogs/ExplorerModel.h"

#include <QFileInfo>

#include "dialogs/TextFit.h"

int ExplorerModel::columnCount(const QModelIndex& parent) const { return QFileSystemModel::columnCount(parent) + 1; }

QVariant ExplorerModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() == 0) return QFileSystemModel::data(index, role);
    if (index.column() == SelColumn) {
        if (role == Qt::DisplayRole) return isMarked(index) ? QVariant(QStringLiteral("<<<")) : QVariant();
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
        return QVariant();
    }
    // The base model's columns, one further right.
    const QModelIndex base = createIndex(index.row(), index.column() - 1, index.internalPointer());
    if (base.column() == 2 && role == Qt::DisplayRole) {
        if (isDir(index)) return QStringLiteral("Ordner");
        const QString suffix = QFileInfo(filePath(index)).suffix();
        return suffix.isEmpty() ? QStringLiteral("Datei") : suffix.toUpper() + QStringLiteral("-Datei");
    }
    // Sizes and times as the German interface writes them, whatever the
    // system's language.
    if (base.column() == 1 && role == Qt::DisplayRole && !isDir(index)) return fileSizeText(size(index));
    if (base.column() == 3 && role == Qt::DisplayRole) return fileTimeText(lastModified(index));
    return QFileSystemModel::data(base, role);
}

QVariant ExplorerModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QFileSystemModel::headerData(section > SelColumn ? section - 1 : section, orientation, role);
    switch (section) {
    case 0: return QStringLiteral("Name");
    case SelColumn: return QStringLiteral("Sel");
    case 2: return QStringLiteral("Größe");
    case 3: return QStringLiteral("Typ");
    case 4: return QStringLiteral("Geändert");
    default: return QVariant();
    }
}

void ExplorerModel::mark(const QModelIndex& index) {
    marked.insert(filePath(index));
    const QModelIndex sel = this->index(index.row(), SelColumn, index.parent());
    emit dataChanged(sel, sel, {Qt::DisplayRole});
}

void ExplorerModel::clearMarks() {
    marked.clear();  // the view repaints as it shows the next directory
}

bool ExplorerModel::isMarked(const QModelIndex& index) const { return marked.contains(filePath(index)); }
