#include "fixtures/TrashFixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <iostream>
#include <random>

namespace {

// Runs the delete/undo/restore driver, kills it at random moments and checks
// after every kill that each song is still whole at its origin or in the
// trash, and that the next start's index names only files in the trash.
// KALVO_SOAK_RUNS sets the number of kills (default 250).
class KillTest : public ::testing::Test {
protected:
    struct Setup {
        QString data, music;
    };
    static constexpr int kSongs = 6;
    static QByteArray content(int i) {
        QByteArray c = "song-" + QByteArray::number(i) + "\n";
        c.append(QByteArray((1 << 19) + i * 4099, char('a' + i)));
        return c;
    }
    static QString songName(int i) { return QStringLiteral("S%1.mp3").arg(i, 3, 10, QLatin1Char('0')); }

    static void makeSongs(const QString& music) {
        QDir().mkpath(music);
        for (int i = 0; i < kSongs; ++i) {
            QFile f(music + songName(i));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content(i));
        }
    }

    struct Census {
        int wholeSongs = 0;  // songs found whole somewhere
        QString cut;         // a file under a real name that is not whole
        int partials = 0;    // unfinished copies under their temporary name
        int doubles = 0;     // songs found in both places
    };
    static Census census(const Setup& s) {
        Census c;
        QMap<int, int> found;
        for (const QString& folder : {s.music, s.data + "Kalvo-Kübel/"}) {
            for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
                if (name.endsWith(".ini")) continue;
                // Unfinished copies, and the index's own temporary file that
                // the next start removes.
                if (isPartialCopyName(name) || name.startsWith(Trash::indexFileName() + ".")) {
                    ++c.partials;
                    continue;
                }
                QFile f(folder + name);
                if (!f.open(QIODevice::ReadOnly)) continue;
                const QByteArray all = f.readAll();
                const int i = all.mid(5, all.indexOf('\n') - 5).toInt();
                if (all.startsWith("song-") && all == content(i))
                    found[i]++;
                else
                    c.cut = folder + name;
            }
        }
        c.wholeSongs = int(found.size());
        for (int n : found) c.doubles += n > 1 ? 1 : 0;
        return c;
    }
    static bool indexWhole(const Setup& s) {
        QFile f(s.data + "Kalvo-Kübel/" + Trash::indexFileName());
        if (!f.exists()) return true;
        if (!f.open(QIODevice::ReadOnly)) return false;
        const QByteArray all = f.readAll();
        return all.isEmpty() || (all.startsWith("\xEF\xBB\xBF\r\n") && all.endsWith("\r\n"));
    }
};

TEST_F(KillTest, NoSongIsLostWhereverTheProcessIsKilled) {
    const QString driver = QStringLiteral(KALVO_BINARY_DIR "/tests/trash_kill_driver");
    ASSERT_TRUE(QFileInfo(driver).isExecutable()) << driver.toStdString();
    const int runs = qEnvironmentVariableIsSet("KALVO_SOAK_RUNS") ? qEnvironmentVariableIntValue("KALVO_SOAK_RUNS") : 250;

    QTemporaryDir temp;
    QVector<Setup> setups{{temp.path() + "/same/data/", temp.path() + "/same/music/"}};
    std::unique_ptr<QTemporaryDir> shm;
    const QString other = otherFileSystemFolder(temp.path());
    if (!other.isEmpty()) {
        shm = std::make_unique<QTemporaryDir>(other + "/kalvo-kill-XXXXXX");
        if (shm->isValid()) setups.append({temp.path() + "/cross/data/", shm->path() + "/music/"});
    }
    if (setups.size() < 2) std::cout << "no tmpfs on another device: same file system only\n";
    for (const Setup& s : setups) {
        QDir().mkpath(s.data);
        makeSongs(s.music);
    }

    std::mt19937 rng(12345);
    int partialsSeen = 0, doublesSeen = 0, killed = 0;
    QElapsedTimer timer;
    timer.start();
    for (int run = 0; run < runs; ++run) {
        const Setup& s = setups[run % setups.size()];
        QProcess p;
        p.start(driver, {s.data, s.music});
        ASSERT_TRUE(p.waitForStarted(10000));
        // Half the kills land in the start-up check, half in the loop.
        if (run % 2 == 0) p.waitForReadyRead(10000);
        QThread::usleep(std::uniform_int_distribution<int>(0, 80000)(rng));
        if (p.state() == QProcess::Running) ++killed;
        p.kill();
        ASSERT_TRUE(p.waitForFinished(10000));

        const Census c = census(s);
        ASSERT_EQ(c.wholeSongs, kSongs) << "run " << run;
        ASSERT_EQ(c.cut, QString()) << "run " << run;
        ASSERT_TRUE(indexWhole(s)) << "run " << run;
        partialsSeen += c.partials > 0;
        doublesSeen += c.doubles > 0;
    }
    // A start after the last kill: its index names files that are in the trash.
    for (const Setup& s : setups) {
        QProcess p;
        p.start(driver, {s.data, s.music, QStringLiteral("0")});
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0);
        PreferenceFile pf;
        ASSERT_TRUE(pf.openPreferences(s.data + "Kalvo-Kübel/" + Trash::indexFileName()));
        ASSERT_TRUE(pf.examineKeys());
        while (pf.nextKey()) {
            const QString trashPath = pf.keyValue().section(QLatin1Char('|'), 3);
            EXPECT_TRUE(trashPath.startsWith(s.data + "Kalvo-Kübel/") && QFileInfo(trashPath).isFile())
                << trashPath.toStdString();
        }
        pf.closePreferences();
        EXPECT_EQ(census(s).wholeSongs, kSongs);
        // Unfinished copies of killed restores went too, beside the songs as in the trash.
        EXPECT_EQ(census(s).partials, 0);
    }
    std::cout << runs << " runs (" << killed << " killed while running) in " << timer.elapsed() / 1000.0
              << " s; unfinished copies left by " << partialsSeen << ", songs in both places after "
              << doublesSeen << "\n";
}

}  // namespace
