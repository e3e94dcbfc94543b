#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <random>
#include <signal.h>

#include "PrefTestUtil.h"

namespace {

const QString kSaveLoop = QStringLiteral(KALVO_BINARY_DIR "/tests/helpers/kalvo_save_loop");
constexpr int kKeys = 3000;

// The exact bytes one complete save of generation gen holds.
QByteArray generation(int gen) {
    QByteArray out = written("[Kopf]\r\nGen = " + QByteArray::number(gen) + "\r\n[Daten]\r\n");
    const QByteArray value = " = " + QByteArray::number(gen) + "|Wert mit etwas Text\r\n";
    for (int i = 0; i < kKeys; ++i) out += "Schl\xC3\xBCssel" + QByteArray::number(i) + value;
    return out + "Ende = " + QByteArray::number(gen) + "\r\n";
}

// The generation a file holds when it is one complete save, else 0.
int completeGeneration(const QByteArray& bytes) {
    const int at = bytes.lastIndexOf("Ende = ");
    if (at < 0) return 0;
    const int gen = bytes.mid(at + 7).trimmed().toInt();
    return gen > 0 && bytes == generation(gen) ? gen : 0;
}

TEST(AtomicSave, KilledSavesLeaveTheOldOrTheNewFileNeverACutOne) {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/Kalvo2.ini");
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> waitUs(0, 40000);

    bool firstSaveSeen = false;
    int lastGen = 0, kills = 0;
    for (int round = 0; round < 200; ++round) {
        QProcess p;
        p.start(kSaveLoop, {file, QString::number(kKeys)});
        ASSERT_TRUE(p.waitForStarted(60000));
        if (!firstSaveSeen) {
            // Let the very first save finish so an old file always exists.
            QElapsedTimer t;
            t.start();
            while (!QFile::exists(file) && t.elapsed() < 60000) QThread::msleep(1);
            firstSaveSeen = true;
        }
        QThread::usleep(unsigned(waitUs(rng)));
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished(60000);
        ++kills;
        const QByteArray bytes = readBytes(file);
        ASSERT_FALSE(bytes.isEmpty()) << "round " << round;
        const int gen = completeGeneration(bytes);
        ASSERT_GT(gen, 0) << "cut file in round " << round << ", " << bytes.size() << " bytes";
        lastGen = gen;
    }
    EXPECT_EQ(kills, 200);
    EXPECT_GT(lastGen, 0);
}

}  // namespace
