// "kalvo2 --next" and its kin: one request to the running player over the
// single-instance socket. Needs no display and touches no file.
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

#include "app/CommandLine.h"
#include "base/Folders.h"
#include "platform/InstanceLock.h"
#include "shell/SingleInstance.h"

namespace {
// How long a reached player may take to answer: it answers from its event
// loop, between two passes.
constexpr int kAnswerMs = 5000;

void tell(const QString& line) { std::fprintf(stderr, "kalvo2: %s\n", line.toLocal8Bit().constData()); }
}  // namespace

int sendRemoteAction(int argc, char** argv, RemoteAction action) {
    QCoreApplication app(argc, argv);
    const InstancePlan plan = planInstanceLock(genericDataFolder(), QDir::homePath());
    const QString socket = raiseSocketPath(plan.dataFolder, qEnvironmentVariable("XDG_RUNTIME_DIR"));
    RemoteRequest request;
    request.action = action;
    if (action == RemoteAction::Raise) {
        // The launcher's token lets the window come to the front on Wayland;
        // one the socket would refuse is left out.
        RemoteRequest withToken = request;
        withToken.activationToken = qgetenv("XDG_ACTIVATION_TOKEN");
        if (parseRemoteRequest(remoteRequestLine(withToken)).action == action) request = withToken;
    }
    const QString option = QStringLiteral("--") + QString::fromLatin1(remoteActionWord(action));
    switch (RaiseChannel::ask(socket, request, kAnswerMs, 0)) {
    case RaiseChannel::Answer::Taken: return RemoteTaken;
    case RaiseChannel::Answer::Busy:
        tell(QStringLiteral("%1 wurde nicht ausgeführt: im laufenden Kalvo2 ist ein Fenster oder eine Meldung "
                            "offen, die zuerst geschlossen werden muss.")
                 .arg(option));
        return RemoteBusy;
    case RaiseChannel::Answer::NoAnswer:
        tell(QStringLiteral("%1 wurde nicht ausgeführt: der laufende Kalvo2 antwortet nicht.").arg(option));
        return RemoteNoAnswer;
    case RaiseChannel::Answer::NoPlayer: break;
    }
    tell(QStringLiteral("%1 wurde nicht ausgeführt: es läuft kein Kalvo2 (Datenordner %2). "
                        "Starten Sie zuerst den Player mit kalvo2.")
             .arg(option, QDir::toNativeSeparators(plan.dataFolder)));
    return RemoteNoPlayer;
}
