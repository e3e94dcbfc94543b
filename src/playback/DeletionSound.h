#pragma once
#include <QByteArray>

// The built-in deletion sound as a complete RIFF WAVE image: PCM, mono,
// 22,050 Hz, 16 bit, 8,364 bytes of samples.
QByteArray builtinDeletionSound();
