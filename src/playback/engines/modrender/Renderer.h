#pragma once
// The renderer's two module slots and its render thread: the module that
// plays is rendered block by block into the player's pipe; the one to follow
// it is loaded into the other slot once that is done and starts in a pipe
// of its own right after its last sample.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "playback/engines/modrender/ModCore.h"
#include "playback/engines/modrender/Protocol.h"

namespace modrender {

// The render thread renders a block and writes it into the player's pipe,
// where the player's output stage reads it. The pipe is kept small, so what
// waits ahead of the listener is about the pipe and the stage's own buffer:
// pattern and row are published as a block is rendered, that much early.
constexpr int BlockFrames = 1024;  // ~23 ms per block
constexpr size_t BlockBytes = size_t(BlockFrames) * ModCore::BytesPerFrame;
constexpr int PipeBytes = 16 * 1024;
constexpr off_t MaxModuleBytes = 64 * 1024 * 1024;
constexpr int WordWaitMs = 3000;

class Renderer {
public:
    explicit Renderer(Shared* shared) : shared_(shared) {}
    ~Renderer() { release(); }

    bool load(const std::string& path) {
        release();
        std::vector<char> data;
        if (!readModule(path, data))
            return false;
        std::lock_guard lk(m_);
        hangs_[cur_] = hangsOnRender(path);
        const bool ok = core().load(data.data(), data.size());
        publishTitle(ok ? core().name() : "");
        shared_->loaded.store(ok ? 1 : 0);
        return ok;
    }

    // Renders into the pipe `fd` (taken over) from the module's current
    // position. A held module goes on instead; it never starts again.
    void play(int fd, uint32_t song) {
        {
            std::lock_guard lk(m_);
            if (paused_ && playing_) {
                paused_ = false;
                wake_.notify_all();
                if (fd >= 0)
                    ::close(fd);
                return;
            }
        }
        if (fd < 0)
            return;
        stop();
        std::lock_guard lk(m_);
        if (!core().loaded()) {
            ::close(fd);
            return;
        }
        out_ = fd;
        song_ = song;
        frames_ = 0;
        word_ = false;
        startLocked();
    }

    // The module at path follows in the pipe `fd` (taken over): loaded once
    // the one that plays has been rendered to its last sample (at once when
    // none plays), and rendered right after it. Replaces one given before.
    void queueNext(const std::string& path, int fd, uint32_t song) {
        if (fd < 0)
            return;
        {
            std::lock_guard lk(m_);
            dropNextLocked();
            fcntl(fd, F_SETPIPE_SZ, PipeBytes);
            nextPath_ = path;
            nextOut_ = fd;
            nextSong_ = song;
            heardWord();
            if (playing_ && !threadEnded_) {
                wake_.notify_all();
                return;
            }
        }
        stopThread();
        std::lock_guard lk(m_);
        startLocked();
    }

    // Whether something else follows the module that plays; nothing
    // following also lets go of a prepared module.
    void follow(bool something) {
        std::lock_guard lk(m_);
        endAtEnd_ = something;
        if (!something)
            dropNextLocked();
        heardWord();
        wake_.notify_all();
    }

    // The render thread waits before its next block; pattern and row stand
    // still. True when a module is held now.
    bool pause() {
        std::lock_guard lk(m_);
        if (!playing_ || stopping_)
            return false;
        paused_ = true;
        return true;
    }

    void resume() {
        std::lock_guard lk(m_);
        paused_ = false;
        wake_.notify_all();
    }

    // Returns once the render thread no longer touches the module; what was
    // prepared to follow is let go.
    void stop() {
        stopThread();
        std::lock_guard lk(m_);
        dropNextLocked();
        endAtEnd_ = false;
    }

    void release() {
        stop();
        std::lock_guard lk(m_);
        core().unload();
        shared_->loaded.store(0);
    }

