#include "playback/DeletionSound.h"

QByteArray builtinDeletionSound() { return {}; }
