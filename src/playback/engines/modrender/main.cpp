// kalvo2-modrender: renders one tracker module at a time with libmodplug into
// a GStreamer appsrc pipeline. Driven by RendererModuleEngine over a socket;
// a damaged module can crash or hang only this process.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
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
#include <mutex>
#include <string>
#include <vector>

#include "playback/engines/modrender/Measure.h"
#include "playback/engines/modrender/ModCore.h"
#include "playback/engines/modrender/Protocol.h"

using namespace modrender;

namespace {

// The streaming thread of the output renders each buffer when appsrc asks
// for it (need-data), so per buffer it wakes once, for the sink's clock, and
// no separate render thread has to be woken. The audio ahead of the listener
// is the one buffer the sink waits to play (plus a real device's own buffer),
// so a jump, stop or volume change is heard within about one buffer (pattern
// and row are published as a buffer is rendered, at most one buffer early).
// The buffer is as long as that allows, since a thread's wake-up costs more
// CPU than rendering the audio it brings.
constexpr int BlockFrames = 4096;  // ~93 ms per buffer
constexpr gsize BlockBytes = gsize(BlockFrames) * ModCore::BytesPerFrame;
constexpr off_t MaxModuleBytes = 64 * 1024 * 1024;

class Renderer {
public:
    explicit Renderer(Shared* shared) : shared_(shared) {}

    // Builds the output pipeline and checks that its sink opens; false when
    // it cannot. The pipeline then rests in NULL: a sink that opens its
    // device on the way to READY (alsasink on hw:N) must not keep it from
    // other programs, or from the media engine, while nothing plays.
    bool openOutput() {
        const char* env = std::getenv("KALVO2_AUDIO_SINK");
        std::string sink = (env && *env) ? env : "autoaudiosink";
        std::string desc =
            "appsrc name=src format=time is-live=false block=false "
            "caps=audio/x-raw,format=S16LE,rate=44100,channels=2,layout=interleaved "
            "! audioconvert ! audioresample ! " + sink;
        GError* err = nullptr;
        pipeline_ = gst_parse_launch(desc.c_str(), &err);
        if (err) {
            std::fprintf(stderr, "kalvo2-modrender: output: %s\n", err->message);
            g_error_free(err);
            if (pipeline_)
                gst_object_unref(pipeline_);
            pipeline_ = nullptr;
            return false;
        }
        src_ = gst_bin_get_by_name(GST_BIN(pipeline_), "src");
        if (!src_)
            return false;
        bus_ = gst_element_get_bus(pipeline_);
        g_object_set(src_, "max-bytes", guint64(2 * BlockBytes), nullptr);
        GstAppSrcCallbacks cb{};
        cb.need_data = [](GstAppSrc*, guint, gpointer self) { static_cast<Renderer*>(self)->fill(); };
        gst_app_src_set_callbacks(GST_APP_SRC(src_), &cb, this, nullptr);
        const bool ok = gst_element_set_state(pipeline_, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        drainBus();
        return ok;
    }

    // The bus of the output pipeline, for the main loop to watch.
    GstBus* bus() const { return bus_; }

    // Reads every message the output posted. An error (a device unplugged, a
    // sink that fails) ends the song as a renderer death would: the output
    // stops, pattern and row read 0, and the player learns the reason.
    void drainBus() {
        if (!bus_)
            return;
        while (GstMessage* m = gst_bus_pop(bus_)) {
            if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
                GError* err = nullptr;
                gst_message_parse_error(m, &err, nullptr);
                outputFailed(err ? err->message : "unknown error");
                if (err)
                    g_error_free(err);
            }
            gst_message_unref(m);
        }
    }

    void closeOutput() {
        stop();
        if (pipeline_) {
            gst_element_set_state(pipeline_, GST_STATE_NULL);
            gst_object_unref(src_);
            gst_object_unref(pipeline_);
        }
        if (bus_)
            gst_object_unref(bus_);
        bus_ = nullptr;
        pipeline_ = src_ = nullptr;
    }

    bool load(const std::string& path) {
        release();
        if (const char* c = std::getenv("KALVO2_MODRENDER_CRASH_ON"); c && *c && path.find(c) != std::string::npos)
            std::abort();
        if (const char* h = std::getenv("KALVO2_MODRENDER_HANG_ON"); h && *h && path.find(h) != std::string::npos)
            for (;;)
                pause();
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

    void play() {
        if (!pipeline_)
            return;
        {
            std::lock_guard lk(m_);
            if (!core_.loaded() || (playing_ && !paused_))
                return;
        }
        if (paused_) {
            resume();  // a held module goes on; it never starts again
            return;
        }
        {
            std::lock_guard lk(m_);
            playing_ = true;
            frames_ = 0;
            shared_->rendering.store(1);
        }
        if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            drainBus();  // the sink's own words, when it posted some
            if (shared_->rendering.load())
                outputFailed("the sound output does not start");
        }
    }

    // The pipeline goes to PAUSED: the streaming thread stops at the sink
    // with the buffers rendered so far, and the sink keeps what it holds (a
    // sound server's stream is corked), so resume plays on from the very
    // sample where the pause fell. The module and its position stay as they
    // are; pattern and row stand still.
    // True when a module is held now.
    bool pause() {
        if (!pipeline_ || !playing_ || paused_)
            return paused_;
        paused_ = true;
        if (gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
            drainBus();
            if (shared_->rendering.load())
                outputFailed("the sound output does not pause");
        }
        return paused_;
    }

