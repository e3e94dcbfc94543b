#pragma once
#include <QString>

// How loud one song is: its integrated loudness (EBU R128, LUFS) and its
// highest peak as a linear amplitude (1.0 = full scale).
struct Loudness {
    double lufs = 0.0;
    double peak = 0.0;
};

// Every song is brought to ReplayGain 2.0's reference loudness, and no peak
// may rise above -1 dBFS: where the two disagree the gain is lowered.
constexpr double LevellingTargetLufs = -18.0;
constexpr double LevellingPeakCeilingDb = -1.0;
// Quieter than this is silence (R128's absolute gate): it is left alone.
constexpr double LevellingSilenceLufs = -70.0;

// The linear gain (1.0 = unchanged) that brings a song to the target
// loudness with its peak at or below the ceiling. Silence and values that
// are not numbers give 1.0 at most (never a boost).
double levellingGain(const Loudness& l);

// A song's loudness from its ReplayGain tags: trackGainDb is the gain to the
// reference, referenceDb the tag's reference level in dB SPL (89 dB SPL is
// -18 LUFS; 0 when the file names none), trackPeak linear (0 when absent).
Loudness loudnessFromReplayGain(double trackGainDb, double trackPeak, double referenceDb);
// A song's loudness from an R128 track gain (Q7.8 fixed point, relative to
// -23 LUFS, as Opus and Vorbis comments carry it).
Loudness loudnessFromR128(int q78Gain);
