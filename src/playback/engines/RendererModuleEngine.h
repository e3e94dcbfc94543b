#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <sys/types.h>

#include "playback/engines/ModuleEngine.h"

namespace modrender { struct Shared; }
class PcmStage;

// The module engine as seen by the player: commands go to a renderer helper
// process (kalvo2-modrender) that owns libmodplug, so a damaged module can
// crash or hang only the renderer. The renderer writes its samples into a
// pipe that the player's output stage plays (the media engine's, or one of
// its own), where volume, level and gain are applied as for media songs.
//
// The renderer starts at initialise() or on the first load. Load waits for
// its answer at most loadTimeoutMs; a renderer that crashes or does not answer
// in time is killed and the failure goes to `logger`. When that renderer had
// played a module before, the fault may be that module's, so the load is
// tried once more with a fresh renderer; only then does it fail. A render
// that hangs (inside libmodplug) for renderHangMs is seen before any command
// waits on it: the renderer is killed at once and the module it played is
// named in the log. A renderer that dies mid-song, or a sound output that
// fails, leaves a stopped module: still loaded, pattern and row 0, so the
// player's end rule ends the song. A module prepared to follow the song
// heard is handed to the renderer, which loads it into its second slot once
// the module before is rendered whole (a module that crashes or hangs the
// renderer then costs nothing of the one heard, and nothing here waits for
// its file) and renders it into a pipe of its own that the stage joins to
// its stream. pattern/row/isLoaded read shared memory
// and never wait for the renderer. A pause holds the renderer and the
// stage where they are (the module and its position kept); pause waits for
// the renderer's answer, as stop does; a renderer that dies while paused
// leaves a stopped module as above, no longer paused. UI thread only.
class RendererModuleEngine : public ModuleEngine {
public:
    // With an output stage of its own (a media engine used for modules only).
    RendererModuleEngine();
    // Playing through `stage`, which outlives the engine.
    explicit RendererModuleEngine(PcmStage& stage);
    ~RendererModuleEngine() override;
    bool initialise() override;
    bool isLoaded() const override;
    bool load(const QString& path) override;
    void play() override;
    void pause() override;
    void resume() override;
    bool paused() const override;
    void setVolume(int volume) override;
    void seek(int ms) override;
    int currentPattern() const override;
    int currentRow() const override;
    void stop() override;
    void release() override;
    void setOutputLevel(double level) override;
    void setGain(double gain) override;
    QByteArray moduleName() const override;
    bool prepareNext(const QString& path) override;
    void endStreamAtEnd(bool mediaFollows) override;
    bool adoptNext(const QString& path) override;

    // Receives one line for every renderer failure (start, crash, hang).
    // Default: qWarning.
    std::function<void(const QString&)> logger;
    // The renderer executable. Empty: $KALVO2_MODRENDER, else
    // "kalvo2-modrender" next to the running program.
    QString rendererPath;
    // The renderer that is started: rendererPath, $KALVO2_MODRENDER, or the
    // one beside (or installed relative to) the running program.
    QString executable() const;
    int loadTimeoutMs = 5000;
    int commandTimeoutMs = 3000;
    int renderHangMs = 1500;

    // Process id of the running renderer, or -1 (for tests).
    pid_t rendererPid() const { return alive() ? pid_ : -1; }

private:
    bool ensureRenderer();
    bool loadOnce(const QByteArray& path, const QString& what);
    void dropHungRenderer();
    void noteOutputFailure() const;
    std::pair<int, int> heardPatternRow() const;
    bool startOutput();
    void withdrawNext();
    quint32 newSong();
    bool alive() const;  // reaps a renderer that died; never blocks
    void dropRenderer(const QString& why) const;
    bool send(quint32 op, int arg, const QByteArray& payload = {}, quint32* seq = nullptr, int fd = -1);
    bool request(quint32 op, int arg, const QByteArray& payload, int timeoutMs, const char* what);
    void log(const QString& line) const;

    mutable pid_t pid_ = -1;
    mutable int sock_ = -1;
    mutable modrender::Shared* shared_ = nullptr;
    mutable bool loaded_ = false;  // survives a renderer death until release or load
    bool outputOk_ = false;
    bool fresh_ = false;           // the renderer has loaded nothing yet
    bool paused_ = false;          // told the renderer to hold its output
    mutable QString loadedPath_;   // the module of the running renderer
    quint32 seq_ = 0;
    QByteArray title_;    // of the loaded module
    // Each start and each prepared module gets a number of its own, so the
    // rows rendered for one are never taken for another's.
    quint32 song_ = 0;
    quint32 songs_ = 0;
    // The module prepared to follow: given to the renderer, which loads it
    // into its second slot once the module that plays is rendered whole,
    // and offered to the stage.
    QString nextPath_;
    quint32 nextSong_ = 0;
    std::unique_ptr<PcmStage> ownStage_;
    PcmStage* stage_;
};
