#pragma once
#include <QString>
#include <functional>

class MediaEngine;
class ModuleEngine;

// The one place where what the listener hears is scaled beyond the volume:
// the sleep timer's fade and the alarm's rise (the level) and each song's
// loudness gain. It hands the product to the engine that holds the song, so
// no other code tells an engine a level or a gain. UI thread only.
class OutputStage {
public:
    // Linear gain for the song at path; 1.0 leaves it unchanged. Asked once
    // per song, before it loads, so the gain holds from its first sample.
    using GainProvider = std::function<double(const QString& path)>;

    // The largest gain applied (+18 dB); a higher answer is taken as this.
    static constexpr double MaxGain = 8.0;

    OutputStage(MediaEngine& media, ModuleEngine& modules) : media(media), modules(modules) {}

    // An empty provider stands for one that always answers 1.0.
    void setGainProvider(GainProvider provider);
    // Asks the provider for path and tells both engines, before path loads
    // into one of them. Returns the gain applied.
    double prepareSong(const QString& path);
    // Asks the provider for the song just offered to follow the one heard
    // (the same song as the one heard keeps its gain) and tells the media
    // engine (the stage both kinds of song play on), so that gain holds from
    // the song's first sample; prepareSong of that song then asks nothing.
    void prepareNext(const QString& path);
    // Asks the provider again for the song prepared last (the one heard) and
    // applies the answer at once, and for the one offered to follow it;
    // nothing when no song was prepared.
    void refreshGain();
    // No song any more: the next one starts from its own gain.
    void forgetSong();
    // The fade's and the rise's level, 0..1.
    void setLevel(double level);
    double level() const { return level_; }
    double gain() const { return gain_; }
    const QString& song() const { return song_; }

private:
    double ask(const QString& path) const;
    void applyGain(double gain);

    MediaEngine& media;
    ModuleEngine& modules;
    GainProvider provider_;
    QString song_;
    double gain_ = 1.0;
    QString nextSong_;  // offered to follow song_
    double nextGain_ = 1.0;
    double level_ = 1.0;
};
