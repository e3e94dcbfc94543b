#include "app/CommandLine.h"

#include <cstdio>

#ifndef KALVO2_VERSION
#define KALVO2_VERSION "0.992"
#endif


namespace {
// Qt's command-line options; the first group takes a value.
const char* const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                       "display", "geometry", "style", "stylesheet"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <size_t N>
bool among(const QString& name, const char* const (&names)[N]) {
    for (const char* n : names)
        if (name == QLatin1String(n)) return true;
    return false;
}
}  // namespace

CommandLine parseCommandLine(const QStringList& args) {
    CommandLine result;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) {
            result.action = CommandLine::Action::Version;
            return result;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (arg.startsWith(QLatin1String("--"))) {
            const RemoteAction remote = remoteActionNamed(arg.mid(2));
            if (remote != RemoteAction::None && result.remote == RemoteAction::None) {
                result.remote = remote;
                continue;
            }
            if (remote != RemoteAction::None) {  // one action per call
                result.action = CommandLine::Action::Invalid;
                result.offending = arg;
                return result;
            }
        }
        // Qt accepts its options with one or two dashes, the value after "="
        // or as the next argument.
        QString name = arg;
        if (name.startsWith(QLatin1String("--"))) name.remove(0, 2);
        else if (name.startsWith(QLatin1Char('-'))) name.remove(0, 1);
        else name.clear();
        const int eq = name.indexOf(QLatin1Char('='));
        const bool inlineValue = eq >= 0;
        if (inlineValue) name.truncate(eq);
        if (!name.isEmpty() && among(name, kQtValueOptions) && (inlineValue || i + 1 < args.size())) {
            if (!inlineValue) ++i;
            continue;
        }
        if (!name.isEmpty() && !inlineValue && among(name, kQtFlagOptions)) continue;
        result.action = CommandLine::Action::Invalid;
        result.offending = arg;
        return result;
    }
    if (result.remote != RemoteAction::None) result.action = CommandLine::Action::Remote;
    return result;
}

QString versionText() { return QStringLiteral("Kalvo2 " KALVO2_VERSION "\n"); }

QString helpText() {
    QString actions;
    for (const RemoteActionInfo& info : remoteActions())
        actions += QStringLiteral("  --%1%2\n")
                       .arg(QLatin1String(info.word), -17)
                       .arg(QString::fromUtf8(info.help));
    return QStringLiteral(
        "Aufruf: kalvo2 [Option]\n"
        "Kalvo2 spielt die Lieder der Verzeichnisse seiner Liste.\n"
        "\n"
        "Optionen:\n"
        "  -h, --help       diese Hilfe zeigen und beenden\n"
        "  -v, --version    die Version zeigen und beenden\n"
        "  Qt-Optionen wie -platform, -display oder -style werden an Qt weitergegeben.\n"
        "\n"
        "Fernsteuerung des laufenden Players (eine Aktion je Aufruf; startet keinen\n"
        "Player; als Tastenkürzel des Desktops zu verwenden):\n") +
           actions +
           QStringLiteral(
        "  Rückgabewert: 0 ausgeführt, 1 kein Player läuft, 3 ein Fenster oder eine\n"
        "  Meldung des Players ist offen (nicht ausgeführt), 4 keine Antwort.\n"
        "\n"
        "Umgebungsvariablen:\n"
        "  KALVO2_AUDIO_SINK  GStreamer-Ausgabe in gst-launch-1.0-Schreibweise,\n"
        "                     z. B. \"alsasink device=hw:1\" (sonst autoaudiosink)\n"
        "  KALVO2_MODRENDER   Pfad des Modul-Renderers (sonst kalvo2-modrender in\n"
        "                     ../libexec/kalvo2/ vom Programm aus, im Paket also\n"
        "                     /usr/libexec/kalvo2/; im Build-Ordner neben dem Programm)\n"
        "  KALVO2_DISK_WAIT_MS\n"
        "                     Millisekunden ohne Antwort, nach denen ein Verzeichnis\n"
        "                     (etwa auf einem NAS) aufgegeben wird (sonst 10000)\n"
        "  XDG_DATA_HOME      Ort des Datenverzeichnisses Kalvo2/\n"
        "                     (sonst ~/.local/share/Kalvo2/)\n"
        "\n"
        "Pro Datenverzeichnis läuft ein Player; ein zweiter Start zeigt das\n"
        "Fenster des laufenden. Fernsteuerung auch über MPRIS2 als\n"
        "org.mpris.MediaPlayer2.kalvo2, z. B. playerctl -p kalvo2 next\n");
}

int handleCommandLine(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(args);
    switch (line.action) {
    case CommandLine::Action::Run: return -1;
    case CommandLine::Action::Version:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Help:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Remote: return sendRemoteAction(argc, argv, line.remote);
    case CommandLine::Action::Invalid:
        std::fprintf(stderr, "kalvo2: unbekannte Option '%s'\n\n", line.offending.toLocal8Bit().constData());
        std::fputs(helpText().toLocal8Bit().constData(), stderr);
        return 2;
    }
    return -1;
}
