#include "dialogs/ListPanelAdapter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPushButton>
#include <QTreeWidget>

#include "base/PassEvent.h"
#include "dialogs/MainWindow.h"
#include "dialogs/TextFit.h"

namespace {
QTreeWidget* panelList(MainWindow& w) { return static_cast<QTreeWidget*>(w.control(CtlPanelList)); }
}  // namespace

void ListPanelAdapter::setToggleCaption(const QString& caption) {
    static_cast<QPushButton*>(window.control(CtlPanelToggle))->setText(caption);
}

void ListPanelAdapter::setInnerWidth(int width) { window.setInnerWidth(width); }

void ListPanelAdapter::showListFiles(const QString& directory, const QStringList& names) {
    QTreeWidget* list = panelList(window);
    list->clear();
    for (const QString& name : names) {
        const QFileInfo info(directory + name);
        new QTreeWidgetItem(list, {name, fileSizeText(info.size()), fileTimeText(info.lastModified())});
    }
    window.fitListPanelColumns();
}

QString ListPanelAdapter::selectedName() const {
    const QList<QTreeWidgetItem*> selected = panelList(window)->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

bool ListPanelAdapter::listHasFocus() const { return panelList(window)->hasFocus(); }

void ListPanelAdapter::focusListName() { window.control(CtlListName)->setFocus(); }
