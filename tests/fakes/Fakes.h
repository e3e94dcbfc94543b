#pragma once
// Fakes for headless logic tests: they record what the logic did and answer
// as a test scripts them. Use them in addition to tests on the real things.
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>
#include <deque>
#include <memory>
#include <ostream>

#include "playback/engines/MediaEngine.h"
#include "playback/engines/ModuleEngine.h"
#include "playback/engines/SoundEffects.h"
#include "base/Clock.h"
#include "base/Desktop.h"
#include "base/FileDialogs.h"
#include "base/FileOps.h"
#include "shell/Kalvo.h"
#include "base/MainView.h"
#include "base/Messages.h"
#include "base/RandomSource.h"
#include "base/ScanProgress.h"
#include "base/Windows.h"
#include "library/ListPanel.h"

// GoogleTest prints QStrings readably.
void PrintTo(const QString& s, std::ostream* os);

class FakeView : public MainView {
public:
    QString title, listName, path, song, counter, time, position, snooze;
    int volume = 0, hour = 0, minute = 0, x = 100, y = 100, panelColumn = 0;
    bool bs = false, wecken = false, fortf = false, zufall = false;
    QStringList songHistory;  // every text the song field showed

    void setTitle(const QString& t) override { title = t; }
    void setListName(const QString& t) override { listName = t; }
    void setPathText(const QString& t) override { path = t; }
    QString pathText() const override { return path; }
    void setSongText(const QString& t) override { song = t; songHistory << t; }
    QString songText() const override { return song; }
    void setCounterText(const QString& t) override { counter = t; }
    void setTimeText(const QString& t) override { time = t; }
    void setPositionText(const QString& t) override { position = t; }
    int volumeSlider() const override { return volume; }
    void setVolumeSlider(int v) override { volume = v; }
    bool blackscreenBox() const override { return bs; }
    void setBlackscreenBox(bool on) override { bs = on; }
    bool weckenBox() const override { return wecken; }
    void setWeckenBox(bool on) override { wecken = on; }
    int alarmHour() const override { return hour; }
    void setAlarmHour(int h) override { hour = h; }
    int alarmMinute() const override { return minute; }
    void setAlarmMinute(int m) override { minute = m; }
    QString snoozeText() const override { return snooze; }
    void setSnoozeText(const QString& t) override { snooze = t; }
    bool fortfBox() const override { return fortf; }
    void setFortfBox(bool on) override { fortf = on; }
    bool zufallBox() const override { return zufall; }
    void setZufallBox(bool on) override { zufall = on; }
    int windowX() const override { return x; }
    int windowY() const override { return y; }
    void moveWindow(int nx, int ny) override { x = nx; y = ny; }
    int innerWidth() const override { return 400; }
    int innerHeight() const override { return 180; }
    void setListPanelColumnWidth(int w) override { panelColumn = w; }
};

class FakeMessages : public Messages {
public:
    struct Shown { QString text; bool ask; };
    QVector<Shown> shown;
    std::deque<bool> answers;  // answers to asks, in order; default No
    int errorBeeps = 0, asteriskBeeps = 0;

