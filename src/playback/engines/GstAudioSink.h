#pragma once
typedef struct _GstElement GstElement;

// A new audio sink (floating reference): KALVO2_AUDIO_SINK in gst-launch
// syntax when set and valid (a bad one is logged), else autoaudiosink. Null
// when neither can be made.
GstElement* makeGstAudioSink();
// Whether a fresh audio sink opens its device (connects to the sound server).
bool gstAudioOutputOpens();
