#include "library/SongLibrary.h"

#include "shell/Kalvo.h"

SongLibrary::SongLibrary(Kalvo& k) : k(k) {}
SongLibrary::~SongLibrary() = default;
void SongLibrary::ListePfadeScannen(const QString&) {}
void SongLibrary::ListeAbgleichen() {}
void SongLibrary::ListeLeeren() {}
void SongLibrary::ListeLaden(const QString&) {}
void SongLibrary::ListeSpeichern(bool) {}
void SongLibrary::ListeSpeichernUnter(bool) {}
void SongLibrary::ListeOeffnen() {}
void SongLibrary::LiederSortieren() {}
void SongLibrary::ZufallswerteNeu() {}
