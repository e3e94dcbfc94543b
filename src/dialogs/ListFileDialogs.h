#pragma once
#include "shell/FileDialogs.h"

class QWidget;

// The platform's standard open and save dialogs for list files.
class ListFileDialogs : public FileDialogs {
public:
    explicit ListFileDialogs(QWidget* owner) : owner(owner) {}
    void setOwner(QWidget* o) { owner = o; }
    QString saveFile(const QString& title, const QString& proposed, const QString& filter) override;
    QString openFile(const QString& title, const QString& proposed, const QString& filter) override;
private:
    QWidget* owner;
};
