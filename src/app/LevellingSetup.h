#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <mutex>


class Kalvo;
class Levelling;
class MainWindow;

// Even loudness in the running player: the background measuring of the
// list, the switch in the Extras menu, and the gain provider of the output
// stage. UI thread.
class LevellingSetup : public QObject {
public:
    LevellingSetup();
    ~LevellingSetup() override;

    // After the data folder is prepared, before the first song: reads the
    // switch and the cache, gives the output stage its gain provider, adds
    // the switch to the menu, and starts measuring the list soon after
    // start-up. Without a data folder the songs play unchanged.
    void start(Kalvo& k, MainWindow& window, const QString& renderer);

private:
    void refreshQueue();

    Kalvo* k = nullptr;
    std::unique_ptr<Levelling> levelling;
    QTimer timer;
    QString queueSignature;
    // What the measuring worker needs from the settings, copied on the UI thread.
    struct ProbeSettings {
        QString modulePatterns;
        int loopLimit = 30;
        int loopSeconds = 120;
    };
    std::mutex settingsLock;
    ProbeSettings probeSettings;
};
