#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "fixtures/Fixtures.h"

namespace {

// An X server of its own (Xvfb picks a free display) and xdotool on it.
struct XServer {
    QProcess xvfb;
    QString display;

    bool start() {
        xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (!xvfb.waitForStarted(10000)) return false;
        for (int i = 0; i < 100 && display.isEmpty(); ++i) {
            xvfb.waitForReadyRead(200);
            const QString out = QString::fromLatin1(xvfb.readAllStandardOutput()).trimmed();
            if (!out.isEmpty()) display = QLatin1Char(':') + out;
        }
        return !display.isEmpty();
    }
    ~XServer() {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }

    QString xdo(const QStringList& args) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), args);
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    // The first visible window whose title matches, waiting up to 30 s.
    QString window(const QString& titleRegex, int waitMs = 30000) const {
        for (int waited = 0; waited <= waitMs; waited += 200) {
            const QString ids = xdo({"search", "--onlyvisible", "--name", titleRegex});
            if (!ids.isEmpty()) return ids.split(QLatin1Char('\n')).first();
            QThread::msleep(200);
        }
        return QString();
    }
    bool gone(const QString& titleRegex, int waitMs = 60000) const {
        for (int waited = 0; waited <= waitMs; waited += 200) {
            if (xdo({"search", "--onlyvisible", "--name", titleRegex}).isEmpty()) return true;
            QThread::msleep(200);
        }
        return false;
    }
    QRect geometry(const QString& id) const {
        const QString shell = xdo({"getwindowgeometry", "--shell", id});
        auto value = [&](const char* key) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("%1=(-?\\d+)").arg(QLatin1String(key))).match(shell);
            return m.captured(1).toInt();
        };
        return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
    }
    void click(int x, int y, int repeat = 1, int button = 1) const {
        xdo({"mousemove", "--sync", QString::number(x), QString::number(y)});
        QThread::msleep(150);
        xdo({"click", "--repeat", QString::number(repeat), "--delay", "120", QString::number(button)});
        QThread::msleep(300);
    }
    void key(const QString& name) const {
        xdo({"key", name});
        QThread::msleep(300);
    }
    // A picture of the screen into the folder KALVO_E2E_SHOTS names, if set.
    void screenshot(const QString& name) const {
        const QString folder = qEnvironmentVariable("KALVO_E2E_SHOTS");
        if (folder.isEmpty()) return;
        const QString path = folder + QLatin1Char('/') + name;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("import"), {"-window", "root", path});
        p.waitForFinished(20000);
    }
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 capturedBytes(const QString& folder) {
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) total += it.nextFileInfo().size();
    return total;
}

}  // namespace

// The real player on a real X server, driven with the mouse and keys: a
// folder added in "Liste → Bearbeiten" is scanned, saved and its song plays;
// a list double-clicked in the ">" panel becomes the current list.
TEST(ListEditE2E, FolderAddedInTheWindowPlaysAndAPanelListBecomesCurrent) {
    XServer x;
    ASSERT_TRUE(x.start()) << "Xvfb did not start";
    QTemporaryDir temp;
    const QString home = temp.path() + "/home", xdg = temp.path() + "/xdg";
    const QString data = xdg + "/Kalvo2/", source = temp.path() + "/Quelle/";
    const QString capture = temp.path() + "/capture/";
    QDir().mkpath(home);
    QDir().mkpath(capture);
    writeFile(source + "Musik/lied.wav", fixtures::wavTone(1.0, 440.0, 0.5, 44100, 2));
    writeFile(temp.path() + "/Andere/anders.wav", fixtures::wavTone(0.5));
    writeFile(data + "Kalvo2.ini", "\xEF\xBB\xBF\r\n[Generell]\r\nLetzteListenDatei = " + (data + "Meine.txt").toUtf8() +
                                       "\r\nLetzterPfad = " + source.toUtf8() + "\r\n");
    writeFile(data + "Meine.txt", "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 50\r\n");
    writeFile(data + "Andere.txt",
              "\xEF\xBB\xBF\r\n[Kalvo]\r\nLautstaerke = 40\r\n[Pfade]\r\n0 = " + (temp.path() + "/Andere/").toUtf8() + "\r\n");

    QProcess player;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", xdg);
    env.insert("XDG_RUNTIME_DIR", temp.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DISPLAY", x.display);
    env.insert("KALVO2_AUDIO_SINK", "multifilesink location=\"" + capture + "buf%06d\"");
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(QStringLiteral(KALVO_BINARY_DIR "/src/kalvo2"), {});
    ASSERT_TRUE(player.waitForStarted(30000));

    const QString mainId = x.window(QStringLiteral("^ Kalvo2 0.992$"));
    ASSERT_FALSE(mainId.isEmpty()) << "no main window";
    QThread::msleep(1000);
    const QRect main = x.geometry(mainId);
    const int clientTop = main.bottom() + 1 - 180;  // the menu bar lies above the client area

    // "Liste → Bearbeiten": open "Datei", step right to "Liste", take its first item.
    x.click(main.x() + 15, main.y() + (clientTop - main.y()) / 2);
    x.key("Right");
    x.key("Return");
    const QString editId = x.window(QStringLiteral("^Kalvo2 Liste bearbeiten$"), 10000);
    x.screenshot("listedit-menu.png");
    ASSERT_FALSE(editId.isEmpty()) << "the list edit window did not open";
    const QRect edit = x.geometry(editId);
    // The explorer shows the folder of LetzterPfad: "..", "Musik". Focus it
    // on its empty part and pick "Musik" by typing its name.
    x.click(edit.x() + 480, edit.y() + 200);
    x.xdo({"type", "--delay", "100", "Musik"});
    QThread::msleep(300);
    x.screenshot("listedit-window.png");
    x.click(edit.x() + 317, edit.y() + 75);   // "<<"
    x.click(edit.x() + 320, edit.y() + 347);  // "OK"
    ASSERT_TRUE(x.gone(QStringLiteral("^Kalvo2 Liste bearbeiten$")));

    const QString list = QString::fromUtf8(readFile(data + "Meine.txt"));
    EXPECT_TRUE(list.contains("[Pfade]\r\n0 = " + source + "Musik/\r\n")) << list.toStdString();
    EXPECT_TRUE(list.contains("0 = " + source + "Musik/lied.wav|")) << list.toStdString();

    x.click(main.x() + 30, clientTop + 117);  // "Spielen"
    qint64 bytes = 0;
    for (int i = 0; i < 100 && bytes < 150000; ++i) {
        QThread::msleep(200);
        bytes = capturedBytes(capture);
    }
    EXPECT_GE(bytes, 150000) << "the song did not play through the sound output";

    // ">" opens the panel; "Andere.txt" is its first row.
    x.click(main.x() + 387, clientTop + 15);
    QThread::msleep(500);
    EXPECT_EQ(x.geometry(mainId).width(), main.width() + 210);
    x.screenshot("listedit-panel.png");
    x.click(main.x() + 450, clientTop + 29, 2);
    QThread::msleep(1500);

    ::kill(pid_t(player.processId()), SIGTERM);
    ASSERT_TRUE(player.waitForFinished(60000));
    EXPECT_EQ(player.exitCode(), 0);
    EXPECT_TRUE(readFile(data + "Kalvo2.ini").contains(("LetzteListenDatei = " + data + "Andere.txt\r\n").toUtf8()));
    EXPECT_TRUE(readFile(data + "Andere.txt").contains("anders.wav|"));
}
