#pragma once
#include <memory>

#include "shell/ScanProgress.h"

class QWidget;
class QDialog;
class QLabel;

// "Datei Liste abgleichen": three lines of text while a scan runs.
class ScanProgressWindow : public ScanProgress {
public:
    explicit ScanProgressWindow(QWidget* owner);
    ~ScanProgressWindow() override;
    void setOwner(QWidget* owner) { this->owner = owner; }
    bool open() override;
    void setDirectory(const QString& text) override;
    void setFile(const QString& text) override;
    void close() override;
private:
    QWidget* owner;
};
