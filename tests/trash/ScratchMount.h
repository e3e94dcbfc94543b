#pragma once
// Real file systems mounted for a test: FAT32 and exFAT images (the kernel's
// driver where it has one, else FUSE), and tmpfs that can be made read-only.
// Mounting needs root; each mount says why it could not be made, so the test
// can skip with that reason. Unmounted again when the object goes.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <unistd.h>

class ScratchMount {
public:
    enum class Kind { Fat32, Exfat, Tmpfs };

    ScratchMount(Kind kind, const QString& image, const QString& point)
        : kind(kind), image(image), point(point) {
        QDir().mkpath(point);
        if (::geteuid() != 0) {
            why = QStringLiteral("mounting needs root");
            return;
        }
        if (kind == Kind::Tmpfs) {
            mounted = run("mount", {"-t", "tmpfs", "-o", "size=16m", "kalvo-test", point});
            if (!mounted) why = QStringLiteral("mount -t tmpfs failed");
            return;
        }
        const QString mkfs = kind == Kind::Fat32 ? QStringLiteral("mkfs.vfat") : QStringLiteral("mkfs.exfat");
        if (!tool(mkfs)) {
            why = mkfs + QStringLiteral(" not found (dosfstools / exfatprogs)");
            return;
        }
        QFile img(image);
        if (!img.open(QIODevice::WriteOnly) || !img.resize(64 << 20)) {
            why = QStringLiteral("cannot make the image ") + image;
            return;
        }
        img.close();
        if (!run(mkfs, kind == Kind::Fat32 ? QStringList{"-F", "32", image} : QStringList{image})) {
            why = mkfs + QStringLiteral(" failed");
            return;
        }
        attach();
    }
    ~ScratchMount() {
        detach();
        QDir().rmdir(point);
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool ok() const { return mounted; }
    QString reason() const { return why; }
    QString how() const { return driver; }
    static QString name(Kind kind) {
        return kind == Kind::Fat32 ? QStringLiteral("FAT32") : kind == Kind::Exfat ? QStringLiteral("exFAT")
                                                                                   : QStringLiteral("tmpfs");
    }

    // Pulls the stick: the mount point stays as a bare folder.
    bool unplug() {
        detach();
        return !mounted;
    }
    // Plugs the same image in again at the same place.
    bool plugIn() {
        if (kind == Kind::Tmpfs) return false;  // its files went with the unmount
        attach();
        return mounted;
    }
    bool makeReadOnly() { return run("mount", {"-o", "remount,ro", point}); }

private:
    Kind kind;
    QString image, point, why, driver, loop;
    bool mounted = false;

    static bool tool(const QString& name) {
        return !QStandardPaths::findExecutable(name).isEmpty() ||
               !QStandardPaths::findExecutable(name, {"/sbin", "/usr/sbin"}).isEmpty();
    }
    static bool run(const QString& program, const QStringList& args) {
        QProcess p;
        // FUSE drivers go on chattering after they detach into the background.
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(program, args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return false;
        }
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    static QString output(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(60000);
        return p.exitCode() == 0 ? QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed() : QString();
    }

    void attach() {
        const QString type = kind == Kind::Fat32 ? QStringLiteral("vfat") : QStringLiteral("exfat");
        if (run("mount", {"-t", type, "-o", "loop", image, point})) {
            mounted = true;
            driver = QStringLiteral("kernel ") + type;
            return;
        }
        if (kind == Kind::Fat32) {
            if (tool("fusefat") && run("fusefat", {"-o", "rw+", image, point})) {
                mounted = true;
                driver = QStringLiteral("fusefat");
                return;
            }
            why = QStringLiteral("no vfat driver in the kernel and fusefat did not mount");
            return;
        }
        // exfat-fuse wants a block device.
        if (tool("mount.exfat-fuse")) {
            loop = output("losetup", {"-f", "--show", image});
            if (!loop.isEmpty() && run("mount.exfat-fuse", {loop, point})) {
                mounted = true;
                driver = QStringLiteral("exfat-fuse");
                return;
            }
            if (!loop.isEmpty()) run("losetup", {"-d", loop});
            loop.clear();
        }
        why = QStringLiteral("no exfat driver in the kernel and exfat-fuse did not mount");
    }
    void detach() {
        if (!mounted) return;
        const bool fuse = driver.startsWith(QLatin1String("fuse")) || driver == QLatin1String("exfat-fuse");
        ::sync();
        mounted = !(fuse ? run("fusermount", {"-u", point}) : run("umount", {point}));
        if (mounted) mounted = !run("umount", {"-l", point});
        if (!loop.isEmpty()) {
            run("losetup", {"-d", loop});
            loop.clear();
        }
    }
};
