#include "playback/engines/LoudnessProbe.h"

#include <QProcess>
#include <QStringList>

#include "library/SongPattern.h"

namespace {
// A measurement that takes longer than this is given up (a decoder that
// hangs); real songs measure in seconds.
constexpr int GiveUpMs = 10 * 60 * 1000;
constexpr int PollMs = 100;
}  // namespace

LoudnessProbe::LoudnessProbe(QString renderer, QString modulePatterns, int loopLimit, int loopSeconds)
    : renderer(std::move(renderer)), modulePatterns(std::move(modulePatterns)), loopLimit(loopLimit),
      loopSeconds(loopSeconds) {}

bool LoudnessProbe::isModule(const QString& path) const {
    // The same choice of engine the controller makes.
    return SongPattern(modulePatterns).takes(extensionOf(path));
}

std::optional<Loudness> LoudnessProbe::measure(const QString& path, const std::atomic<bool>& cancel) const {
    QStringList args{QStringLiteral("--measure"), path};
    if (isModule(path))
        args << QStringLiteral("--module") << QStringLiteral("--loop-limit") << QString::number(loopLimit)
             << QStringLiteral("--loop-seconds") << QString::number(loopSeconds);
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(renderer, args, QIODevice::ReadOnly);
    if (!p.waitForStarted(10000))
        return std::nullopt;
    int waited = 0;
    while (!p.waitForFinished(PollMs)) {
        waited += PollMs;
        if (cancel || waited > GiveUpMs || p.state() == QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
            return std::nullopt;
        }
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    if (f.size() != 3 || f[0] != "loudness")
        return std::nullopt;
    bool ok1 = false, ok2 = false;
    Loudness l{f[1].toDouble(&ok1), f[2].toDouble(&ok2)};
    if (!ok1 || !ok2)
        return std::nullopt;
    return l;
}
