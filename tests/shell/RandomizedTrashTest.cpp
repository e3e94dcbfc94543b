#include "fixtures/TrashFixture.h"

#include <iostream>
#include <random>

namespace {

// Many deletes, restores, undos, TrashMax changes, failures and restarts in
// random order. After every step each song is at its origin, in the trash
// folder, or was removed by the surplus rule, and the count adds up; an undo
// brings back the newest delete of this run that is still in the trash.
class RandomizedTrash : public TrashFixture {
protected:
    static constexpr int kSongs = 14;
    CrossDeviceFileOps files;
    std::mt19937 rng;
    int surplusRemoved = 0, restored = 0, trashed = 0, restarts = 0, undone = 0, nothingToUndo = 0;
    QSet<int> lost;
    // This run's deletes, oldest first: the trash entry's identity and the song.
    QVector<QPair<QString, int>> undoModel;

    static int songOf(const QByteArray& content) {
        return content.startsWith("song-") ? content.mid(5).toInt() : -1;
    }
    QSet<QString> entryIds() {
        QSet<QString> s;
        for (const TrashEntry& e : k().trash.TrashList) s.insert(e.trashPath + "|" + QString::number(e.deletedAt));
        return s;
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    void restart() {
        rebuildKalvo(t, files);
        undoModel.clear();
        k().library.pathList.append(music() + "/");
        k().actions.CheckTrashFolder();
        k().library.ListeAbgleichen();
    }

    // Song number -> where it is found, from the contents of both folders.
    QMap<int, int> census(bool& partials) {
        QMap<int, int> found;
        partials = false;
        for (const QString& folder : {music() + "/", trash()}) {
            for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
                if (isPartialCopyName(name)) partials = true;
                if (name == Trash::indexFileName()) continue;
                const QByteArray c = readFile(folder + name);
                if (c.startsWith("song-")) found[c.mid(5).toInt()]++;
            }
        }
        return found;
    }

    QSet<QString> trashFileSet() {
        QSet<QString> s;
        for (const QString& n : trashFiles()) s.insert(readFile(trash() + n));
        return s;
    }

