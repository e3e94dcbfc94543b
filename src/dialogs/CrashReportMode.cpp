#include "dialogs/CrashReportMode.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

#include "base/AtomicFile.h"
#include "base/ErrorReport.h"
#include "dialogs/ProgramIcon.h"
#include "platform/QtMessages.h"

int sourceLineOf(const QString& programFile, uint64_t address) {
    // The package only recommends binutils: without it the report says so.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("addr2line"));
    if (tool.isEmpty()) return NoLineTool;
    QProcess p;
    p.start(tool, {QStringLiteral("-e"), programFile, QStringLiteral("0x") + QString::number(address, 16)});
    if (!p.waitForStarted(30000)) return NoLineTool;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return 0;
    }
    // "file:line" or "file:line (discriminator n)"; "??:0" or "??:?" when unknown.
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    static const QRegularExpression lineNo(QStringLiteral(":(\\d+)(?: \\(discriminator \\d+\\))?\\s*$"));
    const QRegularExpressionMatch m = lineNo.match(out);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

int runCrashReportMode(int argc, char** argv) {
    if (argc < 2 || qstrcmp(argv[1], "--crash-report") != 0) return -1;
    const int32_t code = argc > 2 ? int32_t(QByteArray(argv[2]).toUInt(nullptr, 0)) : 0;
    const uint64_t address = argc > 3 ? QByteArray(argv[3]).toULongLong(nullptr, 0) : 0;
    QString program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (program.isEmpty()) program = QString::fromLocal8Bit(argv[0]);
    const QString text = errorReportText(sourceLineOf(program, address), code);

    const QByteArray reportFile = qgetenv("KALVO2_CRASH_REPORT_FILE");
    if (!reportFile.isEmpty()) {
        // Whole or not at all: whoever waits for the file sees the full report.
        writeFileAtomically(QString::fromLocal8Bit(reportFile), text.toUtf8());
        return 1;
    }
    std::unique_ptr<QApplication> app;
    static int appArgc = 1;
    if (!QCoreApplication::instance()) app = std::make_unique<QApplication>(appArgc, argv);
    QApplication::setWindowIcon(programIcon());
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kalvo2 Meldung"), text, QMessageBox::Ok);
    widenForTitle(box);
    // Seen first: above every other window, with the focus.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
    return 1;
}
