#pragma once
#include "control/Blackscreen.h"
#include "remote/KeyBindings.h"
#include "library/SongLibrary.h"
#include "playback/PlaybackController.h"
#include "playback/PlaybackTick.h"
#include "playback/SongSelection.h"
#include "remote/MprisControl.h"
#include "shell/Settings.h"
#include "shell/SongActions.h"
#include "shell/Shell.h"
#include "timers/WakeAlarm.h"
#include "trash/Trash.h"

class MainView;
class Messages;
class Clock;
class Desktop;
class FileOps;
class RandomSource;
class ScanProgress;
class FileDialogs;
class Windows;
class MediaEngine;
class ModuleEngine;
class SoundEffects;

// Everything the logic needs from outside. The composition root (src/app)
// fills it with the real things; tests fill it with fakes.
struct Services {
    MainView& view;
    Messages& messages;
    Clock& clock;
    Desktop& desktop;
    FileOps& files;
    RandomSource& random;
    ScanProgress& progress;
    FileDialogs& fileDialogs;
    Windows& windows;
    MediaEngine& media;
    ModuleEngine& modules;
    SoundEffects& sounds;
};

// The one context object: every subsystem and the services they share.
// Cross-calls between subsystems go through it. Lives for the whole run.
class Kalvo {
public:
    explicit Kalvo(const Services& services)
        : s(services), shell(*this), library(*this), playback(*this), tick(*this),
          alarm(*this),
          trash(Trash::Needs{s.files, s.clock, s.random, shell.TrashFolder, settings.TrashMax,
                             [this](const QString& line) { shell.LogLine(line); }}),
          actions(*this), bindings(*this), blackscreen(*this), selection(*this), mpris(*this) {}
    Kalvo(const Kalvo&) = delete;
    Kalvo& operator=(const Kalvo&) = delete;

    Services s;
    Settings settings;

    Shell shell;
    SongLibrary library;
    PlaybackController playback;
    PlaybackTick tick;
    WakeAlarm alarm;
    Trash trash;
    SongActions actions;  // delete, undo, restore: the songs and the trash together
    KeyBindings bindings;
    Blackscreen blackscreen;
    SongSelection selection;
    MprisControl mpris;
};
