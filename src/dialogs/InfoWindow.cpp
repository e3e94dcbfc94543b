#include "dialogs/InfoWindow.h"

#include <QPushButton>
#include <QTextEdit>

#include "dialogs/LayoutAnchors.h"
#include "dialogs/PassDriver.h"
#include "dialogs/WindowPlacement.h"

namespace {
constexpr int InfoWindowNumber = 95;
}

InfoWindow::InfoWindow(QWidget* owner, float s) : QDialog(owner), owner(owner) {
    auto place = [s](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(scaled(x, s), scaled(y, s), scaled(width, s), scaled(height, s));
    };
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setWindowNumber(this, InfoWindowNumber);
    setWindowTitle(QStringLiteral("Info"));
    setFont(layoutFont());
    setFixedSize(scaled(500, s), scaled(400, s));
    RegisterWindowLayout(this, 0, 0, scaled(500, s), scaled(400, s));

    text = new QTextEdit(this);
    text->setReadOnly(true);
    text->setAcceptRichText(false);
    text->setLineWrapMode(QTextEdit::WidgetWidth);
    place(text, 10, 10, 480, 360);

    ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setAutoDefault(false);
    place(ok, 205, 375, 80, 20);
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });
}

bool InfoWindow::createWindow() { return true; }

void InfoWindow::setTitle(const QString& title) { setWindowTitle(title); }

void InfoWindow::setText(const QString& t) {
    text->setPlainText(t);
    text->moveCursor(QTextCursor::Start);
}

void InfoWindow::runLoop() {
    centreOnOwner(this, owner);
    ok->setFocus();
    exec();
}

void InfoWindow::closeWindow() { hide(); }
