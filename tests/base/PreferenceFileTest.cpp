#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <climits>

#include "PrefTestUtil.h"
#include "fakes/Fakes.h"
#include "base/PreferenceFile.h"

namespace {

class PreferenceFileTest : public PreferenceDocumentTest {};

TEST_F(PreferenceFileTest, CreatedDocumentIsWrittenByteExact) {
    PreferenceFile f;
    create(f);
    f.selectGroup(QStringLiteral("Generell"));
    f.writeComment(QString());
    f.writeInteger(QStringLiteral("SprungwertWM"), 30);
    EXPECT_EQ(closeAndRead(f), QByteArray("\xEF\xBB\xBF\r\n[Generell]\r\n; \r\nSprungwertWM = 30\r\n"));
}

TEST_F(PreferenceFileTest, EntriesAppearInCallOrderAcrossPendingGroups) {
    PreferenceFile f;
    create(f);
    EXPECT_FALSE(f.selectGroup(QStringLiteral("A")));
    f.writeComment(QStringLiteral("eins"));
    f.writeString(QStringLiteral("k1"), QStringLiteral("v1"));
    f.writeInteger(QStringLiteral("k2"), -2147483647 - 1);
    f.writeString(QStringLiteral("k3"), QStringLiteral("Größe = 3"));
    EXPECT_FALSE(f.selectGroup(QStringLiteral("B")));
    f.writeInteger(QStringLiteral("k1"), 7);
    f.writeComment(QStringLiteral("zwei"));
    EXPECT_EQ(closeAndRead(f), written("[A]\r\n; eins\r\nk1 = v1\r\nk2 = -2147483648\r\nk3 = Gr\xC3\xB6\xC3\x9F"
                                       "e = 3\r\n[B]\r\nk1 = 7\r\n; zwei\r\n"));
}

TEST_F(PreferenceFileTest, CreateKeepsOldFileUntilCloseAndEmptyCloseLeavesZeroBytes) {
    writeBytes(file, "old content");
    PreferenceFile f;
    create(f);
    EXPECT_EQ(readBytes(file), QByteArray("old content"));  // not cut before the save
    ASSERT_TRUE(f.closePreferences());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(QFile(file).size(), 0);
    // A fresh name too.
    const QString other = dir.path() + QStringLiteral("/new.ini");
    ASSERT_TRUE(f.createPreferences(other));
    f.closePreferences();
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_EQ(QFile(other).size(), 0);
}

TEST_F(PreferenceFileTest, UncreatableFileIgnoresWritesAndWritesNothing) {
    PreferenceFile f;
    const QString bad = dir.path() + QStringLiteral("/missing/folder/x.ini");
    EXPECT_FALSE(f.createPreferences(bad));
    f.selectGroup(QStringLiteral("G"));
    f.writeString(QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_EQ(f.readString(QStringLiteral("k"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_TRUE(f.closePreferences());
    EXPECT_FALSE(QFile::exists(bad));
    // A folder in the file's place cannot be replaced either.
    QDir().mkpath(file);
    EXPECT_FALSE(f.createPreferences(file));
    EXPECT_TRUE(QFileInfo(file).isDir());
}

TEST_F(PreferenceFileTest, Latin1WithoutBomIsReadAndRewrittenAsUtf8) {
    PreferenceFile f;
    openWith(f, "[G]\r\nName=B\xE4r\r\n");
    f.selectGroup(QStringLiteral("G"));
    EXPECT_EQ(f.readString(QStringLiteral("Name"), QString()), QStringLiteral("Bär"));
    f.writeInteger(QStringLiteral("Neu"), 1);
    EXPECT_EQ(closeAndRead(f), written("[G]\r\nName = B\xC3\xA4r\r\nNeu = 1\r\n"));
    // With a BOM the same two bytes are one UTF-8 letter.
    openWith(f, "\xEF\xBB\xBF[G]\nName=B\xC3\xA4r");
    EXPECT_EQ(f.readString(QStringLiteral("Name"), QString()), QString());  // unnamed group
    f.selectGroup(QStringLiteral("g"));
    EXPECT_EQ(f.readString(QStringLiteral("NAME"), QString()), QStringLiteral("Bär"));
}

TEST_F(PreferenceFileTest, BomlessUtf8IsReadAsUtf8AndOneStrayByteMakesTheFileLatin1) {
    // What an editor on Linux writes when the user adds a folder by hand.
    PreferenceFile f;
    openWith(f, "[Pfade]\n0 = /home/j\xC3\xB6rg/Musik/\n1 = /M\xC3\xBCll/\xF0\x9F\x8E\xB5/\n");
    f.selectGroup(QStringLiteral("Pfade"));
    EXPECT_EQ(f.readString(QStringLiteral("0"), QString()), QStringLiteral("/home/jörg/Musik/"));
    EXPECT_EQ(f.readString(QStringLiteral("1"), QString()), QString::fromUtf8("/M\xC3\xBCll/\xF0\x9F\x8E\xB5/"));
    f.writeInteger(QStringLiteral("2"), 2);
    EXPECT_EQ(closeAndRead(f), written("[Pfade]\r\n0 = /home/j\xC3\xB6rg/Musik/\r\n1 = /M\xC3\xBCll/\xF0\x9F\x8E\xB5/\r\n"
                                       "2 = 2\r\n"));
    // Not UTF-8 as a whole (a lone E4, an overlong form, a surrogate): every byte is Latin-1.
    for (const char* bytes : {"a = j\xC3\xB6rg\nb = B\xE4r\n", "a = j\xC3\xB6rg\nb = \xC0\xAF\n",
                              "a = j\xC3\xB6rg\nb = \xED\xA0\x80\n"}) {
        openWith(f, bytes);
        EXPECT_EQ(f.readString(QStringLiteral("a"), QString()), QStringLiteral("j\u00C3\u00B6rg")) << bytes;
    }
}

TEST_F(PreferenceFileTest, AFeffInsideTheTextIsACharacterLikeAnyOther) {
    PreferenceFile f;
    openWith(f, "\xEF\xBB\xBF\r\n\xEF\xBB\xBFk = \xEF\xBB\xBFv\r\n");
    ASSERT_TRUE(f.examineKeys());
    ASSERT_TRUE(f.nextKey());
    EXPECT_EQ(f.keyName(), QStringLiteral("\uFEFFk"));
    EXPECT_EQ(f.keyValue(), QStringLiteral("\uFEFFv"));
    EXPECT_EQ(f.readString(f.keyName(), QString()), QStringLiteral("\uFEFFv"));
}

TEST_F(PreferenceFileTest, CrOnlyAndMixedLineEndsSplitLikeCrLf) {
    QByteArray crOnly;
    QByteArray crLf;
    for (int i = 0; i < 2000; ++i) {
        const QByteArray line = "k" + QByteArray::number(i) + " = " + QByteArray::number(i * 7);
        crOnly += line + '\r';
        crLf += line + "\r\n";
    }
    PreferenceFile f;
    openWith(f, "[G]\r" + crOnly + "[H]\n\r\n\rx = 1\r\r\ny = 2");
    f.selectGroup(QStringLiteral("G"));
    QStringList seen;
    ASSERT_TRUE(f.examineKeys());
    while (f.nextKey()) seen << f.keyName() + QLatin1Char('=') + f.keyValue();
    ASSERT_EQ(seen.size(), 2000);
    EXPECT_EQ(seen.last(), QStringLiteral("k1999=13993"));
    EXPECT_EQ(f.readInteger(QStringLiteral("k1000"), -1), 7000);
    f.selectGroup(QStringLiteral("H"));
    EXPECT_EQ(f.readInteger(QStringLiteral("x"), -1), 1);
    EXPECT_EQ(f.readInteger(QStringLiteral("y"), -1), 2);
    f.selectGroup(QStringLiteral("G"));
    f.writeInteger(QStringLiteral("k0"), 0);
    EXPECT_EQ(closeAndRead(f), written("[G]\r\n" + crLf + "[H]\r\nx = 1\r\ny = 2\r\n"));
}

TEST_F(PreferenceFileTest, KeyLineSpellingsAllReadTheSameInteger) {
    const char* lines[] = {"WinX=250", "WinX = 250", "WinX\t=\t250", "WinX = 250   \t", "winx = 250",
                           "   WINX=250"};
    for (const char* line : lines) {
        PreferenceFile f;
        openWith(f, QByteArray("[Window]\r\n") + line + "\r\n");
        f.selectGroup(QStringLiteral("Window"));
        EXPECT_EQ(f.readInteger(QStringLiteral("WinX"), 100), 250) << line;
        EXPECT_EQ(f.readString(QStringLiteral("WinX"), QString()), QStringLiteral("250")) << line;
    }
}

TEST_F(PreferenceFileTest, EmptyAndTextValuesReadAsZeroNotDefault) {
    PreferenceFile f;
    openWith(f, "Snooze=\r\nText = abc\r\nNoEquals\r\nMulti = a=b = c \r\n");
    EXPECT_EQ(f.readInteger(QStringLiteral("Snooze"), 5), 0);
    EXPECT_EQ(f.readString(QStringLiteral("Snooze"), QStringLiteral("d")), QString());
    EXPECT_EQ(f.readInteger(QStringLiteral("Text"), 5), 0);
    EXPECT_EQ(f.readString(QStringLiteral("NoEquals"), QStringLiteral("d")), QString());
    EXPECT_EQ(f.readString(QStringLiteral("Multi"), QString()), QStringLiteral("a=b = c"));
    EXPECT_EQ(f.readInteger(QStringLiteral("Missing"), 5), 5);
}

TEST_F(PreferenceFileTest, HeaderLinesAndCommentsAreNormalised) {
    PreferenceFile f;
    openWith(f, "  \t[Eins] Rest\r\n;ohne\r\n; mit\r\n;  zwei\r\n\r\n\r\n   \r\n[Zwei\rk=v\n\n\r\r[]\n");
    EXPECT_TRUE(f.selectGroup(QStringLiteral("Eins")));
    EXPECT_TRUE(f.selectGroup(QStringLiteral("Zwei")));
    EXPECT_EQ(f.readString(QStringLiteral("k"), QString()), QStringLiteral("v"));
    f.writeString(QStringLiteral("k"), QStringLiteral("w"));
    EXPECT_EQ(closeAndRead(f), written("[Eins]\r\n; ohne\r\n; mit\r\n;  zwei\r\n[Zwei]\r\nk = w\r\n[]\r\n"));
}

TEST_F(PreferenceFileTest, MissingGroupIsPendingAndReadsGiveDefaults) {
    PreferenceFile f;
    openWith(f, "Key = unnamed\r\n[G]\r\nKey = g\r\n");
    EXPECT_EQ(f.readString(QStringLiteral("Key"), QString()), QStringLiteral("unnamed"));
    EXPECT_FALSE(f.selectGroup(QStringLiteral("Nope")));
    EXPECT_EQ(f.readString(QStringLiteral("Key"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(f.readInteger(QStringLiteral("Key"), 9), 9);
    EXPECT_FALSE(f.examineKeys());
    EXPECT_FALSE(f.nextKey());
    // A write creates the group at the end.
    f.writeString(QStringLiteral("Key"), QStringLiteral("neu"));
    EXPECT_EQ(f.readString(QStringLiteral("Key"), QString()), QStringLiteral("neu"));
    EXPECT_EQ(closeAndRead(f), written("Key = unnamed\r\n[G]\r\nKey = g\r\n[Nope]\r\nKey = neu\r\n"));
}

TEST_F(PreferenceFileTest, FirstOfDuplicateGroupsAndKeysWins) {
    PreferenceFile f;
    openWith(f, "[G]\r\nk = 1\r\nK = 2\r\n[g]\r\nk = 3\r\nx = 4\r\n");
    f.selectGroup(QStringLiteral("G"));
    EXPECT_EQ(f.readInteger(QStringLiteral("k"), 0), 1);
    EXPECT_EQ(f.readInteger(QStringLiteral("x"), 0), 0);  // only in the second "g"
    f.writeString(QStringLiteral("K"), QStringLiteral("9"));  // replaces the first, in place
    f.writeString(QStringLiteral("x"), QStringLiteral("5"));  // new: end of the first group
    EXPECT_EQ(closeAndRead(f), written("[G]\r\nK = 9\r\nK = 2\r\nx = 5\r\n[g]\r\nk = 3\r\nx = 4\r\n"));
}

TEST_F(PreferenceFileTest, NamesFoldOnlyAsciiLetters) {
    PreferenceFile f;
    openWith(f, "\xEF\xBB\xBF[\xC3\x84rger]\r\n\xC3\xA4x = 1\r\nAbC = 2\r\n");
    EXPECT_FALSE(f.selectGroup(QStringLiteral("ärger")));
    EXPECT_TRUE(f.selectGroup(QStringLiteral("ÄRGER")));
    EXPECT_EQ(f.readInteger(QStringLiteral("ÄX"), -1), -1);
    EXPECT_EQ(f.readInteger(QStringLiteral("äX"), -1), 1);
    EXPECT_EQ(f.readInteger(QStringLiteral("aBc"), -1), 2);
}

TEST_F(PreferenceFileTest, UnnamedGroupKeysGoBeforeTheFirstHeader) {
    PreferenceFile f;
    openWith(f, "[G]\r\nk = 1\r\n");
    f.selectGroup(QString());
    f.writeInteger(QStringLiteral("1"), 10);
    f.writeInteger(QStringLiteral("2"), 20);
    f.selectGroup(QStringLiteral("G"));
    f.writeInteger(QStringLiteral("z"), 3);
    f.selectGroup(QString());
    f.writeInteger(QStringLiteral("3"), 30);
    EXPECT_EQ(closeAndRead(f), written("1 = 10\r\n2 = 20\r\n3 = 30\r\n[G]\r\nk = 1\r\nz = 3\r\n"));
}

TEST_F(PreferenceFileTest, CommentsGoAfterTheCursor) {
    PreferenceFile f;
    openWith(f, "[A]\r\na = 1\r\nb = 2\r\n[B]\r\nc = 3\r\n");
    f.selectGroup(QStringLiteral("A"));
    f.writeComment(QStringLiteral("nach Kopf"));
    f.readString(QStringLiteral("a"), QString());
    f.writeComment(QStringLiteral("nach a"));
    f.writeComment(QStringLiteral("und noch"));
    f.writeString(QStringLiteral("d"), QStringLiteral("4"));  // after the group's last entry
    EXPECT_EQ(closeAndRead(f),
              written("[A]\r\n; nach Kopf\r\na = 1\r\n; nach a\r\n; und noch\r\nb = 2\r\nd = 4\r\n[B]\r\nc = 3\r\n"));
}

TEST_F(PreferenceFileTest, EnumerationSkipsCommentsAndStopsAtNextGroup) {
    PreferenceFile f;
    openWith(f, "u = 0\r\n; c\r\n[A]\r\n; c\r\nx =  1 \r\n;c\r\ny\r\n[B]\r\nz = 3\r\n");
    ASSERT_TRUE(f.examineKeys());  // unnamed group
    ASSERT_TRUE(f.nextKey());
    EXPECT_EQ(f.keyName(), QStringLiteral("u"));
    EXPECT_FALSE(f.nextKey());
    f.selectGroup(QStringLiteral("a"));
    ASSERT_TRUE(f.examineKeys());
    EXPECT_EQ(f.keyName(), QString());  // on the header
    QStringList seen;
    while (f.nextKey()) seen << f.keyName() + QLatin1Char('=') + f.keyValue();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("x=1"), QStringLiteral("y=")}));
}

TEST_F(PreferenceFileTest, DocumentsWithoutWritesAreNotTouched) {
    const QByteArray original("; nur lesen\n[G]\nk=1\n");
    writeBytes(file, original);
    PreferenceFile f;
    ASSERT_TRUE(f.openPreferences(file));
    f.selectGroup(QStringLiteral("G"));
    f.readInteger(QStringLiteral("k"), 0);
    f.examineKeys();
    f.nextKey();
    EXPECT_TRUE(f.closePreferences());
    EXPECT_EQ(readBytes(file), original);
}

TEST_F(PreferenceFileTest, OpeningAnotherDocumentClosesAndWritesTheFirst) {
    const QString second = dir.path() + QStringLiteral("/second.ini");
    PreferenceFile f;
    EXPECT_FALSE(f.openPreferences(file));  // missing: empty document, name kept
    EXPECT_EQ(f.readInteger(QStringLiteral("k"), 4), 4);
    f.writeInteger(QStringLiteral("k"), 1);
    EXPECT_FALSE(f.openPreferences(second));
    EXPECT_EQ(readBytes(file), written("k = 1\r\n"));
    EXPECT_EQ(f.readInteger(QStringLiteral("k"), 4), 4);
}

TEST_F(PreferenceFileTest, HostileContentLoadsWithoutHarm) {
    QByteArray garbage;
    for (int i = 0; i < 200000; ++i) garbage.append(char((i * 7919 + (i >> 3)) & 0xFF));
    garbage.append("\n[G]\nk = 5\n");
    PreferenceFile f;
    openWith(f, garbage);
    f.selectGroup(QStringLiteral("G"));
    EXPECT_EQ(f.readInteger(QStringLiteral("k"), 0), 5);
    f.closePreferences();

    // A 10 MB line, a NUL inside a value, and a header that never closes.
    QByteArray big = "[G]\r\nlong = ";
    big.append(QByteArray(10 * 1024 * 1024, 'x'));
    big.append("\r\nnul = a\0b\r\n[offen", 19);
    openWith(f, big);
    f.selectGroup(QStringLiteral("G"));
    EXPECT_EQ(f.readString(QStringLiteral("long"), QString()).size(), 10 * 1024 * 1024);
    EXPECT_EQ(f.readString(QStringLiteral("nul"), QString()).size(), 3);
    EXPECT_TRUE(f.selectGroup(QStringLiteral("offen")));

    // A folder where the file should be reads as missing.
    const QString folder = dir.path() + QStringLiteral("/folder.ini");
    QDir().mkpath(folder);
    EXPECT_FALSE(f.openPreferences(folder));
    EXPECT_EQ(f.readInteger(QStringLiteral("k"), 3), 3);
    f.closePreferences();
}

TEST_F(PreferenceFileTest, ValuesRoundTripByteExact) {
    // Invalid UTF-8 after a BOM and blanks at the end of values survive an
    // unrelated write byte for byte.
    PreferenceFile f;
    openWith(f, "\xEF\xBB\xBF\r\n[G]\r\nbad = \xFF\xFE\x80 \r\ntrail = x  \t\r\n");
    f.selectGroup(QStringLiteral("G"));
    f.writeInteger(QStringLiteral("n"), 1);
    EXPECT_EQ(closeAndRead(f), written("[G]\r\nbad = \xFF\xFE\x80 \r\ntrail = x  \t\r\nn = 1\r\n"));
}

TEST(ReadAtoi, FollowsAtoiAndWrapsInsteadOfOverflowing) {
    EXPECT_EQ(readAtoi(QStringLiteral("  -12abc")), -12);
    EXPECT_EQ(readAtoi(QStringLiteral("\t+7")), 7);
    EXPECT_EQ(readAtoi(QStringLiteral("abc")), 0);
    EXPECT_EQ(readAtoi(QStringLiteral("- 5")), 0);
    EXPECT_EQ(readAtoi(QString()), 0);
    EXPECT_EQ(readAtoi(QStringLiteral("2147483647")), INT_MAX);
    EXPECT_EQ(readAtoi(QStringLiteral("-2147483648")), INT_MIN);
    EXPECT_EQ(readAtoi(QStringLiteral("2147483648")), INT_MIN);
    EXPECT_EQ(readAtoi(QStringLiteral("4294967297")), 1);
    EXPECT_NO_FATAL_FAILURE(readAtoi(QString(QLatin1Char('9')).repeated(5000)));
}

}  // namespace
