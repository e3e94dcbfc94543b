#pragma once
// Helpers for the engine tests: the audio sink is chosen per test through
// KALVO2_AUDIO_SINK (the renderer reads it when it starts, the media engine
// when it loads), and the real renderer is found in the build tree.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace enginetest {

inline void useSink(const QString& description) {
    qputenv("KALVO2_AUDIO_SINK", description.toUtf8());
}
// Real time: buffers are consumed at the speed they would be heard.
inline void useRealTimeSink() { useSink("fakesink sync=true"); }
// As fast as possible.
inline void useFastSink() { useSink("fakesink sync=false"); }
// Everything played is written to a WAV file at `path`.
inline void useCaptureSink(const QString& path) {
    useSink("audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location=\"" + path + "\"");
}

inline void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls `done` every 10 ms until it holds or `maxMs` passed; returns whether it held.
template <typename F>
bool waitUntil(F done, int maxMs = 10000) {
    for (int t = 0; t < maxMs; t += 10) {
        if (done())
            return true;
        sleepMs(10);
    }
    return done();
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString rendererPath() { return QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2-modrender"); }

}  // namespace enginetest
