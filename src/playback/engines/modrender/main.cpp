// kalvo2-modrender: renders tracker modules with libmodplug into pipes that
// the player's output stage plays. Driven by RendererModuleEngine over a
// socket; a damaged module can crash or hang only this process.
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <cerrno>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "playback/engines/modrender/Measure.h"
#include "playback/engines/modrender/ModCore.h"
#include "playback/engines/modrender/Protocol.h"
#include "playback/engines/modrender/Renderer.h"

using namespace modrender;

namespace {

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
            r.play(pipeFd, uint32_t(c.arg));
            pipeFd = -1;
            break;
        case Op::Next: {
            const size_t len = std::min<size_t>(c.pathLength, size_t(n) - sizeof c);
            r.queueNext(std::string(msg.data() + sizeof c, len), pipeFd, uint32_t(c.arg));
            pipeFd = -1;
            break;
        }
        case Op::Follow:
            r.follow(c.arg != 0);
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
