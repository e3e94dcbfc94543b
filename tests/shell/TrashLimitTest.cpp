// A limit below 1, typed into the restore dialog or found in the settings,
// must never make a delete erase the trash.
#include "fixtures/TrashFixture.h"
#include "shell/RestoreSession.h"

namespace {

class TrashLimit : public TrashFixture {
protected:
    void SetUp() override {
        addSong(QStringLiteral("A.mp3"), 30);
        addSong(QStringLiteral("B.mp3"), 10);
        for (int i = 0; i < 5; ++i) trashed(QStringLiteral("old%1.mp3").arg(i), 100 + i, 100 + i);
    }
    QString settingsFile() { return k().shell.dataFolder + QStringLiteral("Kalvo2.ini"); }
};

TEST_F(TrashLimit, AFieldBelowOneKeepsTheOldLimitAndTheNextDeleteErasesNothing) {
    k().settings.TrashMax = 25;
    for (const char* typed : {"", "0", "-3", "000"}) {
        RestoreSession session(k());
        session.close(QString::fromLatin1(typed));
        EXPECT_EQ(k().settings.TrashMax, 25) << typed;
        EXPECT_TRUE(t.logLines().contains(QStringLiteral("RestoreDialog: Behalte max. Dateien \"") + typed +
                                          QStringLiteral("\" ist kleiner als 1 - TrashMax bleibt 25")))
            << typed;
    }
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(trashFiles().size(), 6);
    k().shell.SaveSettings();
    EXPECT_TRUE(readFile(settingsFile()).contains("TrashMax = 25\r\n"));

    RestoreSession session(k());
    session.close(QStringLiteral("3"));
    EXPECT_EQ(k().settings.TrashMax, 3);
}

TEST_F(TrashLimit, ASettingBelowOneReadsAsFortyAndTheNextDeleteErasesNothing) {
    k().trash.WriteTrashIndex();
    for (const char* stored : {"0", "-5", "", "abc", "-2147483648"}) {
        writeFile(settingsFile(), QByteArray("\xEF\xBB\xBF\r\n[Generell]\r\nTrashMax = ") + stored + "\r\n");
        k().shell.LoadSettings();
        EXPECT_EQ(k().settings.TrashMax, 40) << stored;
        EXPECT_TRUE(t.logLines().contains(QStringLiteral("LoadSettings: TrashMax = ") + stored +
                                          QStringLiteral(" ist kleiner als 1 - verwendet wird 40")))
            << stored;
    }
    ASSERT_EQ(k().trash.TrashList.size(), 5);
    load(0);
    k().actions.DeleteCurrentSong(false);
    EXPECT_EQ(trashFiles().size(), 6);
    k().shell.SaveSettings();
    EXPECT_TRUE(readFile(settingsFile()).contains("TrashMax = 40\r\n"));
}

}  // namespace
