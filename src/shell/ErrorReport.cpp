#include "shell/ErrorReport.h"

void InstallErrorReport(const char*) {}
QString errorReportText(int, int32_t) { return {}; }
QString faultDescription(int32_t) { return {}; }
