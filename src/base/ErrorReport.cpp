#include "base/ErrorReport.h"

#include <execinfo.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <cstring>

namespace {

struct FaultName {
    uint32_t code;
    const char* text;
};

constexpr FaultName kFaults[] = {
    {0xC0000005u, "Invalid memory access"},
    {0xC000008Cu, "Array bounds exceeded"},
    {0x80000003u, "Debugger breakpoint reached"},
    {0x80000002u, "Misaligned data access"},
    {0xC000008Du, "Denormal floating-point operand"},
    {0xC000008Eu, "Division by zero (floating-point)"},
    {0xC000008Fu, "Inexact floating-point result"},
    {0xC0000090u, "Invalid floating-point operation"},
    {0xC0000091u, "Floating-point overflow (exponent to great)"},
    {0xC0000092u, "Floating-point stack overflow or underflow"},
    {0xC0000093u, "Floating-point underflow (exponent too small)"},
    {0xC000001Du, "Illegal instruction"},
    {0xC0000006u, "Memory page error"},
    {0xC0000094u, "Division by zero "},
    {0xC0000095u, "Integer overflow"},
    {0xC0000026u, "Exception handler returned unknown value"},
    {0xC0000025u, "Exception handler tried to continue after non-continuable exception"},
    {0xC0000096u, "Privileged instruction"},
    {0x80000004u, "Single step trap"},
    {0xC00000FDu, "Stack overflow"},
};

// A failed assertion or abort(): not in the table, shown as unknown.
constexpr uint32_t kAbortCode = 0xC0000409u;

constexpr int kSignals[] = {SIGSEGV, SIGFPE, SIGILL, SIGBUS, SIGABRT};

// Everything the handler needs, prepared at install time.
struct Ranges {
    uintptr_t begin[16];
    uintptr_t end[16];
    int count = 0;
};
uintptr_t gLoadBase = 0;
// The lowest address of the main thread's stack; 0 when unknown.
uintptr_t gStackLow = 0;
Ranges gExec;
alignas(16) char gAltStack[128 * 1024];
std::atomic<int> gHandling{0};
char gProgramPath[4096];  // fallback when /proc/self/exe cannot be started

int collectMainProgram(dl_phdr_info* info, size_t, void*) {
    // The first object reported is the program itself.
    gLoadBase = info->dlpi_addr;
    for (int i = 0; i < info->dlpi_phnum && gExec.count < 16; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X)) continue;
        gExec.begin[gExec.count] = info->dlpi_addr + ph.p_vaddr;
        gExec.end[gExec.count] = info->dlpi_addr + ph.p_vaddr + ph.p_memsz;
        ++gExec.count;
    }
    return 1;
}

bool inProgram(uintptr_t a) {
    for (int i = 0; i < gExec.count; ++i)
        if (a >= gExec.begin[i] && a < gExec.end[i]) return true;
    return false;
}

char* putHex(char* out, uint64_t v) {
    char tmp[17];
    int n = 0;
    do {
        tmp[n++] = "0123456789abcdef"[v & 15];
        v >>= 4;
    } while (v);
    *out++ = '0';
    *out++ = 'x';
    while (n) *out++ = tmp[--n];
    *out++ = 0;
    return out;
}