    void resume() {
        if (!pipeline_ || !playing_ || !paused_)
            return;
        paused_ = false;
        if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            drainBus();
            if (shared_->rendering.load())
                outputFailed("the sound output does not start");
        }
    }

    // Returns once the render thread no longer touches the module.
    void stop() {
        paused_ = false;
        {
            std::lock_guard lk(m_);
            playing_ = false;
            shared_->rendering.store(0);
            shared_->pattern.store(0);
            shared_->row.store(0);
        }
        if (!pipeline_)
            return;
        // Going to NULL stops the streaming thread and waits for it, so the
        // module is no longer rendered once this returns; the sink lets go
        // of its device.
        gst_element_set_state(pipeline_, GST_STATE_NULL);
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

    void setVolume(int v) {
        std::lock_guard lk(m_);
        core_.setVolume(v);
    }

    void setLevel(int level) {
        std::lock_guard lk(m_);
        core_.setLevel(level);
    }

    void setGain(int gain) {
        std::lock_guard lk(m_);
        core_.setGain(gain);
    }

private:
    // Main thread. Stops the song and tells the player why.
    void outputFailed(const char* what) {
        std::fprintf(stderr, "kalvo2-modrender: sound output failed: %s\n", what);
        const bool wasPlaying = shared_->rendering.load() != 0;
        stop();
        if (!wasPlaying)
            return;  // a late word from an output already stopped
        std::snprintf(shared_->outputError, sizeof shared_->outputError, "%s", what);
        shared_->outputErrors.fetch_add(1);
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

    // Caller holds m_.
    void publish() {
        if (!playing_)
            return;
        shared_->pattern.store(core_.pattern());
        shared_->row.store(core_.row());
    }

    // Streaming thread (need-data): renders one buffer and queues it.
    void fill() {
        // Rendered straight into the buffer's memory: no copy per buffer.
        GstBuffer* b = gst_buffer_new_allocate(nullptr, BlockBytes, nullptr);
        GstMapInfo map;
        if (!gst_buffer_map(b, &map, GST_MAP_WRITE)) {
            gst_buffer_unref(b);
            return;
        }
        GstClockTime pts;
        {
            std::lock_guard lk(m_);
            if (!playing_) {
                gst_buffer_unmap(b, &map);
                gst_buffer_unref(b);
                return;
            }
            shared_->renderSinceMs.store(monotonicMs());
            if (hangRender_ && frames_ >= ModCore::SampleRate / 2)
                for (;;)
                    pause();
            core_.render(reinterpret_cast<int16_t*>(map.data), BlockFrames);
            shared_->renderSinceMs.store(0);
            publish();
            pts = gst_util_uint64_scale(frames_, GST_SECOND, ModCore::SampleRate);
            frames_ += BlockFrames;
        }
        gst_buffer_unmap(b, &map);
        GST_BUFFER_PTS(b) = pts;
        GST_BUFFER_DURATION(b) = gst_util_uint64_scale(BlockFrames, GST_SECOND, ModCore::SampleRate);
        gst_app_src_push_buffer(GST_APP_SRC(src_), b);  // takes the buffer; fails only while stopping
    }

    Shared* shared_;
    ModCore core_;
    std::mutex m_;  // guards core_, playing_, frames_
    bool playing_ = false;
    bool paused_ = false;      // main thread only
    bool hangRender_ = false;  // test hook
    guint64 frames_ = 0;
    GstElement* pipeline_ = nullptr;
    GstElement* src_ = nullptr;
    GstBus* bus_ = nullptr;
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

    gst_init(nullptr, nullptr);
    Renderer r(shared);
    const bool output = r.openOutput();

    std::vector<char> msg(sizeof(Command) + MaxPath);
    GPollFD busFd{-1, 0, 0};
    if (r.bus())
        gst_bus_get_pollfd(r.bus(), &busFd);
    for (;;) {
        // Commands and the output's bus, whichever comes first.
        pollfd fds[2] = {{sock, POLLIN, 0}, {busFd.fd, POLLIN, 0}};
        if (::poll(fds, busFd.fd >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (busFd.fd >= 0 && fds[1].revents)
            r.drainBus();
        if (!fds[0].revents)
            continue;
        const ssize_t n = ::recv(sock, msg.data(), msg.size(), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < ssize_t(sizeof(Command)))
            break;  // the player closed the socket (or sent garbage): leave
        Command c;
        std::memcpy(&c, msg.data(), sizeof c);
        switch (c.op) {
        case Op::Ping:
            sendReply(sock, c.seq, output);
            break;
        case Op::Load: {
            const size_t len = std::min<size_t>(c.pathLength, size_t(n) - sizeof c);
            const std::string path(msg.data() + sizeof c, len);
            sendReply(sock, c.seq, r.load(path));
            break;
        }
        case Op::Play:
            r.play();
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
        case Op::Volume:
            r.setVolume(c.arg);
            break;
        case Op::Level:
            r.setLevel(c.arg);
            break;
        case Op::Gain:
            r.setGain(c.arg);
            break;
        case Op::Release:
            r.release();
            sendReply(sock, c.seq, true);
            break;
        }
    }
    r.closeOutput();
    return 0;
}
