#pragma once
#include <QDialog>

#include "shell/Info.h"

class QTextEdit;
class QPushButton;

// "Info", window 95: 500 x 400, centred on the main window, a read-only
// wrapped text field and "OK". The steps and messages live in Info().
// UI thread; run() blocks in an application-modal loop.
class InfoWindow : public QDialog, public InfoView {
public:
    explicit InfoWindow(QWidget* owner, float layoutScale = 1.0f);

    QTextEdit* text = nullptr;   // 96
    QPushButton* ok = nullptr;   // 97

    bool createWindow() override;
    void setTitle(const QString& title) override;
    void setText(const QString& text) override;
    void runLoop() override;
    void closeWindow() override;

private:
    QWidget* owner;
};
