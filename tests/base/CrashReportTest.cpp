#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "base/PrefTestUtil.h"
#include "fakes/Fakes.h"
#include "base/ErrorReport.h"

namespace {

const QString kHelper = QStringLiteral(KALVO_BINARY_DIR "/tests/helpers/kalvo_crash_helper");
const QString kHelperSource = QStringLiteral(KALVO_SOURCE_DIR "/tests/base/helpers/CrashHelper.cpp");

// The line of the helper's source that carries "MARK:<name>".
int markedLine(const QString& name) {
    const QStringList lines = QString::fromUtf8(readBytes(kHelperSource)).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].endsWith(QStringLiteral("// MARK:") + name)) return i + 1;
    return -1;
}

struct Crash {
    int exitCode = -1;
    QStringList report;  // the report's lines
};

// path: the PATH the helper runs with, if not this process's.
Crash runHelper(const QString& mode, const QString& path = {}) {
    QTemporaryDir dir;
    const QString reportFile = dir.path() + QStringLiteral("/report.txt");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KALVO2_CRASH_REPORT_FILE"), reportFile);
    if (!path.isNull()) env.insert(QStringLiteral("PATH"), path);
    p.setProcessEnvironment(env);
    p.start(kHelper, {mode});
    Crash c;
    if (!p.waitForFinished(120000)) return c;
    c.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;  // -2: killed by the signal
    // The report comes from a process of its own, after the helper has gone.
    for (int i = 0; i < 1200 && !QFileInfo::exists(reportFile); ++i) QThread::msleep(100);
    c.report = QString::fromUtf8(readBytes(reportFile)).split(QStringLiteral("\r\n"));
    return c;
}

TEST(CrashReport, InvalidMemoryAccessNamesTheLineAndEndsWithFailure) {
    const Crash c = runHelper(QStringLiteral("null"));
    EXPECT_EQ(c.exitCode, 128 + SIGSEGV);
    ASSERT_EQ(c.report.size(), 3);
    EXPECT_EQ(c.report[0], QStringLiteral("Error at line %1").arg(markedLine(QStringLiteral("null"))));
    EXPECT_EQ(c.report[1], QStringLiteral("Error number: -1073741819"));
    EXPECT_EQ(c.report[2], QStringLiteral("Error description: Invalid memory access"));
}

TEST(CrashReport, IntegerDivisionByZero) {
    const Crash c = runHelper(QStringLiteral("div"));
    EXPECT_EQ(c.exitCode, 128 + SIGFPE);
    ASSERT_EQ(c.report.size(), 3);
    EXPECT_EQ(c.report[0], QStringLiteral("Error at line %1").arg(markedLine(QStringLiteral("div"))));
    EXPECT_EQ(c.report[1], QStringLiteral("Error number: -1073741676"));
    EXPECT_EQ(c.report[2], QStringLiteral("Error description: Division by zero "));
}

TEST(CrashReport, AbortInALibraryNamesTheCallingLine) {
    const Crash c = runHelper(QStringLiteral("abort"));
    EXPECT_EQ(c.exitCode, 128 + SIGABRT);
    ASSERT_EQ(c.report.size(), 3);
    EXPECT_EQ(c.report[0], QStringLiteral("Error at line %1").arg(markedLine(QStringLiteral("abort"))));
    EXPECT_EQ(c.report[2], QStringLiteral("Error description: Unknown error code"));
}

TEST(CrashReport, StackOverflowIsReportedFromTheAlternateStack) {
    const Crash c = runHelper(QStringLiteral("stack"));
    EXPECT_EQ(c.exitCode, 128 + SIGSEGV);
    ASSERT_EQ(c.report.size(), 3);
    // Any line of the recursing function: where the frame overflows depends
    // on the compiler.
    const int line = c.report[0].mid(QStringLiteral("Error at line ").size()).toInt();
    EXPECT_GE(line, markedLine(QStringLiteral("stack-begin"))) << c.report[0].toStdString();
    EXPECT_LE(line, markedLine(QStringLiteral("stack"))) << c.report[0].toStdString();
    EXPECT_EQ(c.report[2], QStringLiteral("Error description: Stack overflow"));
}

// binutils is only recommended: without addr2line the first line says what
// is missing instead of naming line 0.
TEST(CrashReport, WithoutAddr2lineTheFirstLineSaysWhatIsMissing) {
    QTemporaryDir noTools;
    const Crash c = runHelper(QStringLiteral("null"), noTools.path());
    EXPECT_EQ(c.exitCode, 128 + SIGSEGV);
    ASSERT_EQ(c.report.size(), 3);
    EXPECT_EQ(c.report[0], QStringLiteral("Error at line unknown: addr2line (package binutils) is not installed"));
    EXPECT_EQ(c.report[1], QStringLiteral("Error number: -1073741819"));
}

TEST(CrashReport, TextAndFaultTable) {
    EXPECT_EQ(errorReportText(12, int32_t(0xC0000005u)),
              QStringLiteral("Error at line 12\r\nError number: -1073741819\r\nError description: Invalid memory access"));
    EXPECT_EQ(faultDescription(int32_t(0xC0000091u)), QStringLiteral("Floating-point overflow (exponent to great)"));
    EXPECT_EQ(faultDescription(int32_t(0x80000002u)), QStringLiteral("Misaligned data access"));
    EXPECT_EQ(faultDescription(0), QStringLiteral("Unknown error code"));
    EXPECT_EQ(faultCodeForSignal(SIGFPE, FPE_FLTDIV), int32_t(0xC000008Eu));
    EXPECT_EQ(faultCodeForSignal(SIGBUS, BUS_ADRALN), int32_t(0x80000002u));
    EXPECT_EQ(faultCodeForSignal(SIGBUS, BUS_ADRERR), int32_t(0xC0000006u));
    EXPECT_EQ(faultCodeForSignal(SIGILL, ILL_ILLOPC), int32_t(0xC000001Du));
    EXPECT_EQ(faultDescription(faultCodeForSignal(SIGABRT, 0)), QStringLiteral("Unknown error code"));
}

}  // namespace
