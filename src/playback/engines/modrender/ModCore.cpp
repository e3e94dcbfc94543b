#include "playback/engines/modrender/ModCore.h"

#include <libmodplug/modplug.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

void applySettings() {
    ModPlug_Settings s;
    std::memset(&s, 0, sizeof s);
    s.mFlags = MODPLUG_ENABLE_OVERSAMPLING | MODPLUG_ENABLE_NOISE_REDUCTION;
    s.mChannels = ModCore::Channels;
    s.mBits = 16;
    s.mFrequency = ModCore::SampleRate;
    s.mResamplingMode = MODPLUG_RESAMPLE_LINEAR;
    s.mStereoSeparation = 128;
    s.mMaxMixChannels = 32;
    s.mLoopCount = -1;
    ModPlug_SetSettings(&s);
}

}  // namespace

ModCore::ModCore() { applySettings(); }

ModCore::~ModCore() { unload(); }

bool ModCore::load(const void* data, size_t size) {
    unload();
    if (!data || size == 0 || size > size_t(INT_MAX))
        return false;
    applySettings();
    file_ = ModPlug_Load(data, int(size));
    if (!file_)
        return false;
    ModPlug_SetMasterVolume(file_, 512);
    setVolume(volume_);
    ended_ = false;
    renderedLevel_ = -1;
    snapshot();
    return true;
}

void ModCore::unload() {
    if (file_)
        ModPlug_Unload(file_);
    file_ = nullptr;
    ended_ = false;
    pattern_ = row_ = 0;
}

void ModCore::snapshot() {
    if (!file_)
        return;
    // Past the last order entry libmodplug reports the end marker (255) as the
    // pattern; the listener still hears the last real pattern, so keep it.
    const int pattern = ModPlug_GetCurrentPattern(file_);
    if (pattern < 0 || pattern >= MaxPatterns)
        return;
    pattern_ = pattern;
    row_ = ModPlug_GetCurrentRow(file_);
}

int ModCore::render(int16_t* out, int frames) {
    const int bytes = frames * BytesPerFrame;
    int got = 0;
    if (file_ && !ended_) {
        got = ModPlug_Read(file_, out, bytes);
        if (got < 0)
            got = 0;
        if (got < bytes)
            ended_ = true;  // the order list is done: freeze pattern and row
        else
            snapshot();
    }
    got -= got % BytesPerFrame;
    std::memset(reinterpret_cast<char*>(out) + got, 0, size_t(bytes - got));
    if (volume_ == 0)
        std::memset(out, 0, size_t(bytes));
    const int64_t to = int64_t(level_) * gain_ / 10000;
    const int64_t from = renderedLevel_ < 0 ? to : renderedLevel_;
    if (to != 10000 || from != 10000) {
        for (int i = 0; i < frames; ++i) {
            const int64_t gain = (from * (frames - i) + to * i) / frames;
            for (int c = 0; c < Channels; ++c) {
                int16_t& s = out[i * Channels + c];
                s = int16_t(std::clamp<int64_t>(int64_t(s) * gain / 10000, INT16_MIN, INT16_MAX));
            }
        }
    }
    renderedLevel_ = int(to);
    return got / BytesPerFrame;
}

void ModCore::setLevel(int level) { level_ = std::clamp(level, 0, 10000); }

void ModCore::setGain(int gain) { gain_ = std::clamp(gain, 0, 80000); }

const char* ModCore::name() const { return file_ ? ModPlug_GetName(file_) : ""; }

void ModCore::seek(int ms) {
    if (!file_)
        return;
    const int length = std::max(0, lengthMs());
    if (ms >= length && length > 0) {
        // libmodplug wraps a seek to the very end back to the start; the
        // end of a module is silence with pattern and row standing still.
        ended_ = true;
        return;
    }
    ModPlug_Seek(file_, std::max(0, ms));
    ended_ = false;
    snapshot();
}

void ModCore::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    if (file_)
        ModPlug_SetMasterVolume(file_, unsigned(volume_ * 512 / 100));
}

int ModCore::lengthMs() const { return file_ ? ModPlug_GetLength(file_) : 0; }
