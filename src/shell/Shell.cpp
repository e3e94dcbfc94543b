#include "shell/Shell.h"

#include <QDir>

#include "shell/Kalvo.h"
#include "shell/MainView.h"
#include "shell/Messages.h"
#include "shell/Clock.h"

void Shell::PrepareFolders() {}
void Shell::SaveAtExit() {}

bool Shell::ShowMessage(const QString& text, bool ask) {
    PassSuspension guard(*this);
    return k.s.messages.showMessage(text, ask);
}

void Shell::ShowSongText(const QString& text) { k.s.view.setSongText(text); }

void Shell::markActivity() { lastActivityTime = k.s.clock.tickMs(); }

void Shell::pass(const PassEvent& event) { (void)event; }
void Shell::dispatchMenu(int item) { (void)item; }
void Shell::dispatchControl(const PassEvent& event) { (void)event; }

QString AddBackslash(const QString& path) {
    const QChar sep = QDir::separator();
    if (path.endsWith(sep)) return path;
    return path + sep;
}

QString filePart(const QString& path) {
    const qsizetype cut = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}
