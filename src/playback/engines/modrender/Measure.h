#pragma once

// The measuring mode of the renderer:
//   kalvo2-modrender --measure <file> [--module] [--loop-limit N] [--loop-seconds S]
// measures the file's EBU R128 integrated loudness and its true peak and
// prints one line "loudness <LUFS> <peak, linear>" on the standard output
// (exit code 0); exit code 1 and a line on the error output when it cannot.
// A module (--module) is rendered as the player renders it, up to its end
// or, when it loops, until the loop guard would stop it (more than N pattern
// repeats after more than S seconds); anything else is decoded by GStreamer,
// MIDI files through the same synthesizer that plays them, and ReplayGain
// tags with a gain and a peak are taken instead of measuring. The process
// lowers its own priority first (nice 19; KALVO2_MEASURE_NICE, a test
// hook, sets another value), so it never competes with what plays.
// Returns -1 when argv asks for another mode.
int runMeasureMode(int argc, char** argv);
