#pragma once
#include <QString>

#include "base/FileDialogs.h"

class QWidget;

// The platform's standard open and save dialogs for list files. Both block
// in their own event loop; callers suspend the pass meanwhile.
class ListFileDialogs : public FileDialogs {
public:
    explicit ListFileDialogs(QWidget* owner) : owner(owner) {}
    void setOwner(QWidget* o) { owner = o; }
    QString saveFile(const QString& title, const QString& proposed, const QString& filter) override;
    QString openFile(const QString& title, const QString& proposed, const QString& filter) override;
private:
    QWidget* owner;
};

// "Text-Listen|*.txt" -> "Text-Listen (*.txt)"; ";" between patterns becomes
// a blank. A filter without "|" is returned unchanged.
QString qtFileFilter(const QString& filter);
