#pragma once
#include <QByteArray>
#include <QString>

// Short sounds played from memory (the deletion sound is number 100).
class SoundEffects {
public:
    virtual ~SoundEffects() = default;
    // Once at start-up; false when sound output cannot be used.
    virtual bool initialise() = 0;
    // Loads a RIFF WAVE ("fmt " and "data" chunks); false on any damage.
    virtual bool loadFromFile(int number, const QString& path) = 0;
    virtual bool loadFromMemory(int number, const QByteArray& wav) = 0;
    virtual bool exists(int number) const = 0;
    // Plays once from the start without waiting.
    virtual void play(int number) = 0;
};

// Number of the deletion sound.
constexpr int DeletionSoundNumber = 100;
