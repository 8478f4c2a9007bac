// The guard on Linux: handlers for the fault signals, installed once, that jump back to the
// innermost guard active on the faulting thread. A fault with no guard active goes to whatever
// handled that signal before, so a host's own handlers and crash reporting keep working.
#include <pthread.h>
#include <signal.h>
#include <xmmintrin.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include <cstddef>
#include <iterator>

#include "platform/fault_guard.h"

// Where a guard resumes after a fault: what sigsetjmp keeps, less the signal mask (put back from
// the fault's own context instead) and glibc's pointer mangling, so that entering a guard costs
// a dozen instructions instead of a hundred. x86-64 System V: the registers a call preserves, the
// caller's stack pointer and the return address.
struct ResumePoint {
    void* rbx;
    void* rbp;
    void* r12;
    void* r13;
    void* r14;
    void* r15;
    void* rsp;
    void* rip;
};

extern "C" {
// Answers 0 when called; 1 when ostrelleResume later comes back to it.
__attribute__((returns_twice)) int ostrelleKeepResumePoint(ResumePoint* point);
[[noreturn]] void ostrelleResume(const ResumePoint* point);
}

asm(R"(
    .text
    .globl ostrelleKeepResumePoint
    .hidden ostrelleKeepResumePoint
    .type ostrelleKeepResumePoint, @function
ostrelleKeepResumePoint:
    movq %rbx, 0(%rdi)
    movq %rbp, 8(%rdi)
    movq %r12, 16(%rdi)
    movq %r13, 24(%rdi)
    movq %r14, 32(%rdi)
    movq %r15, 40(%rdi)
    leaq 8(%rsp), %rdx
    movq %rdx, 48(%rdi)
    movq (%rsp), %rdx
    movq %rdx, 56(%rdi)
    xorl %eax, %eax
    ret
    .size ostrelleKeepResumePoint, .-ostrelleKeepResumePoint

    .globl ostrelleResume
    .hidden ostrelleResume
    .type ostrelleResume, @function
ostrelleResume:
    movq 0(%rdi), %rbx
    movq 8(%rdi), %rbp
    movq 16(%rdi), %r12
    movq 24(%rdi), %r13
    movq 32(%rdi), %r14
    movq 40(%rdi), %r15
    movq 48(%rdi), %rsp
    movl $1, %eax
    jmpq *56(%rdi)
    .size ostrelleResume, .-ostrelleResume
)");

namespace {

struct Guard {
    ResumePoint resume;
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
#if defined(__SANITIZE_ADDRESS__)
    // The jump leaves frames behind: AddressSanitizer must forget their stack poisoning, as it
    // does for a siglongjmp.
    __asan_handle_no_return();
#endif
    ostrelleResume(&guard->resume);
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
    if (ostrelleKeepResumePoint(&guard.resume) != 0) {
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