    void seek(int ms) {
        std::lock_guard lk(m_);
        core().seek(ms);
        publish();
    }

private:
    ModCore& core() { return cores_[cur_]; }
    ModCore& next() { return cores_[1 - cur_]; }

    static bool hangsOnRender(const std::string& path) {
        const char* hr = std::getenv("KALVO2_MODRENDER_HANG_RENDER_ON");
        return hr && *hr && path.find(hr) != std::string::npos;
    }

    // The whole file, after the test hooks that crash or hang a load.
    static bool readModule(const std::string& path, std::vector<char>& out) {
        if (const char* c = std::getenv("KALVO2_MODRENDER_CRASH_ON"); c && *c && path.find(c) != std::string::npos)
            std::abort();
        if (const char* h = std::getenv("KALVO2_MODRENDER_HANG_ON"); h && *h && path.find(h) != std::string::npos)
            for (;;)
                ::pause();
        return readWhole(path, out);
    }

    static bool readWhole(const std::string& path, std::vector<char>& out) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat st;
        bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= MaxModuleBytes;
        if (ok) {
            out.resize(size_t(st.st_size));
            size_t got = 0;
            while (got < out.size()) {
                const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                got += size_t(n);
            }
            out.resize(got);
            ok = got > 0;
        }
        ::close(fd);
        return ok;
    }

    void publishTitle(const char* title) {
        const size_t length = title ? strnlen(title, sizeof shared_->title) : 0;
        std::memcpy(shared_->title, title ? title : "", length);
        shared_->titleLength.store(int32_t(length));
    }

    // Caller holds m_, no render thread runs; out_ is the pipe, or -1 when
    // the module to follow is to start.
    void startLocked() {
        if (out_ >= 0)
            fcntl(out_, F_SETPIPE_SZ, PipeBytes);
        playing_ = true;
        stopping_ = false;
        threadEnded_ = false;
        publish();
        shared_->rendering.store(1);
        thread_ = std::thread([this] { renderLoop(); });
    }

    void stopThread() {
        {
            std::lock_guard lk(m_);
            stopping_ = true;
            paused_ = false;
            wake_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
        std::lock_guard lk(m_);
        if (out_ >= 0)
            ::close(out_);
        out_ = -1;
        playing_ = false;
        shared_->rendering.store(0);
        shared_->pattern.store(0);
        shared_->row.store(0);
    }

    // Caller holds m_. The player has said what follows the module that
    // plays; from now on it says so after every start.
    void heardWord() {
        word_ = true;
        wordsUsed_ = true;
    }

    // Caller holds m_. A module whose end is reached before the player has
    // said what follows it (a short one, all rendered before it is heard)
    // holds its last block until the word comes, at most WordWaitMs, rather
    // than going on as silence that would be heard before the song to
    // follow. False on stop.
    bool awaitWord(std::unique_lock<std::mutex>& lk) {
        if (word_ || !wordsUsed_ || !core().ended())
            return true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WordWaitMs);
        wake_.wait_until(lk, deadline, [&] { return stopping_ || word_; });
        word_ = true;  // no word in time: as if nothing followed
        return !stopping_;
    }

    // Caller holds m_.
    void dropNextLocked() {
        if (nextOut_ >= 0)
            ::close(nextOut_);
        nextOut_ = -1;
        nextPath_.clear();
    }

