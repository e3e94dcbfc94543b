#pragma once
#include <QString>
#include <cstdint>

// The fatal error report. Installed first at start-up: a fault (SIGSEGV,
// SIGFPE, SIGILL, SIGBUS, SIGABRT) hands the faulting address to a fresh
// process of this program (--crash-report), which shows the report; the
// faulting process saves nothing and ends with a non-zero exit code.
void InstallErrorReport(const char* programPath);

// "Error at line N\r\nError number: C\r\nError description: D".
QString errorReportText(int line, int32_t faultCode);
// The description of a fault code ("Unknown error code" for others).
QString faultDescription(int32_t faultCode);