void onFault(int sig, siginfo_t* info, void* context) {
    if (gHandling.exchange(1)) {
        for (;;) pause();  // another thread reports already
    }
    auto* uc = static_cast<ucontext_t*>(context);
    uintptr_t pc = 0, sp = 0;
#if defined(__x86_64__)
    pc = uintptr_t(uc->uc_mcontext.gregs[REG_RIP]);
    sp = uintptr_t(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__aarch64__)
    pc = uintptr_t(uc->uc_mcontext.pc);
    sp = uintptr_t(uc->uc_mcontext.sp);
#endif
    if (!inProgram(pc)) {
        // Faulted inside a library (abort, memcpy, ...): report our call site.
        // The frames run: this handler (and maybe a sanitizer's wrapper), the
        // signal trampoline, the interrupted instruction, the library, then
        // the program's caller.
        void* frames[64];
        const int n = backtrace(frames, 64);
        int i = 0;
        while (i < n && uintptr_t(frames[i]) != pc) ++i;
        if (i == n) {  // the interrupted instruction is not listed: skip the handler
            i = 0;
            while (i < n && inProgram(uintptr_t(frames[i]))) ++i;
        }
        while (i < n && !inProgram(uintptr_t(frames[i]))) ++i;
        if (i < n) pc = uintptr_t(frames[i]) - 1;  // a return address: step back into the call
    }
    const uintptr_t fa = uintptr_t(info->si_addr);
    // A fault next to the stack pointer, or in the guard area below the main
    // thread's stack (a frame may move the pointer far before it touches it).
    const bool nearStackLimit = gStackLow != 0 && fa + (1u << 20) >= gStackLow && fa <= gStackLow + 65536;
    const bool stackFault = sig == SIGSEGV && ((fa <= sp + 256 && fa + 65536 >= sp) || nearStackLimit);
    const uint32_t code = uint32_t(faultCodeForSignal(sig, info->si_code, stackFault));

    char codeText[24], addrText[24];
    putHex(codeText, code);
    putHex(addrText, uint64_t(pc - gLoadBase));
    char flag[] = "--crash-report";
    char self[] = "/proc/self/exe";
    char* argv[] = {self, flag, codeText, addrText, nullptr};

    // The report is shown by a process of its own, and this one ends at
    // once: its windows (the black screen above all), key grabs, screensaver
    // suspension, lock and socket go with it, and a new start finds the
    // data folder free. The report process waits until this one is gone and
    // keeps none of its descriptors.
    const pid_t crashed = getpid();
    const pid_t child = _Fork();
    if (child == 0) {
        setsid();
        syscall(SYS_close_range, 3u, ~0u, 0u);
        const timespec tenMs{0, 10 * 1000 * 1000};
        for (int i = 0; i < 500 && getppid() == crashed; ++i) nanosleep(&tenMs, nullptr);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(self, argv);
        if (gProgramPath[0]) execv(gProgramPath, argv);
        _exit(127);
    }
    _exit(crashExitCode(sig));
}

}  // namespace

void InstallErrorReport(const char* programPath) {
    // The report process is started from /proc/self/exe, else from programPath.
    gProgramPath[0] = 0;
    if (programPath && std::strlen(programPath) < sizeof gProgramPath) std::strcpy(gProgramPath, programPath);
    gExec.count = 0;
    dl_iterate_phdr(collectMainProgram, nullptr);
    {
        void* warm[2];
        backtrace(warm, 2);  // loads the unwinder now, not inside the handler
    }
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* low = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &low, &size) == 0) gStackLow = uintptr_t(low);
        pthread_attr_destroy(&attr);
    }
    stack_t ss{};
    ss.ss_sp = gAltStack;
    ss.ss_size = sizeof gAltStack;
    sigaltstack(&ss, nullptr);
    struct sigaction sa{};
    sa.sa_sigaction = onFault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals) sigaddset(&sa.sa_mask, s);
    for (int s : kSignals) sigaction(s, &sa, nullptr);
}

int32_t faultCodeForSignal(int signal, int siCode, bool stackFault) {
    uint32_t c = kAbortCode;
    switch (signal) {
    case SIGSEGV:
        c = stackFault ? 0xC00000FDu : 0xC0000005u;
        break;
    case SIGFPE:
        switch (siCode) {
        case FPE_INTDIV: c = 0xC0000094u; break;
        case FPE_INTOVF: c = 0xC0000095u; break;
        case FPE_FLTDIV: c = 0xC000008Eu; break;
        case FPE_FLTOVF: c = 0xC0000091u; break;
        case FPE_FLTUND: c = 0xC0000093u; break;
        case FPE_FLTRES: c = 0xC000008Fu; break;
        case FPE_FLTSUB: c = 0xC000008Cu; break;
        default: c = 0xC0000090u; break;
        }
        break;
    case SIGILL:
        c = (siCode == ILL_PRVOPC || siCode == ILL_PRVREG) ? 0xC0000096u : 0xC000001Du;
        break;
    case SIGBUS:
        c = siCode == BUS_ADRALN ? 0x80000002u : 0xC0000006u;
        break;
    default:
        break;
    }
    return int32_t(c);
}

QString faultDescription(int32_t faultCode) {
    for (const FaultName& f : kFaults)
        if (f.code == uint32_t(faultCode)) return QString::fromLatin1(f.text);
    return QStringLiteral("Unknown error code");
}

QString errorReportText(int line, int32_t faultCode) {
    const QString where = line == NoLineTool
                              ? QStringLiteral("Error at line unknown: addr2line (package binutils) is not installed")
                              : QStringLiteral("Error at line %1").arg(line);
    return QStringLiteral("%1\r\nError number: %2\r\nError description: %3")
        .arg(where)
        .arg(faultCode)
        .arg(faultDescription(faultCode));
}