    // Render thread, m_ held by lk: the module to follow is loaded into the
    // other slot (the file read without the lock) and becomes the one that
    // plays. False when it does not load (its pipe is closed unwritten) or
    // was withdrawn or replaced meanwhile, and on stop.
    bool takeNext(std::unique_lock<std::mutex>& lk) {
        const std::string path = nextPath_;
        const uint32_t song = nextSong_;
        shared_->loadingSong.store(song);
        shared_->renderSinceMs.store(monotonicMs());  // a hang here is seen as one
        lk.unlock();
        std::vector<char> data;
        const bool read = readModule(path, data);
        lk.lock();
        shared_->renderSinceMs.store(0);
        shared_->loadingSong.store(0);
        if (stopping_ || nextOut_ < 0 || nextSong_ != song)
            return false;
        hangs_[1 - cur_] = hangsOnRender(path);
        if (!read || !next().load(data.data(), data.size())) {
            next().unload();
            dropNextLocked();
            shared_->failedSong.store(song);
            return false;
        }
        publishTitle(next().name());
        shared_->loaded.store(1);
        cur_ = 1 - cur_;
        next().unload();
        out_ = nextOut_;
        nextOut_ = -1;
        nextPath_.clear();
        song_ = song;
        endAtEnd_ = false;
        word_ = false;
        frames_ = 0;
        publish();
        return true;
    }

    // Caller holds m_. Pattern and row from frames_ on.
    void publish() {
        if (!core().loaded())
            return;
        shared_->pattern.store(core().pattern());
        shared_->row.store(core().row());
        const uint32_t n = shared_->playedCount.load();
        PlayedRow& r = shared_->played[n % PlayedRows];
        r.song.store(song_);
        r.frame.store(frames_);
        r.pattern.store(core().pattern());
        r.row.store(core().row());
        shared_->playedCount.store(n + 1);
    }

    // Writes a whole block, in short waits so that a stop is seen. False
    // when the player closed its end or a stop came.
    bool writeBlock(int fd, const char* data, size_t bytes) {
        size_t done = 0;
        while (done < bytes) {
            if (stopping_.load())
                return false;
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::write(fd, data + done, bytes - done);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return true;
    }

    // Render thread. After the natural end the module goes on as silence,
    // with pattern and row standing still, until it is stopped; when
    // something follows, its pipe ends with its last sample instead, and a
    // prepared module goes on in its own pipe.
    void renderLoop() {
        std::vector<int16_t> block(BlockFrames * ModCore::Channels);
        for (;;) {
            size_t bytes = BlockBytes;
            bool last = false;
            int out = -1;
            {
                std::unique_lock lk(m_);
                wake_.wait(lk, [&] { return stopping_ || (!paused_ && (out_ >= 0 || nextOut_ >= 0)); });
                if (stopping_)
                    break;
                if (out_ < 0 && !takeNext(lk))
                    continue;
                shared_->renderSinceMs.store(monotonicMs());
                if (hangs_[cur_] && frames_ >= ModCore::SampleRate / 2)
                    for (;;)
                        ::pause();
                const int own = core().render(block.data(), BlockFrames);
                shared_->renderSinceMs.store(0);
                if (!awaitWord(lk))
                    break;
                if (core().ended() && (endAtEnd_ || nextOut_ >= 0)) {
                    last = true;
                    bytes = size_t(own) * ModCore::BytesPerFrame;
                }
                frames_ += last ? uint64_t(own) : uint64_t(BlockFrames);
                publish();
                out = out_;
            }
            if (bytes > 0 && !writeBlock(out, reinterpret_cast<const char*>(block.data()), bytes))
                break;
            if (last) {
                std::lock_guard lk(m_);
                ::close(out_);
                out_ = -1;
            }
        }
        threadEnded_ = true;
    }

    Shared* shared_;
    ModCore cores_[2];
    int cur_ = 0;  // the slot that plays; the other holds the module to follow
    std::mutex m_;  // guards the cores, the pipes and every field below but stopping_
    std::condition_variable wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> threadEnded_{false};
    bool playing_ = false;
    bool paused_ = false;
    bool hangs_[2] = {false, false};  // test hook
    bool endAtEnd_ = false;
    std::string nextPath_;  // the module to follow, while nextOut_ is open
    bool word_ = false;       // the player has said what follows the module that plays
    bool wordsUsed_ = false;  // it says so after every start
    uint64_t frames_ = 0;
    uint32_t song_ = 0;
    uint32_t nextSong_ = 0;
    int out_ = -1;
    int nextOut_ = -1;
};

}  // namespace modrender
