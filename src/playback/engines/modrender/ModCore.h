#pragma once
// libmodplug with the player's fixed rendering settings: 44,100 Hz, 16 bit,
// stereo, linear resampling, oversampling and noise reduction, stereo
// separation 128, at most 32 mixing channels, every backward jump followed.
// Not thread-safe: the owner serialises all calls.
#include <cstddef>
#include <cstdint>

struct _ModPlugFile;

class ModCore {
public:
    static constexpr int SampleRate = 44100;
    static constexpr int Channels = 2;
    static constexpr int BytesPerFrame = 4;
    static constexpr int MaxPatterns = 240;  // libmodplug's limit

    ModCore();
    ~ModCore();
    ModCore(const ModCore&) = delete;
    ModCore& operator=(const ModCore&) = delete;

    // Loads a module image (copied by libmodplug; the caller may free it).
    // Frees a module loaded before. False when libmodplug rejects it.
    bool load(const void* data, size_t size);
    void unload();
    bool loaded() const { return file_ != nullptr; }

    // Renders `frames` stereo S16 frames into `out`. After the natural end the
    // rest is silence and ended() turns true; pattern and row keep the values
    // they had before the end. Returns how many of the frames are the
    // module's own: `frames` before its end, fewer in the block that reaches
    // it, 0 after it.
    int render(int16_t* out, int frames);
    bool ended() const { return ended_; }

    // Milliseconds; negative taken as 0, clamped to the module's length.
    void seek(int ms);
    // 0..100: master volume v * 512 / 100; 0 is silence (applied to the
    // output, since libmodplug's master volume cannot reach 0).
    void setVolume(int volume);
    int volume() const { return volume_; }
    // Output level 0..10000 on top of the volume. A change glides over the
    // next rendered block, so no step is heard as a click.
    void setLevel(int level);
    // Loudness gain 0..80000 (10000 = unchanged) on top of the level; samples
    // beyond full scale are held at full scale. Glides as the level does,
    // except in the first block after a load, which starts at the gain and
    // level set by then.
    void setGain(int gain);
    // The module's title as stored in the file; empty when none is loaded.
    const char* name() const;

    int pattern() const { return pattern_; }
    int row() const { return row_; }
    int lengthMs() const;

private:
    void snapshot();
    _ModPlugFile* file_ = nullptr;
    bool ended_ = false;
    int volume_ = 100;
    int level_ = 10000;
    int gain_ = 10000;
    int renderedLevel_ = 10000;  // level times gain the last block ended at; -1: none since the load
    int pattern_ = 0;
    int row_ = 0;
};