    bool showMessage(const QString& text, bool ask) override {
        shown.push_back({text, ask});
        if (!ask) return false;
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QStringList notices;  // notices that do not block, in order
    void showNotice(const QString& text) override { notices << text; }
    void errorBeep() override { ++errorBeeps; }
    void asteriskBeep() override { ++asteriskBeeps; }
};

// A clock that advances instead of sleeping.
class FakeClock : public Clock {
public:
    uint32_t tick = 1000000;
    qint64 local = 1796663109;  // 2026-12-07 17:05:09 local wall clock
    int totalSlept = 0;
    uint32_t tickMs() override { return tick; }
    qint64 localSeconds() override { return local; }
    void sleepMs(int ms) override { totalSlept += ms; advance(ms); }
    void advance(int ms) {
        tick += uint32_t(ms);
        subMs += ms;
        local += subMs / 1000;
        subMs %= 1000;
    }
private:
    int subMs = 0;
};

class FakeDesktop : public Desktop {
public:
    QStringList opened;
    QVector<int> registered;
    bool acceptHotkeys = true;
    int screensaverOff = 0, lowPower = 0;
    // Remote control: every call in order ("register 2 3 78", "unregister 2",
    // "screensaver 0", "lowpower"), failures to script, the reason given.
    QStringList calls;
    QVector<int> refusedIds;  // registerHotkey refuses these ids
    bool hotkeys = true, screensaverWorks = true, lowPowerWorks = true;
    QString error = QStringLiteral("no such service");
    // Opens unless openFails; laterFailure, when set, is reported at once.
    bool openFails = false;
    QString laterFailure;
    bool openFolder(const QString& f, std::function<void(const QString&)> failedLater) override {
        opened << f;
        if (openFails) return false;
        if (!laterFailure.isEmpty()) failedLater(laterFailure);
        return true;
    }
    bool setScreensaverEnabled(bool enabled) override {
        calls << QStringLiteral("screensaver %1").arg(enabled ? 1 : 0);
        if (!enabled) ++screensaverOff;
        return screensaverWorks;
    }
    bool monitorLowPower() override { calls << "lowpower"; ++lowPower; return lowPowerWorks; }
    bool registerHotkey(int id, int mod, int key) override {
        calls << QStringLiteral("register %1 %2 %3").arg(id).arg(mod).arg(key);
        const bool ok = acceptHotkeys && !refusedIds.contains(id);
        if (ok) registered << id;
        return ok;
    }
    void unregisterHotkey(int id) override { calls << QStringLiteral("unregister %1").arg(id); registered.removeAll(id); }
    bool hotkeysAvailable() const override { return hotkeys; }
    QString lastError() const override { return error; }

