#pragma once

// When the program was started as "kalvo2 --crash-report ...", shows the
// error report box and returns the exit code to end with; otherwise -1.
int runCrashReportMode(int argc, char** argv);
