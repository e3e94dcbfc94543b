#include "playback/engines/RendererModuleEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "playback/engines/GstMediaEngine.h"
#include "playback/engines/PcmStage.h"
#include "playback/engines/modrender/Protocol.h"

extern char** environ;

using namespace modrender;

namespace {

QString describeExit(int status) {
    if (WIFSIGNALED(status))
        return QString("died of signal %1 (%2)").arg(WTERMSIG(status)).arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status))));
    if (WIFEXITED(status))
        return QString("exited with code %1").arg(WEXITSTATUS(status));
    return "ended";
}

int highFd(int fd) {
    if (fd < 0 || fd >= 10)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    ::close(fd);
    return moved;
}

}  // namespace

RendererModuleEngine::RendererModuleEngine() {
    auto own = std::make_unique<GstMediaEngine>();
    own->logger = [this](const QString& line) { log(line); };
    ownStage_ = std::move(own);
    stage_ = ownStage_.get();
}

RendererModuleEngine::RendererModuleEngine(PcmStage& stage) : stage_(&stage) {}

RendererModuleEngine::~RendererModuleEngine() {
    if (loaded_)
        stage_->stopFeed();
    if (pid_ > 0 && sock_ >= 0) {
        // Closing the socket asks the renderer to finish its output and leave.
        ::close(sock_);
        sock_ = -1;
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (shared_)
        munmap(shared_, sizeof(Shared));
}

void RendererModuleEngine::log(const QString& line) const {
    if (logger)
        logger(line);
    else
        qWarning().noquote() << line;
}

QString RendererModuleEngine::executable() const {
    if (!rendererPath.isEmpty())
        return rendererPath;
    const QByteArray env = qgetenv("KALVO2_MODRENDER");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    QString dir;
    if (QCoreApplication::instance())
        dir = QCoreApplication::applicationDirPath();
    else
        dir = QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).absolutePath();
    // In the build tree the renderer sits beside the program; installed, in
    // the program's private folder, found relative to the program wherever
    // the package was unpacked.
    const QString beside = dir + "/kalvo2-modrender";
    const QString installed = dir + "/" KALVO_MODRENDER_FROM_BIN "/kalvo2-modrender";
    if (!QFileInfo(beside).isExecutable() && QFileInfo(installed).isExecutable())
        return QFileInfo(installed).canonicalFilePath();
    return beside;
}

bool RendererModuleEngine::alive() const {
    if (pid_ <= 0)
        return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0)
        return true;
    pid_ = -1;  // reaped (or not our child any more)
    dropRenderer(r == -1 ? QString("ModuleEngine: renderer vanished") :
                           "ModuleEngine: renderer " + describeExit(status));
    return false;
}

// Forgets the renderer's channels; the process itself is already gone or killed.
void RendererModuleEngine::dropRenderer(const QString& why) const {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (sock_ >= 0)
        ::close(sock_);
    sock_ = -1;
    if (shared_)
        munmap(shared_, sizeof(Shared));
    shared_ = nullptr;
    loadedPath_.clear();
    if (!why.isEmpty())
        log(why);
}

bool RendererModuleEngine::ensureRenderer() {
    if (alive())
        return true;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        log("ModuleEngine: cannot create the renderer socket");
        return false;
    }
    int mine = highFd(pair[0]);
    int theirs = highFd(pair[1]);
    int shm = highFd(memfd_create("kalvo2-modrender", MFD_CLOEXEC));
    void* mem = MAP_FAILED;
    if (shm >= 0 && ftruncate(shm, sizeof(Shared)) == 0)
        mem = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, shm, 0);
    if (mine < 0 || theirs < 0 || mem == MAP_FAILED) {
        for (int fd : {mine, theirs, shm})
            if (fd >= 0)
                ::close(fd);
        log("ModuleEngine: cannot create the renderer channels");
        return false;
    }
    const QByteArray exe = executable().toLocal8Bit();
    const QByteArray parent = QByteArray::number(qint64(getpid()));
    const char* argv[] = {exe.constData(), "--fd", "3", "--shm", "4", "--parent", parent.constData(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, theirs, 3);
    posix_spawn_file_actions_adddup2(&fa, shm, 4);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, exe.constData(), &fa, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(theirs);
    ::close(shm);
    if (rc != 0) {
        munmap(mem, sizeof(Shared));
        ::close(mine);
        log(QString("ModuleEngine: cannot start %1: %2").arg(QString::fromLocal8Bit(exe), QString::fromLocal8Bit(strerror(rc))));
        return false;
    }
    pid_ = pid;
    sock_ = mine;
    shared_ = static_cast<Shared*>(mem);
    fresh_ = true;
    request(quint32(Op::Ping), 0, {}, loadTimeoutMs, "start");
    return alive();
}

