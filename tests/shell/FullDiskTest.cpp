// Quitting with the data folder on a file system that is full to the last
// block: a real tmpfs, real files, the real save paths of the exit.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include "base/PrefTestUtil.h"
#include "base/AtomicFile.h"
#include "fakes/Fakes.h"
#include "trash/Trash.h"

namespace {

// A small tmpfs mounted for one test, unmounted at the end.
struct SmallDisk {
    QString folder;
    QString why;  // why it could not be mounted
    bool mounted = false;
    explicit SmallDisk(const QString& at, const char* size) : folder(at) {
        QDir().mkpath(folder);
        const QByteArray options = QByteArray("size=") + size;
        mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) == 0;
        if (!mounted) why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk() {
        if (mounted) ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    }
    // Fills the file system to its last byte: big writes, then single bytes
    // until the kernel says ENOSPC.
    void fill() {
        const int fd = ::open(QFile::encodeName(folder + "/filler").constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray chunk(64 * 1024, 'f');
        for (qsizetype n : {chunk.size(), qsizetype(4096), qsizetype(1)})
            while (::write(fd, chunk.constData(), size_t(n)) == n) {
            }
        EXPECT_EQ(::write(fd, "x", 1), -1);
        EXPECT_EQ(errno, ENOSPC);
        ::close(fd);
    }
    void makeRoom() { QFile::remove(folder + "/filler"); }
};

class FullDisk : public ::testing::Test {
protected:
    TestKalvo t;
    std::unique_ptr<SmallDisk> disk;
    QString data, list, ini, index;
    Kalvo& k() { return *t.k; }

    void SetUp() override {
        disk = std::make_unique<SmallDisk>(t.path("disk"), "2m");
        if (!disk->mounted)
            GTEST_SKIP() << "cannot mount a tmpfs for the full-disk test (needs root): " << qPrintable(disk->why);
        // The data folder on the small disk; the log stays outside, where the
        // test can read what it says.
        data = disk->folder + "/Kalvo2/";
        QDir().mkpath(data + "Kalvo-Kübel");
        k().shell.dataFolder = data;
        k().shell.TrashFolder = data + "Kalvo-Kübel/";
        list = data + "Standard.txt";
        ini = data + "Kalvo2.ini";
        index = k().shell.TrashFolder + Trash::indexFileName();
        k().library.listFileName = list;
        k().settings.LetzteListenDatei = list;
        k().library.pathList.append(t.path("music/"));
        growContent(3);
    }

    // Songs, trash entries and a last folder, n of each.
    void growContent(int n) {
        const QString longName = QString(120, QLatin1Char('x'));
        SongList& songs = k().library.songList;
        for (int i = songs.size(); i < n; ++i)
            songs.append(SongEntry{t.path("music/") + longName + QString::number(i) + ".mp3", i + 1, 1000 + i});
        QVector<TrashEntry>& trash = k().trash.TrashList;
        for (int i = trash.size(); i < n; ++i) {
            const QString inTrash = k().shell.TrashFolder + QStringLiteral("Lied%1.mp3").arg(i);
            if (i < 3) writeBytes(inTrash, "song");  // a few real ones: every file takes a block
            trash.append(TrashEntry{1000 + i, 500 + i, t.path("music/") + longName + QString::number(i), inTrash});
        }
        k().settings.LetzterPfad = QString(n * 10, QLatin1Char('p'));
    }

    // The files a save leaves beside the saved ones.
    QStringList leftovers() {
        QStringList out;
        for (const QString& folder : {data, k().shell.TrashFolder})
            for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
                if (name.contains(".ini.") || name.contains(".txt.")) out << name;
        return out;
    }
};

TEST_F(FullDisk, AQuitOnAFullDiskKeepsEveryFileByteForByteAndSaysSo) {
    k().shell.SaveAtExit();
    ASSERT_TRUE(readBytes(ini).contains("TrashMax = 40"));
    const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
    // A little more to save than before (what fits in a write buffer), and
    // much more.
    for (const int n : {20, 3000}) {
        const QByteArray oldList = readBytes(list), oldIni = readBytes(ini), oldIndex = readBytes(index);
        ASSERT_TRUE(oldList.contains("Lieder") && oldIndex.contains("|"));
        growContent(n);
        disk->fill();
        t.messages.shown.clear();
        k().shell.SaveAtExit();
        std::printf("%d entries, after a full-disk quit: Standard.txt %lld of %lld bytes, Kalvo2.ini %lld of %lld, "
                    "%s %lld of %lld\n",
                    n, qlonglong(readBytes(list).size()), qlonglong(oldList.size()), qlonglong(readBytes(ini).size()),
                    qlonglong(oldIni.size()), qPrintable(Trash::indexFileName()), qlonglong(readBytes(index).size()),
                    qlonglong(oldIndex.size()));

        EXPECT_EQ(readBytes(list), oldList) << n;
        EXPECT_EQ(readBytes(ini), oldIni) << n;
        EXPECT_EQ(readBytes(index), oldIndex) << n;
        EXPECT_EQ(leftovers(), QStringList());
        ASSERT_EQ(t.messages.shown.size(), 1) << n;
        EXPECT_EQ(t.messages.shown[0].text, "Fehler - Kann Liste nicht speichern: " + list);
        const QStringList log = t.logLines();
        EXPECT_TRUE(log.contains("ListeSpeichern: Konnte Datei nicht schreiben: " + list + " (write: " + full + ")"))
            << qPrintable(log.join('\n'));
        EXPECT_TRUE(log.contains("SaveSettings: Konnte Datei nicht schreiben: " + ini + " (write: " + full + ")"));
        EXPECT_TRUE(
            log.contains("WriteTrashIndex: Konnte Datei nicht schreiben: " + index + " (write: " + full + ")"));

        // With room again the next quit writes everything.
        disk->makeRoom();
        k().shell.SaveAtExit();
        EXPECT_GT(readBytes(list).size(), oldList.size());
        EXPECT_TRUE(readBytes(ini).contains("TrashMax = 40"));
        EXPECT_TRUE(readBytes(index).contains("\r\n" + QByteArray::number(n) + " = "));
        EXPECT_EQ(leftovers(), QStringList());
    }
}

TEST_F(FullDisk, ANewFileThatCannotBeWrittenIsNotLeftEmpty) {
    disk->fill();
    QString why;
    EXPECT_FALSE(writeFileAtomically(data + "neu.txt", QByteArray(10000, 'n'), &why));
    EXPECT_FALSE(QFile::exists(data + "neu.txt"));
    EXPECT_EQ(why, "write: " + QString::fromLocal8Bit(std::strerror(ENOSPC)));
    EXPECT_EQ(leftovers(), QStringList());
}

}  // namespace
