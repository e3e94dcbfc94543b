#include "app/DisplayStart.h"

#include <QDir>
#include <QLibraryInfo>
#include <QList>

#include <cstdio>
#include <unistd.h>

namespace {
QtMessageHandler previous = nullptr;
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> heldMessages;

bool waylandPluginThere() {
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    for (const QString& folder : folders)
        if (!QDir(folder + QStringLiteral("/platforms")).entryList({QStringLiteral("libqwayland-*.so")}).isEmpty())
            return true;
    return false;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages.append({type, QByteArray(context.category ? context.category : ""), text});
        return;
    }
    const QString line = missingDisplayText(qEnvironmentVariable("QT_QPA_PLATFORM"),
                                            !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
                                            !qEnvironmentVariableIsEmpty("DISPLAY"), waylandPluginThere(),
                                            qEnvironmentVariable("DISPLAY"));
    std::fprintf(stderr, "kalvo2: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    ::_exit(1);
}
}  // namespace

QString missingDisplayText(const QString& chosenPlatform, bool waylandSession, bool x11Display,
                           bool waylandPluginThere, const QString& displayName) {
    const QString start = QStringLiteral("Keine Anzeige - ");
    if (!chosenPlatform.isEmpty())
        return start + QStringLiteral("die Qt-Plattform \"%1\" aus QT_QPA_PLATFORM lässt sich nicht öffnen.")
                           .arg(chosenPlatform);
    if (waylandSession && !waylandPluginThere && !x11Display)
        return start + QStringLiteral("für die Wayland-Sitzung fehlt das Paket qt6-wayland, "
                                      "und ohne Xwayland ist DISPLAY nicht gesetzt.");
    if (x11Display)
        return start + QStringLiteral("die X-Anzeige %1 (DISPLAY) ist nicht erreichbar.").arg(displayName);
    if (waylandSession)
        return start + QStringLiteral("die Wayland-Anzeige (WAYLAND_DISPLAY) ist nicht erreichbar.");
    return start + QStringLiteral("weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt; Kalvo2 braucht eine "
                                  "grafische Sitzung.");
}

void armDisplayStartGuard() {
    heldMessages.clear();
    previous = qInstallMessageHandler(handler);
}

void disarmDisplayStartGuard() {
    qInstallMessageHandler(previous);
    const QList<HeldMessage> messages = std::move(heldMessages);
    heldMessages.clear();
    for (const HeldMessage& m : messages) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.category.isEmpty() ? nullptr : m.category.constData());
        qt_message_output(m.type, context, m.text);
    }
}
