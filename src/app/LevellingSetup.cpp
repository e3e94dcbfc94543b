#include "app/LevellingSetup.h"

#include <QStringList>

#include "dialogs/LevellingSwitchAction.h"
#include "dialogs/MainWindow.h"
#include "playback/Levelling.h"
#include "playback/engines/LoudnessProbe.h"
#include "shell/Kalvo.h"

namespace {
// The list is looked at this often for songs to measure (cheap while nothing changed).
constexpr int QueueRefreshMs = 2000;
// The first look, soon after start-up, once the resume song plays.
constexpr int FirstRefreshMs = 1000;
}  // namespace

LevellingSetup::LevellingSetup() = default;
LevellingSetup::~LevellingSetup() = default;

void LevellingSetup::start(Kalvo& kalvo, MainWindow& window, const QString& renderer) {
    k = &kalvo;
    if (k->shell.dataFolder.isEmpty())
        return;
    auto probe = [this, renderer](const QString& path, const std::atomic<bool>& cancel) {
        ProbeSettings s;
        {
            std::lock_guard<std::mutex> g(settingsLock);
            s = probeSettings;
        }
        return LoudnessProbe(renderer, s.modulePatterns, s.loopLimit, s.loopSeconds).measure(path, cancel);
    };
    levelling = std::make_unique<Levelling>(k->shell.dataFolder, probe,
                                            [this](const QString& line) { k->shell.LogLine(line); });
    levelling->start();
    Levelling* l = levelling.get();
    k->playback.output.setGainProvider([l](const QString& path) { return l->gain(path); });
    // The switch, or the song heard measured at last: applied at once.
    QObject::connect(l, &Levelling::gainsChanged, this, [this] { k->playback.output.refreshGain(); });
    addLevellingSwitch(window, levelling->enabled(), [this](bool on) { levelling->setEnabled(on); });
    QObject::connect(&timer, &QTimer::timeout, this, [this] {
        timer.setInterval(QueueRefreshMs);
        refreshQueue();
    });
    timer.start(FirstRefreshMs);
}

void LevellingSetup::refreshQueue() {
    {
        std::lock_guard<std::mutex> g(settingsLock);
        probeSettings.modulePatterns = k->settings.TrackerModDateiPattern;
        probeSettings.loopLimit = k->settings.LoopoutTM;
        probeSettings.loopSeconds = k->settings.TimeoutTM;
    }
    SongList& list = k->library.songList;
    const int n = list.size();
    const int at = std::max(0, list.index());
    const QString signature = QStringLiteral("%1|%2|%3|%4")
                                  .arg(n)
                                  .arg(at)
                                  .arg(n ? list.at(0).filePath : QString())
                                  .arg(n ? list.at(n - 1).filePath : QString());
    if (signature == queueSignature)
        return;
    queueSignature = signature;
    // The song under the cursor, then those after it in playing order, then
    // the ones before it (reached again when the list starts over).
    QStringList order;
    order.reserve(n);
    for (int i = 0; i < n; ++i) {
        const SongEntry& e = list.at((at + i) % n);
        if (e.presence > 0)
            order << e.filePath;
    }
    levelling->setQueue(order);
}
