#pragma once
#include <QString>
#include "library/SongList.h"

class Kalvo;

// The catalogue: PathList, SongList, the list file in use, scans, list
// files and the random order. UI thread only.
class SongLibrary {
public:
    explicit SongLibrary(Kalvo& k);
    ~SongLibrary();

    PathList pathList;
    SongList songList;
    QString listFileName;  // full path of the current list file

    void ListePfadeScannen(const QString& directory);
    void ListeAbgleichen();
    void ListeLeeren();
    void ListeLaden(const QString& fileName);
    void ListeSpeichern(bool quiet);
    void ListeSpeichernUnter(bool newList);
    void ListeOeffnen();
    void LiederSortieren();
    void ZufallswerteNeu();
    // Called by the "Zufall" box: the order in force may have changed.
    void RandomOrderChanged() { LiederSortieren(); }

private:
    Kalvo& k;
};
