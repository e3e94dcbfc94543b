// Opening a folder where no program takes folders is a failure the caller
// hears about, not a success.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "platform/QtDesktop.h"

namespace {

// Sets or removes environment variables for the life of the guard.
class EnvironmentGuard {
public:
    void set(const char* name, const QByteArray& value) { save(name); qputenv(name, value); }
    void unset(const char* name) { save(name); qunsetenv(name); }
    ~EnvironmentGuard() {
        for (const auto& [name, old] : saved)
            old.second ? qputenv(name.constData(), old.first) : qunsetenv(name.constData());
    }

private:
    QList<std::pair<QByteArray, std::pair<QByteArray, bool>>> saved;
    void save(const char* name) { saved.append({name, {qgetenv(name), qEnvironmentVariableIsSet(name)}}); }
};

}  // namespace

TEST(FolderOpener, NoProgramForFoldersIsReportedLaterWithTheReason) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        GTEST_SKIP() << "xdg-open is not installed (xdg-utils, tools/packages.txt)";
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QGuiApplication>(argc, argv);

    // A session with no desktop, no file manager set up and no browser.
    QTemporaryDir empty, folder;
    EnvironmentGuard env;
    for (const char* name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "DISPLAY", "WAYLAND_DISPLAY"})
        env.unset(name);
    for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
        env.set(name, empty.path().toLocal8Bit());
    env.set("BROWSER", "kalvo2-test-no-such-browser");

    QtDesktop desktop;
    QString reason;
    bool told = false;
    QEventLoop loop;
    const bool started = desktop.openFolder(folder.path(), [&](const QString& why) {
        told = true;
        reason = why;
        loop.quit();
    });
    ASSERT_TRUE(started) << desktop.lastError().toStdString();
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // only a guard against a hang
    loop.exec();
    EXPECT_TRUE(told) << "xdg-open found no program but nobody was told";
    EXPECT_EQ(reason, QStringLiteral("xdg-open: kein Programm für Ordner gefunden"));
}
