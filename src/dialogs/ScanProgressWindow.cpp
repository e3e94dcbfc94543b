#include "dialogs/ScanProgressWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QWindow>
#include <QDialog>
#include <QLabel>
#include <QWidget>

#include "dialogs/LayoutAnchors.h"

namespace {

// While the scan blocks the UI thread only the window system's own events
// (exposure, paint) are handled: no input, no timer and no socket, so no
// pass and no bus request runs in between.
constexpr QEventLoop::ProcessEventsFlags kPaintOnly =
    QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers;
constexpr int ExposeWaitMs = 300;

// The progress dialog ignores its close box and Escape while a scan runs.
class ScanDialog : public QDialog {
public:
    using QDialog::QDialog;
protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
    void reject() override {}
};

}  // namespace

ScanProgressWindow::ScanProgressWindow(QWidget* owner) : owner(owner) {}

ScanProgressWindow::~ScanProgressWindow() { delete dialog; }

bool ScanProgressWindow::open() {
    close();
    dialog = new ScanDialog(owner);
    dialog->setWindowTitle(QStringLiteral("Datei Liste abgleichen"));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setFont(layoutFont());
    const int w = scaled(400, layoutScale), h = scaled(85, layoutScale);
    dialog->setFixedSize(w, h);
    pending[0] = QStringLiteral("Die Dateiliste wird aktualisiert - bitte Geduld...");
    pending[1].clear();
    pending[2].clear();
    for (int i = 0; i < 3; ++i) {
        lines[i] = new QLabel(dialog);
        lines[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        lines[i]->setGeometry(scaled(10, layoutScale), scaled(20 + 20 * i, layoutScale), scaled(380, layoutScale),
                              scaled(15, layoutScale));
        lines[i]->setText(pending[i]);
    }
    RegisterWindowLayout(dialog, 0, 0, w, h);
    if (owner) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        dialog->move(centre.x() - w / 2, centre.y() - h / 2);
    }
    dialog->show();
    // A window manager maps the window a moment later; until it is exposed
    // nothing drawn reaches the screen.
    QElapsedTimer waited;
    waited.start();
    while (dialog->windowHandle() && !dialog->windowHandle()->isExposed() && waited.elapsed() < ExposeWaitMs) {
        QCoreApplication::processEvents(kPaintOnly);
        QThread::msleep(2);
    }
    refresh(true);
    return true;
}

void ScanProgressWindow::setDirectory(const QString& text) {
    pending[1] = text;
    refresh(false);
}

void ScanProgressWindow::setFile(const QString& text) {
    pending[2] = text;
    refresh(false);
}

void ScanProgressWindow::refresh(bool force) {
    if (!dialog) return;
    if (!force && sinceRepaint.isValid() && sinceRepaint.elapsed() < RepaintMs) return;
    sinceRepaint.start();
    for (int i = 0; i < 3; ++i)
        if (lines[i]->text() != pending[i]) lines[i]->setText(pending[i]);
    // The owner and every other window get their pending exposures and
    // paints too; then this window is drawn at once.
    QCoreApplication::processEvents(kPaintOnly);
    if (dialog && dialog->isVisible()) dialog->repaint();
}

QString ScanProgressWindow::lineText(int line) const {
    return (line >= 1 && line <= 3) ? pending[line - 1] : QString();
}

void ScanProgressWindow::close() {
    if (!dialog) return;
    dialog->hide();
    delete dialog;
    dialog = nullptr;
    for (QLabel*& l : lines) l = nullptr;
}
