// kalvo2-modrender: renders one tracker module at a time with libmodplug into
// a pipe that the player's output stage plays. Driven by RendererModuleEngine
// over a socket; a damaged module can crash or hang only this process.
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <poll.h>
#include <cerrno>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "playback/engines/modrender/Measure.h"
#include "playback/engines/modrender/ModCore.h"
#include "playback/engines/modrender/Protocol.h"

using namespace modrender;

namespace {

// The render thread renders a block and writes it into the player's pipe,
// where the player's output stage reads it. The pipe is kept small, so what
// waits ahead of the listener is about the pipe and the stage's own buffer:
// pattern and row are published as a block is rendered, that much early.
constexpr int BlockFrames = 1024;  // ~23 ms per block
constexpr size_t BlockBytes = size_t(BlockFrames) * ModCore::BytesPerFrame;
constexpr int PipeBytes = 16 * 1024;
constexpr off_t MaxModuleBytes = 64 * 1024 * 1024;

class Renderer {
public:
    explicit Renderer(Shared* shared) : shared_(shared) {}
    ~Renderer() { release(); }

    bool load(const std::string& path) {
        release();
        if (const char* c = std::getenv("KALVO2_MODRENDER_CRASH_ON"); c && *c && path.find(c) != std::string::npos)
            std::abort();
        if (const char* h = std::getenv("KALVO2_MODRENDER_HANG_ON"); h && *h && path.find(h) != std::string::npos)
            for (;;)
                ::pause();
        std::vector<char> data;
        if (!readWhole(path, data))
            return false;
        const char* hr = std::getenv("KALVO2_MODRENDER_HANG_RENDER_ON");
        std::lock_guard lk(m_);
        hangRender_ = hr && *hr && path.find(hr) != std::string::npos;
        const bool ok = core_.load(data.data(), data.size());
        const char* title = ok ? core_.name() : "";
        const size_t length = title ? strnlen(title, sizeof shared_->title) : 0;
        std::memcpy(shared_->title, title ? title : "", length);
        shared_->titleLength.store(int32_t(length));
        shared_->loaded.store(ok ? 1 : 0);
        return ok;
    }

