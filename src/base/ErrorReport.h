#pragma once
#include <QString>
#include <cstdint>

// The fatal error report. Installed first at start-up: a fault (SIGSEGV,
// SIGFPE, SIGILL, SIGBUS, SIGABRT) hands the faulting address to a fresh,
// detached process of this program (--crash-report), which shows the report
// once the faulting process is gone; the faulting process saves nothing and
// ends at once with a non-zero exit code, so its windows, grabs, screensaver
// suspension and lock do not outlive the fault.
// Main thread; call once, before other threads start.
void InstallErrorReport(const char* programPath);

// The line errorReportText takes when no program to tell source lines
// (addr2line, from binutils) is installed.
constexpr int NoLineTool = -1;

// "Error at line N\r\nError number: C\r\nError description: D"; for
// NoLineTool the first line says that addr2line is missing.
QString errorReportText(int line, int32_t faultCode);
// The description of a fault code ("Unknown error code" for others).
QString faultDescription(int32_t faultCode);

// The fault code of a signal and its si_code (SIGSEGV -> C0000005, integer
// division by zero -> C0000094, ...). stackFault: a SIGSEGV next to the
// stack pointer, reported as a stack overflow.
int32_t faultCodeForSignal(int signal, int siCode, bool stackFault = false);

// The exit code of a process that ended on a fault signal: 128 + signal.
inline int crashExitCode(int signal) { return 128 + signal; }
