#pragma once
#include <QString>

// The small window "Datei Liste abgleichen" shown while a scan runs.
class ScanProgress {
public:
    virtual ~ScanProgress() = default;
    virtual bool open() = 0;  // false when the window cannot be opened
    virtual void setDirectory(const QString& text) = 0;  // line 2
    virtual void setFile(const QString& text) = 0;       // line 3
    virtual void close() = 0;
};
