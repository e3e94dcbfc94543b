#pragma once
// The pattern test that decides which files are songs, for the scan, the
// purge and the choice of engine: a file passes when its extension is not
// empty and occurs in the pattern text as a plain substring, letter case
// ignored. The "*." and ";" of the patterns are not interpreted, so "mp"
// and "3" pass "*.mp3".
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <string_view>

class SongPattern {
public:
    explicit SongPattern(const QString& patternText);

    // The test for an extension without its dot.
    bool takes(QStringView extension) const;
    // The same for an extension given as UTF-8 bytes (a raw file name's).
    bool takesUtf8(std::string_view extension) const;
    const QString& text() const { return patternText; }

private:
    // Extensions beyond ASCII: Unicode case folding over the text as given.
    bool takesUnicode(QStringView extension) const;

    QString patternText;
    QByteArray lowerUtf8;  // patternText lower-cased, as UTF-8
    // Verdicts for the last few short ASCII extensions asked, byte for byte
    // as asked (a tree holds few different ones).
    struct Verdict {
        char ext[16];
        uint8_t len;
        bool taken;
    };
    mutable Verdict verdicts[8];
    mutable int verdictCount = 0;
};

// The extension of a file name or path: the text after the last "." that
// stands after the last native separator; empty when there is none.
QStringView extensionOf(QStringView path);
