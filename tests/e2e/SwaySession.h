#pragma once
// A headless sway of this test alone: a real Wayland compositor without a
// screen or input devices. sway refuses to run as root, so a root test runs
// it as an unprivileged user it creates; its runtime folder holds the
// compositor's sockets.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

struct SwaySession {
    static constexpr const char* kUser = "kalvo2-sway";
    QTemporaryDir runtime;
    QProcess sway;
    QString ipc;
    QString why;  // why it is not up

    struct Window {
        QString name, appId;
        qint64 pid = 0;
        int x = 0, y = 0, width = 0, height = 0;
        bool focused = false;
    };

    SwaySession() {
        if (QStandardPaths::findExecutable("sway").isEmpty()) {
            why = "sway is not installed";
            return;
        }
        QStringList command;
        if (::geteuid() == 0) {
            if (!::getpwnam(kUser))
                QProcess::execute("useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser});
            const passwd* user = ::getpwnam(kUser);
            if (!user || ::chown(QFile::encodeName(runtime.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
                why = "cannot make the unprivileged user that sway needs";
                return;
            }
            command << "setpriv" << QStringLiteral("--reuid=%1").arg(user->pw_uid)
                    << QStringLiteral("--regid=%1").arg(user->pw_gid) << "--clear-groups" << "--";
        }
        // Windows that ask for the focus with a valid token get it on the
        // workspace in view, as on the common desktops.
        QFile config(runtime.path() + "/config");
        config.open(QIODevice::WriteOnly);
        config.write("output HEADLESS-1 resolution 1280x1024\nxwayland disable\nfocus_on_window_activation smart\n");
        config.close();
        config.setPermissions(config.permissions() | QFile::ReadOther);
        command << "env" << "-i" << "PATH=/usr/bin:/bin" << "XDG_RUNTIME_DIR=" + runtime.path()
                << "WLR_BACKENDS=headless" << "WLR_LIBINPUT_NO_DEVICES=1" << "WLR_RENDERER=pixman" << "sway" << "-c"
                << config.fileName();
        sway.setProcessChannelMode(QProcess::MergedChannels);
        sway.start(command.takeFirst(), command);
        for (int i = 0; i < 200 && ipc.isEmpty(); ++i) {
            QThread::msleep(100);
            const QStringList sockets = QDir(runtime.path()).entryList({"sway-ipc.*.sock"}, QDir::System);
            if (!sockets.isEmpty() && QFileInfo::exists(display())) ipc = runtime.path() + "/" + sockets.first();
        }
        if (ipc.isEmpty()) why = "sway did not start: " + QString::fromLocal8Bit(sway.readAll()).right(400);
    }
    ~SwaySession() {
        sway.terminate();
        if (!sway.waitForFinished(5000)) sway.kill();
        sway.waitForFinished();
    }
    bool up() const { return !ipc.isEmpty(); }
    QString display() const { return runtime.path() + "/wayland-1"; }

    QByteArray swaymsg(const QStringList& args) const {
        QProcess p;
        p.start("swaymsg", QStringList{"-s", ipc} + args);
        p.waitForFinished(20000);
        return p.readAllStandardOutput();
    }
    // The windows on screen, from the compositor's tree.
    QVector<Window> windows() const {
        QVector<Window> out;
        collect(QJsonDocument::fromJson(swaymsg({"-t", "get_tree"})).object(), out);
        return out;
    }
    // The first window of pid titled title, within timeoutMs.
    Window waitForWindow(qint64 pid, const QString& title, int timeoutMs = 30000) const {
        for (int waited = 0; waited < timeoutMs; waited += 100) {
            for (const Window& w : windows())
                if (w.pid == pid && w.name == title) return w;
            QThread::msleep(100);
        }
        return {};
    }

private:
    static void collect(const QJsonObject& node, QVector<Window>& out) {
        if (node.contains("pid")) {
            const QJsonObject r = node["rect"].toObject();
            out.append({node["name"].toString(), node["app_id"].toString(), node["pid"].toInteger(),
                        r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt(),
                        node["focused"].toBool()});
        }
        for (const char* key : {"nodes", "floating_nodes"})
            for (const QJsonValue& child : node[key].toArray()) collect(child.toObject(), out);
    }
};