bool RendererModuleEngine::send(quint32 op, int arg, const QByteArray& payload, quint32* seq, int fd) {
    if (sock_ < 0 || !alive())
        return false;
    Command c{Op(op), arg, ++seq_, quint32(payload.size())};
    QByteArray msg(reinterpret_cast<const char*>(&c), sizeof c);
    msg.append(payload);
    if (seq)
        *seq = c.seq;
    iovec iov{msg.data(), size_t(msg.size())};
    msghdr mh{};
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        // The pipe travels with the command.
        mh.msg_control = control;
        mh.msg_controllen = sizeof control;
        cmsghdr* cm = CMSG_FIRSTHDR(&mh);
        cm->cmsg_level = SOL_SOCKET;
        cm->cmsg_type = SCM_RIGHTS;
        cm->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(cm), &fd, sizeof fd);
    }
    for (;;) {
        const ssize_t n = ::sendmsg(sock_, &mh, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == msg.size())
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        return false;  // full (renderer stuck) or gone: the command is dropped
    }
}

bool RendererModuleEngine::request(quint32 op, int arg, const QByteArray& payload, int timeoutMs, const char* what) {
    quint32 seq = 0;
    if (!send(op, arg, payload, &seq))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            const bool renderHangs = shared_ && shared_->renderSinceMs.load() != 0 && !loadedPath_.isEmpty();
            dropRenderer(renderHangs ? QString("ModuleEngine: renderer hung while playing %1 (no answer to %2 within %3 ms); stopped it")
                                           .arg(loadedPath_, QString::fromLocal8Bit(what)).arg(timeoutMs)
                                     : QString("ModuleEngine: renderer did not answer (%1) within %2 ms; stopped it").arg(what).arg(timeoutMs));
            return false;
        }
        pollfd p{sock_, POLLIN, 0};
        const int r = poll(&p, 1, int(std::min<qint64>(left, 100)));
        if (r < 0 && errno != EINTR) {
            dropRenderer("ModuleEngine: renderer socket failed");
            return false;
        }
        if (r <= 0) {
            if (!alive())
                return false;  // died without a word; alive() logged it
            continue;
        }
        Reply reply{};
        const ssize_t n = ::recv(sock_, &reply, sizeof reply, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            // The socket closed: the renderer is gone. Reap it for the log.
            int status = 0;
            for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const QString how = describeExit(status);
            pid_ = -1;
            dropRenderer(QString("ModuleEngine: renderer %1 (%2)").arg(how, what));
            return false;
        }
        if (n == ssize_t(sizeof reply) && reply.seq == seq)
            return reply.answer == Answer::Ok;
        // A late answer to an earlier command: skip it.
    }
}

bool RendererModuleEngine::initialise() {
    return ensureRenderer() && stage_->outputOpens();
}

bool RendererModuleEngine::isLoaded() const {
    if (alive())
        noteOutputFailure();
    return loaded_;
}

// A sound output that failed (the stage has logged why) stops the module,
// as a renderer death would.
void RendererModuleEngine::noteOutputFailure() const {
    if (!loaded_ || !stage_->feeding() || !stage_->feedFailed())
        return;
    stage_->stopFeed();
    auto* self = const_cast<RendererModuleEngine*>(this);
    self->paused_ = false;
    self->request(quint32(Op::Stop), 0, {}, commandTimeoutMs, "stop");
}

// A fresh pipe: the renderer writes into it from the module's position, the
// stage plays what arrives.
bool RendererModuleEngine::startOutput() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        log("ModuleEngine: cannot create the sound pipe");
        return false;
    }
    song_ = newSong();
    const bool sent = send(quint32(Op::Play), int(song_), {}, nullptr, ends[1]);
    ::close(ends[1]);
    if (!sent) {
        ::close(ends[0]);
        return false;
    }
    return stage_->startFeed(ends[0], loadedPath_);
}

// A render that has not come back for renderHangMs will not come back: the
// renderer is killed now rather than after a command's timeout.
void RendererModuleEngine::dropHungRenderer() {
    if (!alive() || !shared_)
        return;
    const qint64 since = shared_->renderSinceMs.load();
    if (since == 0 || monotonicMs() - since < renderHangMs)
        return;
    // It may hang loading the module to follow rather than playing.
    const bool loadingNext = !nextPath_.isEmpty() && shared_->loadingSong.load() == nextSong_;
    dropRenderer(loadingNext ? QString("ModuleEngine: renderer hung while loading %1; stopped it").arg(nextPath_)
                             : QString("ModuleEngine: renderer hung while playing %1; stopped it").arg(loadedPath_));
}

