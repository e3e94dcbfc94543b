#include "PrefTestUtil.h"

// Lists write long runs of keys named 0, 1, 2 ... into fresh groups; the
// writer takes a fast road for them. Writing one of those names again, in
// any group, must still replace the key rather than add a second one.
class NumberedKeys : public PreferenceDocumentTest {};

TEST_F(NumberedKeys, RewritingANumberedKeyReplacesItInItsOwnGroup) {
    PreferenceFile f;
    create(f);
    f.selectGroup(QStringLiteral("Pfade"));
    f.writeString(QStringLiteral("0"), QStringLiteral("/a/"));
    f.writeString(QStringLiteral("1"), QStringLiteral("/b/"));
    f.selectGroup(QStringLiteral("Lieder"));
    for (int i = 0; i < 3; ++i) f.writeString(QString::number(i), QStringLiteral("s%1|1|2").arg(i));
    f.writeString(QStringLiteral("1"), QStringLiteral("neu|5|6"));  // replaces, stays in place
    f.writeString(QStringLiteral("5"), QStringLiteral("s5|1|2"));   // a gap: appended
    f.writeString(QStringLiteral("3"), QStringLiteral("s3|1|2"));   // out of order: appended
    f.selectGroup(QStringLiteral("Pfade"));
    f.writeString(QStringLiteral("0"), QStringLiteral("/c/"));      // back in the first group
    EXPECT_EQ(f.readString(QStringLiteral("1"), QString()), QStringLiteral("/b/"));
    f.selectGroup(QStringLiteral("Lieder"));
    EXPECT_EQ(f.readString(QStringLiteral("1"), QString()), QStringLiteral("neu|5|6"));
    EXPECT_EQ(f.readString(QStringLiteral("3"), QString()), QStringLiteral("s3|1|2"));
    EXPECT_EQ(closeAndRead(f), written("[Pfade]\r\n0 = /c/\r\n1 = /b/\r\n[Lieder]\r\n0 = s0|1|2\r\n"
                                       "1 = neu|5|6\r\n2 = s2|1|2\r\n5 = s5|1|2\r\n3 = s3|1|2\r\n"));
}

TEST_F(NumberedKeys, NonAsciiValuesAndNamesAreWrittenAsUtf8) {
    PreferenceFile f;
    create(f);
    f.selectGroup(QStringLiteral("Lieder"));
    f.writeString(QStringLiteral("0"), QStringLiteral("/Musik/Kübel/ä.mp3|1|2"));
    f.writeString(QStringLiteral("Größe"), QStringLiteral("x"));
    f.writeString(QStringLiteral("GRößE"), QStringLiteral("y"));  // ASCII letters fold: same key
    EXPECT_EQ(closeAndRead(f), written("[Lieder]\r\n0 = /Musik/K\xC3\xBC" "bel/\xC3\xA4.mp3|1|2\r\n"
                                       "GR\xC3\xB6\xC3\x9F" "E = y\r\n"));
}
