#include "library/SongLibrary.h"

#include "shell/Kalvo.h"

SongLibrary::SongLibrary(Kalvo& k) : k(k) {}
SongLibrary::~SongLibrary() = default;