bool RendererModuleEngine::loadOnce(const QByteArray& path, const QString& what) {
    if (!ensureRenderer())
        return false;
    fresh_ = false;
    // Until the answer, loadedPath_ names the module before, which a hang
    // report blames.
    const bool ok = request(quint32(Op::Load), 0, path, loadTimeoutMs, ("load " + what).toLocal8Bit().constData());
    loadedPath_ = ok ? what : QString();
    title_.clear();
    if (ok && shared_) {
        const int n = std::clamp(int(shared_->titleLength.load()), 0, int(sizeof shared_->title));
        title_ = QByteArray(shared_->title, n);
    }
    return ok;
}

bool RendererModuleEngine::load(const QString& path) {
    if (loaded_)
        stage_->stopFeed();
    nextPath_.clear();  // the renderer lets go of it with the load
    loaded_ = false;
    paused_ = false;
    dropHungRenderer();
    const QByteArray p = QFile::encodeName(path);
    if (p.isEmpty() || p.size() > int(MaxPath))
        return false;
    const bool reused = alive() && !fresh_;
    loaded_ = loadOnce(p, path);
    // A renderer that had to be killed may have been damaged by the module it
    // played before; one fresh renderer decides.
    if (!loaded_ && reused && !alive())
        loaded_ = loadOnce(p, path);
    return loaded_;
}

void RendererModuleEngine::play() {
    if (!isLoaded())
        return;
    if (paused_ && stage_->feeding()) {
        // A held module goes on; it never starts again.
        paused_ = false;
        stage_->resumeFeed();
        send(quint32(Op::Resume), 0);
        return;
    }
    paused_ = false;
    // An output that does not start (the stage has logged why) leaves a
    // stopped module, as one that fails while playing.
    if (!startOutput() && alive())
        request(quint32(Op::Stop), 0, {}, commandTimeoutMs, "stop");
}

void RendererModuleEngine::pause() {
    // The renderer tells whether it holds a module: not a stopped one, nor
    // one whose output failed. It takes the commands in order, so a play
    // just sent counts.
    dropHungRenderer();
    if (paused_ || !isLoaded() || !alive())
        return;
    paused_ = request(quint32(Op::Pause), 0, {}, commandTimeoutMs, "pause");
    if (paused_)
        stage_->pauseFeed();
}

void RendererModuleEngine::resume() {
    if (!paused_)
        return;
    paused_ = false;
    stage_->resumeFeed();
    send(quint32(Op::Resume), 0);
}

bool RendererModuleEngine::paused() const { return paused_ && alive(); }

void RendererModuleEngine::setVolume(int volume) { stage_->setFeedVolume(std::clamp(volume, 0, 100)); }

void RendererModuleEngine::setOutputLevel(double level) { stage_->setOutputLevel(level); }

void RendererModuleEngine::setGain(double gain) { stage_->setGain(gain); }

QByteArray RendererModuleEngine::moduleName() const { return loaded_ ? title_ : QByteArray(); }

void RendererModuleEngine::seek(int ms) {
    if (isLoaded())
        send(quint32(Op::Seek), std::max(0, ms));
}

// The renderer runs ahead of the listener by what waits in the pipe and the
// stage; what it rendered is looked up at the frame the stage plays.
std::pair<int, int> RendererModuleEngine::heardPatternRow() const {
    if (!shared_ || !isLoaded() || !shared_->rendering.load())
        return {0, 0};
    const qint64 heard = stage_->feedFramesHeard();
    const uint32_t count = shared_->playedCount.load();
    if (heard < 0 || count == 0)
        return {shared_->pattern.load(), shared_->row.load()};
    // Of the module heard only: the one to follow may be rendered already.
    const uint32_t oldest = count > PlayedRows ? count - PlayedRows : 0;
    const PlayedRow* first = nullptr;
    for (uint32_t i = count; i > oldest; --i) {
        const PlayedRow& r = shared_->played[(i - 1) % PlayedRows];
        if (r.song.load() != song_)
            continue;
        if (qint64(r.frame.load()) <= heard)
            return {r.pattern.load(), r.row.load()};
        first = &r;
    }
    return first ? std::pair{int(first->pattern.load()), int(first->row.load())} : std::pair{0, 0};
}

int RendererModuleEngine::currentPattern() const { return heardPatternRow().first; }

int RendererModuleEngine::currentRow() const { return heardPatternRow().second; }

void RendererModuleEngine::stop() {
    paused_ = false;
    nextPath_.clear();  // the renderer lets go of it with the stop
    if (loaded_)
        stage_->stopFeed();
    dropHungRenderer();
    if (alive())
        request(quint32(Op::Stop), 0, {}, commandTimeoutMs, "stop");
}

void RendererModuleEngine::release() {
    paused_ = false;
    nextPath_.clear();
    if (loaded_)
        stage_->stopFeed();
    dropHungRenderer();
    if (alive())
        request(quint32(Op::Release), 0, {}, commandTimeoutMs, "release");
    loaded_ = false;
    loadedPath_.clear();
}