    // Desktop shortcuts: offered or not, answered at once or when the test
    // says (probeLater); every bind kept with its callback to answer.
    bool shortcutsOffered = false, probeLater = false;
    QString shortcutsHow = QStringLiteral("not offered");
    std::function<void(bool, const QString&)> probeDone;
    QVector<QVector<DesktopShortcut>> binds;
    QVector<std::function<void(const DesktopShortcutAnswer&)>> bindAnswers;
    void probeShortcuts(std::function<void(bool, const QString&)> done) override {
        if (probeLater) probeDone = std::move(done);
        else done(shortcutsOffered, shortcutsHow);
    }
    void bindShortcuts(const QVector<DesktopShortcut>& s, std::function<void(const DesktopShortcutAnswer&)> done) override {
        binds << s;
        bindAnswers << std::move(done);
    }
    // Every change of the suspend hold, in order.
    QVector<bool> suspendHolds;
    void holdOffSuspend(bool hold) override {
        if (suspendHolds.isEmpty() ? hold : suspendHolds.last() != hold) suspendHolds << hold;
    }
};

// Real file operations with failures a test can switch on.
class FaultyFileOps : public FileOps {
public:
    bool failCopy = false, failRemove = false, failRename = false;
    QStringList removeRefused;  // paths whose removal fails
    bool copyFile(const QString& from, const QString& to) override {
        return failCopy ? false : FileOps::copyFile(from, to);
    }
    bool removeFile(const QString& p) override {
        return (failRemove || removeRefused.contains(p)) ? false : FileOps::removeFile(p);
    }
    bool renameNoReplace(const QString& from, const QString& to) override {
        return failRename ? false : FileOps::renameNoReplace(from, to);
    }
};

// Deals keys from a script, then counts up.
class ScriptedRandom : public RandomSource {
public:
    std::deque<int32_t> script;
    int32_t nextValue = 1000;
    int32_t nextKey() override {
        if (!script.empty()) { int32_t v = script.front(); script.pop_front(); return v; }
        return nextValue++;
    }
};

class FakeProgress : public ScanProgress {
public:
    bool canOpen = true;
    int opens = 0, closes = 0;
    QStringList directories, files;
    bool open() override { ++opens; return canOpen; }
    void setDirectory(const QString& t) override { directories << t; }
    void setFile(const QString& t) override { files << t; }
    void close() override { ++closes; }
};

class FakeFileDialogs : public FileDialogs {
public:
    QString answer;  // empty: cancel
    QStringList titles, proposals;
    QString saveFile(const QString& t, const QString& p, const QString&) override { titles << t; proposals << p; return answer; }
    QString openFile(const QString& t, const QString& p, const QString&) override { titles << t; proposals << p; return answer; }
};

class FakeWindows : public Windows {
public:
    QStringList opened;
    bool selectionOpen = false;
    bool selectionCanOpen = true;
    WindowRect selectionRect;
    QString searchText;
    QVector<QString> rows;
    int fills = 0;
    int selectedRow = -1;
    QVector<int> selections;  // every row selectSongRow was given
    void openRestoreDialog() override { opened << "restore"; }
    void openListEdit() override { opened << "listedit"; }
    void openKeyConfig() override { opened << "keyconfig"; }
    void openInfo() override { opened << "info"; }
    bool openSongSelection() override {
        opened << "selection";
        selectionOpen = selectionCanOpen;
        rows.clear();
        selectedRow = -1;
        return selectionCanOpen;
    }
    void closeSongSelection() override { selectionOpen = false; }
    bool songSelectionOpen() const override { return selectionOpen; }
    void placeSongSelection(const WindowRect& r) override { selectionRect = r; }
    WindowRect songSelectionGeometry() const override { return selectionRect; }
    QString songSelectionSearchText() const override { return searchText; }
    void showSongRows(const QVector<QString>& r) override { rows = r; ++fills; selectedRow = -1; }
    void selectSongRow(int row) override { selectedRow = row; selections << row; }
    int selectedSongRow() const override { return selectedRow; }
    // The black window: opens unless blackFails; counts opens and closes.
    bool blackOpen = false, blackFails = false;
    int blackOpens = 0, blackCloses = 0;
    bool openBlackWindow() override { if (blackFails) return false; ++blackOpens; blackOpen = true; return true; }
    void closeBlackWindow() override { ++blackCloses; blackOpen = false; }
    bool blackWindowOpen() const override { return blackOpen; }
    // The list panel refreshed through this window set, when a test gives one.
    ListPanel* listPanel = nullptr;
    void refreshListPanel() override { if (listPanel) listPanel->refresh(); }
};

// Records every call; loads succeed unless the path is listed in failLoads,
// the file does not exist (when requireFiles is set) or the output is down.
class RecordingMediaEngine : public MediaEngine {
public:
    QStringList calls;
    QStringList failLoads;
    bool outputDown = false;
    bool requireFiles = false;
    bool initOk = true;
    QString heldPath() const override { return loaded ? loadedPath : QString(); }
    bool loaded = false;
    QString loadedPath;
    int nextHandle = 1;
    MediaHandle handle = 0;
    qint64 len = 3000000000LL;  // 300 s
    qint64 pos = 0;
    int lastVolume = -1, lastBalance = 0;

    bool initialise() override { calls << "initialise"; return initOk; }
    bool isLoaded() const override { return loaded; }
    MediaHandle load(const QString& path) override;
    bool outputFailed() const override { return outputDown; }
    void setTimeUnit(MediaHandle) override { calls << "setTimeUnit"; }
    void setAudio(int v, int b) override { lastVolume = v; lastBalance = b; calls << QStringLiteral("setAudio %1").arg(v); }
    void play() override { calls << "play"; held = false; }
    // Holds only a loaded song; the position stays where the test puts it.
    bool held = false;
    void pause() override { calls << "pause"; held = loaded; }
    void resume() override { calls << "resume"; held = false; }
    bool paused() const override { return held; }
    qint64 length(MediaHandle) override { return loaded ? len : 0; }
    qint64 position(MediaHandle) override { return loaded ? pos : 0; }
    void seek(MediaHandle, qint64 p) override { calls << QStringLiteral("seek %1").arg(p); pos = p; }
    void stop() override { calls << "stop"; pos = 0; held = false; }
    void release() override {
        calls << "release";
        loaded = false;
        held = false;
        handle = 0;
        loadedPath.clear();
        prepared.clear();
        joined = 0;
    }
    // The output level: the last one set, the one the last load began
    // with, and every change in order.
    double level = 1.0;
    double levelAtLoad = -1;
    QVector<double> levels;
    void setOutputLevel(double l) override { level = l; levels << l; }
    // The loudness gain: the last one set and the one the last load began with.
    double gain = 1.0;
    double gainAtLoad = -1;
    void setGain(double g) override { gain = g; }
    // Continuous play: every offer, what was prepared (prepareFails
    // refuses); join() makes the stream take it, and the next takeJoined
    // reports it.
    QStringList offers;
    QString prepared;
    bool prepareFails = false;
    MediaHandle joined = 0;
    bool prepareNext(const QString& path) override;
    MediaHandle takeJoined() override;
    // The stream reaches the prepared song: it is heard from now on.
    void join();
    // What tags() answers while loaded; a test raises its revision to tell a
    // later tag event.
    SongTags songTags;
    SongTags tags() override { return loaded ? songTags : SongTags{}; }
};

class RecordingModuleEngine : public ModuleEngine {
public:
    QStringList calls;
    QStringList failLoads;
    bool requireFiles = false;
    bool initOk = true;
    bool loaded = false, playing = false;
    QString loadedPath;
    int pattern = 0, row = 0;
    int lastVolume = -1;
    int lastSeekMs = -1;

