// The guard on Linux: handlers for the fault signals, installed once, that jump back to the
// innermost guard active on the faulting thread. A fault with no guard active goes to whatever
// handled that signal before, so a host's own handlers and crash reporting keep working.
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <xmmintrin.h>

#include <cstddef>
#include <iterator>

#include "platform/fault_guard.h"

namespace {

struct Guard {
    sigjmp_buf resume;
    sigset_t maskAtFault;  // the thread's signal mask when the fault arrived
    Guard* outer;
    // The floating-point control state at the guard's entry. The kernel runs the signal handler
    // with a fresh one, which the jump out of the handler would otherwise keep.
    unsigned int mxcsr;
    unsigned short x87Control;
};

thread_local Guard* activeGuard = nullptr;

constexpr int faultSignals[] = {SIGSEGV, SIGBUS, SIGFPE};
struct sigaction previousActions[std::size(faultSignals)];

const struct sigaction& previousAction(int signal) {
    std::size_t i = 0;
    while (faultSignals[i] != signal) ++i;
    return previousActions[i];
}

// No guard on this thread: hand the signal to the handler that was there before ours.
void passOn(int signal, siginfo_t* info, void* context) {
    const struct sigaction& previous = previousAction(signal);
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    } else {
        // The default action (a fault cannot be ignored): put it back and raise the signal
        // again; it is delivered, and ends the process, when this handler returns.
        sigaction(signal, &previous, nullptr);
        raise(signal);
    }
}

void onFault(int signal, siginfo_t* info, void* context) {
    Guard* guard = activeGuard;
    if (guard == nullptr) {
        passOn(signal, info, context);
        return;
    }
    guard->maskAtFault = static_cast<ucontext_t*>(context)->uc_sigmask;
    siglongjmp(guard->resume, 1);
}

bool installHandlers() {
    struct sigaction action = {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(faultSignals); ++i) {
        sigaction(faultSignals[i], &action, &previousActions[i]);
    }
    return true;
}

}  // namespace

bool runGuarded(void (*work)(void*), void* context) noexcept {
    [[maybe_unused]] static const bool installed = installHandlers();
    Guard guard;
    guard.outer = activeGuard;
    guard.mxcsr = _mm_getcsr();
    asm volatile("fnstcw %0" : "=m"(guard.x87Control));
    // No signal mask is saved here, so a frame without a fault makes no system call; the fault
    // path puts back the mask the signal's delivery changed.
    if (sigsetjmp(guard.resume, 0) != 0) {
        activeGuard = guard.outer;
        pthread_sigmask(SIG_SETMASK, &guard.maskAtFault, nullptr);
        asm volatile("fninit\n\tfldcw %0" : : "m"(guard.x87Control));
        _mm_setcsr(guard.mxcsr);
        return false;
    }
    activeGuard = &guard;
    work(context);
    activeGuard = guard.outer;
    return true;
}
