#pragma once
#include <QElapsedTimer>
#include <QString>

#include "base/ScanProgress.h"

class QWidget;
class QDialog;
class QLabel;

// "Datei Liste abgleichen": three lines of text while a scan runs. The scan
// blocks the UI thread, so at most every RepaintMs the window handles the
// window system's exposure and paint events of all windows (never input,
// timers or sockets) and repaints itself; its close box does nothing.
// UI thread only.
class ScanProgressWindow : public ScanProgress {
public:
    static constexpr int RepaintMs = 40;

    explicit ScanProgressWindow(QWidget* owner);
    ~ScanProgressWindow() override;
    void setOwner(QWidget* owner) { this->owner = owner; }
    void setLayoutScale(float scale) { layoutScale = scale; }
    // Shows the window centred on the owner; false if it cannot be created.
    bool open() override;
    void setDirectory(const QString& text) override;  // line 2
    void setFile(const QString& text) override;       // line 3
    void close() override;
    // The window while open, else nullptr (for tests).
    QDialog* window() const { return dialog; }
    QString lineText(int line) const;  // 1..3, as last handed in

private:
    QWidget* owner;
    float layoutScale = 1.0f;
    QDialog* dialog = nullptr;
    QLabel* lines[3] = {nullptr, nullptr, nullptr};
    QString pending[3];
    QElapsedTimer sinceRepaint;
    void refresh(bool force);
};
