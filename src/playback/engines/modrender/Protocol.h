#pragma once
// The wire between the player (RendererModuleEngine) and the module renderer
// process (kalvo2-modrender). Commands travel as datagrams over a
// SOCK_SEQPACKET socketpair; pattern, row and state are published in a shared
// memory block that both map, so queries never wait for the renderer.
#include <atomic>
#include <cstdint>
#include <time.h>

namespace modrender {

enum class Op : uint32_t {
    Load = 1,     // payload: UTF-8 path; answer: Ok/Failed
    Play = 2,     // carries (SCM_RIGHTS) the write end of the pipe to render
                  // into, or none to resume a held module; arg: the song's
                  // number in PlayedRow; no answer
    Stop = 3,     // answer Ok once the render thread has let go of the module
    Seek = 4,     // arg: milliseconds; no answer
    Release = 6,  // answer Ok once the module is freed
    Ping = 7,     // answer Ok (start-up handshake)
    Pause = 8,    // holds the output where it is, module and position kept;
                  // answer Ok when a module is held, Failed when none plays
    Resume = 9,   // goes on from where Pause held it; no answer
    // Continuous play: what follows the module that plays.
    Next = 10,      // payload: UTF-8 path of the module to follow the one
                    // that plays; carries the pipe to render it into; arg:
                    // its song number. The pipe of the module that plays
                    // ends with its last sample; then the next module is
                    // loaded (by the render thread, so that neither a
                    // damaged module nor a silent share can cut the one
                    // before or hold up a command) and rendered into its
                    // pipe, at once when none plays. One that does not load
                    // has its pipe closed unwritten and its number put in
                    // failedSong. No answer
    Follow = 11,    // arg 1: something else follows, so the pipe of the
                    // module that plays ends with its last sample; arg 0:
                    // nothing follows (the module goes on as silence after
                    // its end) and the prepared module is let go; no answer
};

enum class Answer : uint32_t { Ok = 1, Failed = 2 };

struct Command {
    Op op;
    int32_t arg;
    uint32_t seq;  // echoed in the answer, so a late answer is never taken for a new one
    uint32_t pathLength;
    // followed by pathLength bytes of path for Load
};

struct Reply {
    uint32_t seq;
    Answer answer;
};

constexpr uint32_t MaxPath = 8192;

// Pattern and row of song `song` from `frame` on (frames counted from the
// song's first sample in its pipe).
struct PlayedRow {
    std::atomic<uint32_t> song;
    std::atomic<uint64_t> frame;
    std::atomic<int32_t> pattern;
    std::atomic<int32_t> row;
};
// About twelve seconds of blocks: far more than waits ahead of the listener.
constexpr uint32_t PlayedRows = 512;

// Shared state, written by the renderer, read by the player.
struct Shared {
    // Of the last block rendered: ahead of what is heard.
    std::atomic<int32_t> pattern;
    std::atomic<int32_t> row;
    // What each block rendered begins with, newest at playedCount - 1
    // (modulo PlayedRows), so that the player can tell the pattern and row
    // of the sample it hears, also while a song that followed is rendered.
    PlayedRow played[PlayedRows];
    std::atomic<uint32_t> playedCount;
    std::atomic<int32_t> rendering;  // 1 while the render thread plays a module
    std::atomic<int32_t> loaded;     // 1 while a module is loaded
    // CLOCK_MONOTONIC milliseconds at which the current ModPlug_Read began;
    // 0 while none runs. A value far in the past means the render hangs.
    std::atomic<int64_t> renderSinceMs;
    // The loaded module's title, as many bytes as titleLength says; written
    // before the answer to Load, and before a module to follow plays.
    std::atomic<int32_t> titleLength;
    char title[128];
    // The song number of the last module to follow that did not load, and
    // of the one the render thread loads now (0 while none).
    std::atomic<uint32_t> failedSong;
    std::atomic<uint32_t> loadingSong;
};
static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(std::atomic<int64_t>::is_always_lock_free);

// Milliseconds of CLOCK_MONOTONIC, the same clock in both processes.
inline int64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Command-line of the renderer: kalvo2-modrender --fd <socket> --shm <memfd>
// The renderer writes signed 16-bit stereo PCM at 44,100 Hz into the pipe
// of the last Play, as silence after the module's natural end, until Stop;
// with something to follow (Next, Follow 1) the pipe ends with the
// module's last sample.
// Environment read by the renderer:
//   KALVO2_MODRENDER_CRASH_ON  test hook: abort when this text occurs in a loaded path
//   KALVO2_MODRENDER_HANG_ON   test hook: hang when this text occurs in a loaded path
//   KALVO2_MODRENDER_HANG_RENDER_ON test hook: the render of such a module hangs
//                              after its first half second
//   KALVO2_MODRENDER_MEMORY_MB address-space limit, default 512

}  // namespace modrender
