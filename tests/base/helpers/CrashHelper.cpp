// Faults on purpose after installing the error report. The marker comments
// name the lines the crash test expects in the report. The faulting
// functions are kept from sanitizer checks, so that sanitizer builds see
// the real fault rather than a sanitizer report.
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "dialogs/CrashReportMode.h"
#include "base/ErrorReport.h"

#define KALVO_REAL_FAULT __attribute__((noinline, no_sanitize("undefined", "address")))

namespace {
volatile int gZero = 0;
int* volatile gNull = nullptr;

KALVO_REAL_FAULT void writeNull() {
    *gNull = 42;  // MARK:null
}

KALVO_REAL_FAULT int divideByZero() {
    return 100 / gZero;  // MARK:div
}

KALVO_REAL_FAULT int recurse(int depth) {  // MARK:stack-begin
    volatile char pad[4096];
    pad[0] = char(depth);
    return recurse(depth + 1) + pad[0];  // MARK:stack
}
}  // namespace

int main(int argc, char** argv) {
    const int report = runCrashReportMode(argc, argv);
    if (report >= 0) return report;
    InstallErrorReport(argv[0]);
    if (argc < 2) return 0;
    if (std::strcmp(argv[1], "null") == 0) {
        writeNull();
    } else if (std::strcmp(argv[1], "div") == 0) {
        return divideByZero();
    } else if (std::strcmp(argv[1], "abort") == 0) {
        std::abort();  // MARK:abort
    } else if (std::strcmp(argv[1], "stack") == 0) {
        return recurse(0);
    }
    return 0;
}
