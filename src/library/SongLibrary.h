#pragma once
#include <QSet>
#include <QString>
#include <memory>
#include "library/SongList.h"

class Kalvo;
class RandomSource;
struct ScanNeeds;

// The catalogue: PathList, SongList, the list file in use, scans, list
// files and the random order. UI thread only; every call blocks until done.
// Its parts live in SongLibrary.cpp (the lists and the list files),
// SongLibraryScan.cpp (scans), RandomOrder.cpp (the order) and
// ReenterSong.cpp (one song entered again); the scan and the list file
// themselves are functions over the lists (FolderScan.h, ListFile.h).
class SongLibrary {
public:
    explicit SongLibrary(Kalvo& k);
    ~SongLibrary();

    PathList pathList;
    SongList songList;
    // Full path of the current list file. Whoever changes it through this
    // class also sets k.settings.LetzteListenDatei to it.
    QString listFileName;

    // Walks directory (ending with the separator) and every directory below
    // it, adding or refreshing a SongEntry for every song file. Removes
    // nothing; a directory that cannot be read is logged and skipped.
    void ListePfadeScannen(const QString& directory);
    // Ages every entry, walks every PathList directory, purges entries missed
    // 30 times in a row or no longer matching the patterns, sorts, logs scans
    // over 3000 ms. Shows the progress window meanwhile; if it cannot open,
    // shows a message and leaves SongList untouched.
    void ListeAbgleichen();
    // Enters one song file, with its random key, as a scan would and without
    // walking anything: below a PathList directory an existing regular file
    // gets its size as presence, else it is absent (-1); an entry of that
    // path already listed is refreshed and keeps its key; a new one goes
    // where the order in force puts it (SongList is always in that order
    // between scans). Other entries are not aged. A path whose extension
    // the patterns do not take is not entered: -1. Else the entry's index,
    // with the cursor on it.
    int ReenterSong(const QString& filePath, int32_t randomKey);
    // Empties both lists and the resume point; list file name and volume stay.
    void ListeLeeren();
    // Makes fileName (empty: the first start, "Standard.txt" in the data
    // folder) the current list, reads it, scans and finds the resume song.
    void ListeLaden(const QString& fileName);
    // Writes the current list whole; does nothing for an empty PathList.
    // Failure is shown unless quiet; lastListSave is set on success only.
    // A new list whose name was not chosen yet is first given one through
    // the save dialog (a quiet save writes nothing). False when nothing
    // was written though something was due.
    bool ListeSpeichern(bool quiet);
    // "Neue Liste" (newList) and "Speichern als": asks for a name, saves.
    // A failed save keeps the old name. After a cancelled "Neue Liste" the
    // lists stay empty and the old name stays, but the list is not saved
    // under it: the next save asks for a name.
    void ListeSpeichernUnter(bool newList);
    // "Liste öffnen": asks for a list file and loads it.
    void ListeOeffnen();
    // Takes the random-order flag from the "Zufall" box (into the settings)
    // and sorts SongList stably by randomKey or by path.
    void LiederSortieren();
    // After a Yes to the question, deals new random keys and sorts again.
    void ZufallswerteNeu();
    // Called by the "Zufall" box: the order in force may have changed.
    void RandomOrderChanged() { LiederSortieren(); }
    // After a scan and the choice of the song: names in the song field the
    // first list folder that does not answer (its walk still waits), if any.
    void showSilentFolders();

private:
    Kalvo& k;
    bool listNeedsName = false;   // a "Neue Liste" whose name was cancelled
    // The save dialog's answer with ".txt" made sure of; empty on cancel.
    QString askListName();
    // What the scan functions take from the player.
    ScanNeeds scanNeeds();
};

// The pattern text: module patterns, ";", media patterns, in the case given.
QString songPatternText(const QString& modulePatterns, const QString& mediaPatterns);
// The extension of a file name or path: the text after the last "." that
// stands after the last "/" or "\"; empty when there is none.
QString fileExtension(const QString& path);
// Whether path's extension is non-empty and occurs in patternText, both
// compared without regard to letter case (a plain substring search).
bool matchesSongPattern(const QString& path, const QString& patternText);
// Reads a number of a list file: blanks/tabs, optional sign, then decimal
// digits, or "$" and hex digits, or "%" and binary digits; none gives 0.
// Wraps modulo 2^32 into a signed 32-bit value.
int32_t readListNumber(const QString& text);
// A random key that taken does not hold yet, drawn from random; it is added
// to taken. Twins in SongList would play as one song in the random order.
int32_t dealKey(RandomSource& random, QSet<int32_t>& taken);
// Path order: code unit by code unit with only A-Z folded to a-z; true when
// a sorts before b (a prefix sorts first).
bool pathLess(const QString& a, const QString& b);
// The presence of a file of the given size: the size below 2 GiB,
// 2147483647 for anything larger.
int32_t presenceOfSize(qint64 size);