    void run(unsigned seed) {
        rng.seed(seed);
        for (int i = 0; i < kSongs; ++i)
            writeFile(music() + QStringLiteral("/S%1.mp3").arg(i, 2, 10, QLatin1Char('0')),
                      "song-" + QByteArray::number(i));
        restart();
        for (int step = 0; step < 300; ++step) {
            const QSet<QString> trashBefore = trashFileSet();
            const int listBefore = k().trash.TrashList.size();
            const int max = k().trash.effectiveTrashMax();
            files.failCopy = false;
            files.failRemove = false;
            files.removeRefused.clear();
            files.crossDevice = pick(2);
            t.clock.advance(1000 * pick(3));  // sometimes equal times

            const int op = pick(100);
            bool deleting = false, undid = false;
            QString what;
            if (op < 50) {
                deleting = true;
                SongList& list = k().library.songList;
                if (list.size() > 0 && pick(2)) load(pick(list.size()));
                if (pick(10) == 0) files.failCopy = true;
                if (pick(10) == 0) files.failRemove = true;
                what = QStringLiteral("delete");
                const QSet<QString> idsBefore = entryIds();
                k().actions.DeleteCurrentSong(pick(2));
                if (t.messages.errorBeeps == 0) {
                    ++trashed;
                    EXPECT_LE(k().trash.TrashList.size(), max);
                    for (const TrashEntry& e : k().trash.TrashList)
                        if (!idsBefore.contains(e.trashPath + "|" + QString::number(e.deletedAt)))
                            undoModel.append({e.trashPath + "|" + QString::number(e.deletedAt),
                                              songOf(readFile(e.trashPath))});
                }
            } else if (op < 66) {
                QList<int32_t> keys;
                for (const TrashEntry& e : k().trash.TrashList)
                    if (pick(2)) keys << e.randomKey;
                if (pick(8) == 0) files.failCopy = true;
                what = QStringLiteral("restore");
                restored += k().actions.RestoreSelected(keys).restored;
            } else if (op < 78) {
                what = QStringLiteral("undo");
                const QSet<QString> inTrash = entryIds();
                while (!undoModel.isEmpty() && !inTrash.contains(undoModel.last().first)) undoModel.removeLast();
                const int listBeforeUndo = int(k().trash.TrashList.size());
                if (pick(6) == 0) files.failCopy = true;
                const int asterisks = t.messages.asteriskBeeps;
                undid = k().actions.UndoLastDelete();
                if (undid) {
                    ++undone;
                    ASSERT_FALSE(undoModel.isEmpty()) << "undo without a delete of this run, step " << step;
                    const QString now = k().playback.currentSong;
                    EXPECT_TRUE(now.startsWith(music() + "/")) << now.toStdString();
                    EXPECT_EQ(songOf(readFile(now)), undoModel.last().second) << "step " << step;
                    EXPECT_EQ(k().trash.TrashList.size(), listBeforeUndo - 1);
                    undoModel.removeLast();
                } else if (t.messages.asteriskBeeps > asterisks) {
                    ++nothingToUndo;
                    EXPECT_TRUE(undoModel.isEmpty()) << "step " << step;
                    EXPECT_EQ(k().trash.TrashList.size(), listBeforeUndo);
                } else {
                    EXPECT_EQ(t.messages.errorBeeps, 1) << "step " << step;
                    EXPECT_TRUE(files.failCopy && files.crossDevice) << "step " << step;
                    EXPECT_EQ(k().trash.TrashList.size(), listBeforeUndo);
                    EXPECT_EQ(trashFileSet(), trashBefore);
                }
            } else if (op < 88) {
                const int values[] = {-3, 0, 1, 2, 3, 5, 40};
                k().settings.TrashMax = values[pick(7)];
                what = QStringLiteral("trashmax");
            } else {
                what = QStringLiteral("restart");
                restart();
                ++restarts;
            }

            bool partials = false;
            const QMap<int, int> found = census(partials);
            EXPECT_FALSE(partials) << what.toStdString() << " step " << step;
            QSet<int> nowLost;
            for (int i = 0; i < kSongs; ++i)
                if (!found.contains(i)) nowLost.insert(i);
            const QSet<int> newlyLost = nowLost - lost;
            if (!deleting) {
                EXPECT_TRUE(newlyLost.isEmpty()) << what.toStdString() << " lost songs at step " << step;
            } else {
                EXPECT_LE(newlyLost.size(), std::max(0, listBefore - (max - 1))) << "step " << step;
                for (int i : newlyLost)
                    EXPECT_TRUE(trashBefore.contains("song-" + QString::number(i)))
                        << "song " << i << " vanished from outside the trash at step " << step;
            }
            EXPECT_TRUE((lost - nowLost).isEmpty()) << "a removed song came back?";
            surplusRemoved += newlyLost.size();
            lost = nowLost;
            ASSERT_EQ(found.size() + surplusRemoved, kSongs) << "step " << step;

            for (int i = 1; i < k().trash.TrashList.size(); ++i)
                EXPECT_LE(k().trash.TrashList[i - 1].deletedAt, k().trash.TrashList[i].deletedAt);
            if (what != QLatin1String("trashmax") && what != QLatin1String("restart")) {
                for (const TrashEntry& e : k().trash.TrashList)
                    EXPECT_TRUE(QFileInfo(e.trashPath).isFile()) << e.trashPath.toStdString();
                // A failed delete or an undo that did nothing writes no index.
                if (!(deleting && t.messages.errorBeeps > 0) && !(what == QLatin1String("undo") && !undid))
                    EXPECT_EQ(indexValues().size(), k().trash.TrashList.size()) << what.toStdString();
            }
            t.messages.errorBeeps = 0;
            if (found.isEmpty()) break;
        }
        // The run must have exercised the paths it claims to check.
        EXPECT_GT(trashed, 20);
        EXPECT_GT(restored, 5);
        EXPECT_GT(restarts, 5);
        EXPECT_GT(surplusRemoved, 0);
        EXPECT_GT(undone, 5);
        EXPECT_GT(nothingToUndo, 0);
        std::cout << "deletes " << trashed << ", restored " << restored << ", undone " << undone
                  << " (nothing to undo " << nothingToUndo << "), restarts " << restarts
                  << ", removed by the surplus rule " << surplusRemoved << "\n";
    }
};

TEST_F(RandomizedTrash, NoSongIsEverLostSeed1) { run(1); }
TEST_F(RandomizedTrash, NoSongIsEverLostSeed2) { run(2); }
TEST_F(RandomizedTrash, NoSongIsEverLostSeed3) { run(20261208); }

}  // namespace