    bool initialise() override { calls << "initialise"; return initOk; }
    bool isLoaded() const override { return loaded; }
    bool load(const QString& path) override;
    void play() override { calls << "play"; playing = true; held = false; }
    // Holds only a module that plays; pattern and row stay as the test sets them.
    bool held = false;
    void pause() override { calls << "pause"; held = loaded && playing; }
    void resume() override { calls << "resume"; held = false; }
    bool paused() const override { return held; }
    void setVolume(int v) override { lastVolume = v; calls << QStringLiteral("setVolume %1").arg(v); }
    void seek(int ms) override { lastSeekMs = ms < 0 ? 0 : ms; calls << QStringLiteral("seek %1").arg(lastSeekMs); }
    int currentPattern() const override { return (loaded && playing) ? pattern : 0; }
    int currentRow() const override { return (loaded && playing) ? row : 0; }
    void stop() override { calls << "stop"; playing = false; held = false; }
    void release() override { calls << "release"; playing = false; held = false; loaded = false; loadedPath.clear(); }
    double level = 1.0;
    QVector<double> levels;
    void setOutputLevel(double l) override { level = l; levels << l; }
    double gain = 1.0;
    double gainAtLoad = -1;
    void setGain(double g) override { gain = g; }
    QByteArray name;  // what moduleName answers while loaded
    QByteArray moduleName() const override { return loaded ? name : QByteArray(); }
};

class RecordingSoundEffects : public SoundEffects {
public:
    bool initOk = true;
    QVector<int> loadedNumbers;
    QVector<int> played;
    QString loadedFrom;  // "memory" or the file path
    bool initialise() override { return initOk; }
    bool loadFromFile(int n, const QString& p) override { loadedNumbers << n; loadedFrom = p; return true; }
    bool loadFromMemory(int n, const QByteArray&) override { loadedNumbers << n; loadedFrom = "memory"; return true; }
    bool exists(int n) const override { return loadedNumbers.contains(n); }
    void play(int n) override { played << n; }
};

// A whole player on fakes, with its data folder in a fresh temporary folder.
// Folders are set as start-up would set them, without running start-up.
struct TestKalvo {
    QTemporaryDir temp;
    FakeView view;
    FakeMessages messages;
    FakeClock clock;
    FakeDesktop desktop;
    FaultyFileOps files;
    ScriptedRandom random;
    FakeProgress progress;
    FakeFileDialogs fileDialogs;
    FakeWindows windows;
    RecordingMediaEngine media;
    RecordingModuleEngine modules;
    RecordingSoundEffects sounds;
    std::unique_ptr<Kalvo> k;

    TestKalvo();
    // Builds the context anew on other windows (real or special fakes),
    // keeping the folders and the log file.
    void useWindows(Windows& other);
    // Full path of a file below the temporary folder.
    QString path(const QString& relative) const { return temp.path() + QLatin1Char('/') + relative; }
    // Creates a file of the given size (parent folders too); returns its path.
    QString makeFile(const QString& relative, qint64 size = 1000);
    // The log file's lines (without date prefix).
    QStringList logLines() const;
};
