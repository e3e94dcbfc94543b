#pragma once
#include <QApplication>
#include <QStyleFactory>

#include "dialogs/LayoutAnchors.h"

// The QApplication of a widget test program, set up as main() does.
inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "test_dialogs";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    static bool styled = [] {
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
        QApplication::setFont(layoutFont());
        QApplication::setQuitOnLastWindowClosed(false);
        return true;
    }();
    (void)styled;
    return *qApp;
}
