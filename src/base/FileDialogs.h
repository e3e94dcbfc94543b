#pragma once
#include <QString>

// The platform's standard open and save dialogs. filter is "Name|*.ext".
// Each returns the chosen full path, or an empty string on cancel.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString saveFile(const QString& title, const QString& proposed, const QString& filter) = 0;
    virtual QString openFile(const QString& title, const QString& proposed, const QString& filter) = 0;
};