    // Renders into the pipe `fd` (taken over) from the module's current
    // position. A held module goes on instead; it never starts again.
    void play(int fd) {
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
        if (!core_.loaded()) {
            ::close(fd);
            return;
        }
        fcntl(fd, F_SETPIPE_SZ, PipeBytes);
        out_ = fd;
        playing_ = true;
        stopping_ = false;
        frames_ = 0;
        shared_->playedCount.store(0);
        publish();
        shared_->rendering.store(1);
        thread_ = std::thread([this] { renderLoop(); });
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

    // Returns once the render thread no longer touches the module.
    void stop() {
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

    void release() {
        stop();
        std::lock_guard lk(m_);
        core_.unload();
        shared_->loaded.store(0);
    }

    void seek(int ms) {
        std::lock_guard lk(m_);
        core_.seek(ms);
        publish();
    }

private:
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

    // Caller holds m_. Pattern and row from frames_ on.
    void publish() {
        if (!playing_)
            return;
        shared_->pattern.store(core_.pattern());
        shared_->row.store(core_.row());
        const uint32_t n = shared_->playedCount.load();
        PlayedRow& r = shared_->played[n % PlayedRows];
        r.frame.store(frames_);
        r.pattern.store(core_.pattern());
        r.row.store(core_.row());
        shared_->playedCount.store(n + 1);
    }

    // Writes a whole block, in short waits so that a stop is seen. False
    // when the player closed its end or a stop came.
    bool writeBlock(const char* data, size_t bytes) {
        size_t done = 0;
        while (done < bytes) {
            if (stopping_.load())
                return false;
            pollfd p{out_, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::write(out_, data + done, bytes - done);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        return true;
    }

    // Render thread.
    void renderLoop() {
        std::vector<int16_t> block(BlockFrames * ModCore::Channels);
        for (;;) {
            {
                std::unique_lock lk(m_);
                wake_.wait(lk, [&] { return !paused_ || stopping_; });
                if (stopping_)
                    return;
                shared_->renderSinceMs.store(monotonicMs());
                if (hangRender_ && frames_ >= ModCore::SampleRate / 2)
                    for (;;)
                        ::pause();
                core_.render(block.data(), BlockFrames);
                shared_->renderSinceMs.store(0);
                frames_ += BlockFrames;
                publish();
            }
            // After the natural end the module goes on as silence, with
            // pattern and row standing still, until it is stopped.
            if (!writeBlock(reinterpret_cast<const char*>(block.data()), BlockBytes))
                return;
        }
    }

    Shared* shared_;
    ModCore core_;
    std::mutex m_;  // guards core_, playing_, paused_, frames_, out_
    std::condition_variable wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    bool playing_ = false;
    bool paused_ = false;
    bool hangRender_ = false;  // test hook
    uint64_t frames_ = 0;
    int out_ = -1;
};

bool sendReply(int fd, uint32_t seq, bool ok) {
    Reply r{seq, ok ? Answer::Ok : Answer::Failed};
    return ::send(fd, &r, sizeof r, MSG_NOSIGNAL) == ssize_t(sizeof r);
}

void limitMemory() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return;  // the sanitizer's shadow memory needs a huge address space
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return;
#endif
#endif
    long mb = 512;
    if (const char* e = std::getenv("KALVO2_MODRENDER_MEMORY_MB"))
        mb = std::max(64L, std::atol(e));
    struct rlimit rl;
    rl.rlim_cur = rl.rlim_max = rlim_t(mb) * 1024 * 1024;
    setrlimit(RLIMIT_AS, &rl);
}

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = runMeasureMode(argc, argv); rc >= 0)
        return rc;
    int sock = -1, shm = -1;
    pid_t parent = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--fd"))
            sock = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--shm"))
            shm = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--parent"))
            parent = pid_t(std::atol(argv[i + 1]));
    }
    if (sock < 0 || shm < 0) {
        std::fprintf(stderr, "usage: kalvo2-modrender --fd N --shm N [--parent PID]\n");
        return 2;
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (parent && getppid() != parent)
        return 0;  // the player died before we could ask to die with it
    signal(SIGPIPE, SIG_IGN);
    limitMemory();

    void* mem = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, shm, 0);
    if (mem == MAP_FAILED)
        return 3;
    auto* shared = static_cast<Shared*>(mem);

    Renderer r(shared);

    std::vector<char> msg(sizeof(Command) + MaxPath);
    for (;;) {
        // A Play command carries the pipe to render into.
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        iovec iov{msg.data(), msg.size()};
        msghdr mh{};
        mh.msg_iov = &iov;
        mh.msg_iovlen = 1;
        mh.msg_control = control;
        mh.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(sock, &mh, MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR)
            continue;
        int pipeFd = -1;
        for (cmsghdr* cm = CMSG_FIRSTHDR(&mh); cm; cm = CMSG_NXTHDR(&mh, cm))
            if (cm->cmsg_level == SOL_SOCKET && cm->cmsg_type == SCM_RIGHTS)
                std::memcpy(&pipeFd, CMSG_DATA(cm), sizeof pipeFd);
        if (n < ssize_t(sizeof(Command))) {
            if (pipeFd >= 0)
                ::close(pipeFd);
            break;  // the player closed the socket (or sent garbage): leave
        }
        Command c;
        std::memcpy(&c, msg.data(), sizeof c);
        switch (c.op) {
        case Op::Ping:
            sendReply(sock, c.seq, true);
            break;
        case Op::Load: {
            const size_t len = std::min<size_t>(c.pathLength, size_t(n) - sizeof c);
            const std::string path(msg.data() + sizeof c, len);
            sendReply(sock, c.seq, r.load(path));
            break;
        }
        case Op::Play:
            r.play(pipeFd);
            pipeFd = -1;
            break;
        case Op::Pause:
            sendReply(sock, c.seq, r.pause());
            break;
        case Op::Resume:
            r.resume();
            break;
        case Op::Stop:
            r.stop();
            sendReply(sock, c.seq, true);
            break;
        case Op::Seek:
            r.seek(c.arg);
            break;
        case Op::Release:
            r.release();
            sendReply(sock, c.seq, true);
            break;
        }
        if (pipeFd >= 0)
            ::close(pipeFd);
    }
    r.release();
    return 0;
}
