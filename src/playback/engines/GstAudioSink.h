#pragma once
typedef struct _GstElement GstElement;

// The one format the output runs at, whatever plays: songs of other rates,
// channels or sample formats are converted before the device, so a change
// of song never makes the device renegotiate (which drains its buffer and
// leaves a hole).
constexpr int OutputRate = 44100;
constexpr int OutputChannels = 2;

// The sink's element (audioamplify, "amplification", clipping at full
// scale) that scales each song by its loudness gain: set in the streaming
// thread when a joined song's stream starts, it holds from that song's first
// sample. Not a `volume` element: playbin would take that one for its own
// volume.
constexpr const char* GainElementName = "gain";

// A new audio sink (floating reference) that takes any raw audio, scales it
// by the gain element and plays it in the output's format on the device: KALVO2_AUDIO_SINK in gst-launch
// syntax when set and valid (a bad one is logged), else autoaudiosink. Null
// when neither can be made.
GstElement* makeGstAudioSink();
// Whether a fresh audio sink opens its device (connects to the sound server).
bool gstAudioOutputOpens();
