#pragma once
#include <QString>
#include <cstdint>

// When the program was started as "kalvo2 --crash-report <code> <address>"
// (both hexadecimal, the address relative to the program's load base),
// shows the error report box titled "Kalvo2 Meldung" above every other
// window and returns the exit
// code to end with (non-zero); otherwise -1. Blocks until OK is pressed.
// With KALVO2_CRASH_REPORT_FILE set, writes the report text (UTF-8) to that
// file instead of showing the box.
int runCrashReportMode(int argc, char** argv);

// The source line of an address in the program file (addr2line); 0 when
// it cannot be told, NoLineTool when addr2line is not installed. Blocks
// while addr2line runs.
int sourceLineOf(const QString& programFile, uint64_t address);
