#pragma once
#include <QString>
#include <QVector>
#include <cstdint>

class Kalvo;

// The song selection window's decisions: which paths its list shows, which
// row follows the song that plays, what a double-click starts. The window
// (behind the Windows seam) only shows the rows and reports events.
// Lists of 100,000 songs are normal: a fill is one pass over SongList that
// shares the paths it holds (no copy of a path), and finding the row of a
// song is a hash look-up. UI thread only.
class SongSelection {
public:
    explicit SongSelection(Kalvo& k) : k(k) {}

    // "Lied:": creates the window (replacing one already open), places it at
    // WinXLied, WinYLied (outer left/top) and WinXDLied, WinYDLied (inner
    // size), fills it without filter. A window that cannot be created is
    // reported in a message box and nothing else changes.
    void LiedauswahlOeffnen();
    // Stores the outer left/top edge and the inner size into the four
    // settings, then closes the window. Nothing when it is not open.
    void LiedauswahlSchliessen();
    // Shows every present entry (filter false), or every present entry whose
    // lower-cased path contains the lower-cased search text (an empty text
    // matches nothing), in SongList order; then marks the offered song.
    void LiedauswahlFuellen(bool filter);
    // While open: selects the row whose path equals offeredSong without
    // regard to letter case, or no row when none does; focus to the list.
    void LiedauswahlMarkieren();
    // A double-click (other sub-types are ignored) makes the selected row's
    // present entry the resume point and plays the resume song. A row whose
    // song is gone from SongList, or absent since the latest scan, leaves
    // the resume point alone, and the list is filled again without it.
    void LiedauswahlEreignis(int subType);

    // The paths the list shows, in row order.
    const QVector<QString>& rows() const { return shown; }
    // The row whose path equals path without regard to letter case; -1 when
    // no row does. Builds the look-up once per fill.
    int rowOf(const QString& path);

private:
    Kalvo& k;
    QVector<QString> shown;
    bool lastFilter = false;
    // Open addressing over the rows: the high 32 bits hold the hash of the
    // lower-cased path, the low 32 bits the row + 1; 0 is a free slot.
    QVector<quint64> lookup;
    bool indexed = false;
    void buildIndex();
};

// Whether the lower-cased text contains lowNeedle (already lower-cased, not
// empty). Lower-casing is the full Unicode mapping of QString::toLower; the
// usual characters are compared in place without a copy.
bool lowerContains(const QString& text, const QString& lowNeedle);
// Whether a and b are equal after lower-casing both.
bool equalLowered(const QString& a, const QString& b);
// A hash of the lower-cased text; equal for texts equalLowered calls equal.
uint32_t loweredHash(const QString& text);
