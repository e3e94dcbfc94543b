#include "dialogs/CrashReportMode.h"

int runCrashReportMode(int, char**) { return -1; }
