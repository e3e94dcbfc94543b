// The player as a native Wayland client of a real compositor (headless
// sway): the stored window place survives a session there, and a second
// start brings the running player's window to the front with the
// launcher's activation token.
#include <gtest/gtest.h>

#include <QProcess>

#include "e2e/RemotePlayer.h"
#include "e2e/SwaySession.h"

using namespace remote;

namespace {

const QString kMainTitle = QStringLiteral(" Kalvo2 0.992");

// A player with songs and a stored place, as a native Wayland client of sway.
void prepareOn(RemotePlayer& p, const SwaySession& sway) {
    p.prepare({}, "[Window]\r\nWinX = 123\r\nWinY = 77\r\n");
    p.platform = "wayland";
    p.audioSink = "fakesink sync=false";
    qputenv("WAYLAND_DISPLAY", QFile::encodeName(sway.display()));
}

// A token of the compositor, as a launcher gets one for what it starts.
QByteArray activationToken(const SwaySession& sway) {
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("WAYLAND_DISPLAY", sway.display());
    helper.setProcessEnvironment(env);
    helper.start(QStringLiteral(KALVO_BINARY_DIR "/tests/helpers/kalvo_activation_token"), {});
    if (!helper.waitForFinished(20000) || helper.exitCode() != 0) return {};
    return helper.readAllStandardOutput().trimmed();
}

}  // namespace

TEST(Wayland, StoredPlaceKeptAndASecondStartRaisesTheWindow) {
    SwaySession sway;
    if (!sway.up()) GTEST_SKIP() << sway.why.toStdString();
    if (!QFileInfo::exists(KALVO_BINARY_DIR "/tests/helpers/kalvo_activation_token"))
        GTEST_SKIP() << "no Wayland development files: the token helper was not built";
    struct RestoreDisplay {
        QByteArray old = qgetenv("WAYLAND_DISPLAY");
        ~RestoreDisplay() { old.isEmpty() ? qunsetenv("WAYLAND_DISPLAY") : qputenv("WAYLAND_DISPLAY", old); }
    } restore;

    RemotePlayer first;
    prepareOn(first, sway);
    first.start();
    const SwaySession::Window main = sway.waitForWindow(first.process.processId(), kMainTitle);
    ASSERT_GT(main.width, 0) << "the player's window did not appear under sway";
    EXPECT_EQ(main.appId, "io.github.kalvo2.Kalvo2");

    // Another program's window takes the focus.
    RemotePlayer other;
    prepareOn(other, sway);
    other.start();
    ASSERT_GT(sway.waitForWindow(other.process.processId(), kMainTitle).width, 0);
    bool otherFocused = false;
    for (int i = 0; i < 100 && !otherFocused; ++i, QThread::msleep(100))
        for (const SwaySession::Window& w : sway.windows())
            otherFocused = otherFocused || (w.focused && w.pid == other.process.processId());
    ASSERT_TRUE(otherFocused);

    // A second start on the first player's folder, with the launcher's token.
    const QByteArray token = activationToken(sway);
    ASSERT_FALSE(token.isEmpty());
    qputenv("XDG_ACTIVATION_TOKEN", token);
    Player second;
    second.home = first.home;
    second.xdg = first.xdg;
    second.data = first.data;
    second.runtime = first.runtime;
    second.platform = "wayland";
    second.start();
    qunsetenv("XDG_ACTIVATION_TOKEN");
    ASSERT_TRUE(second.process.waitForFinished(60000));
    EXPECT_EQ(second.process.exitCode(), 0);
    bool firstFocused = false;
    for (int i = 0; i < 100 && !firstFocused; ++i, QThread::msleep(100))
        for (const SwaySession::Window& w : sway.windows())
            firstFocused = firstFocused || (w.focused && w.pid == first.process.processId());
    EXPECT_TRUE(firstFocused) << "the second start did not bring the window to the front";
    // A screenshot to look at, where asked for.
    if (!qEnvironmentVariableIsEmpty("KALVO2_TEST_SHOTS"))
        QProcess::execute("env", {"WAYLAND_DISPLAY=" + sway.display(), "grim",
                                  qEnvironmentVariable("KALVO2_TEST_SHOTS") + "/wayland-raise.png"});

    other.quit();
    first.quit();
    // Wayland tells no program where its windows are: what was stored stays.
    const QByteArray settings = first.settings();
    EXPECT_TRUE(settings.contains("WinX = 123\r\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("WinY = 77\r\n"));
}
