// A guard around work that reads the game's memory or calls into the game: a memory fault, an
// arithmetic fault or a C++ exception inside it ends that work early, and the caller goes on.
// Nothing is undone: what the work had already written stays.
//
// A resume after a fault jumps from the faulting instruction straight to the guard's exit; no C++
// unwinding runs on the way (on Windows the unwind runs only structured-exception handlers). What
// it skips, in the faulting function and in every function between it and the guard:
// - destructors of locals and temporaries: memory they own leaks, and a lock they hold stays
//   locked, so the next attempt to take it waits for ever;
// - catch blocks, guarded()'s catch (...) too: a fault is no C++ exception;
// - the end of a function-local static's initialisation: the static is never finished, and its
//   next use waits for ever on another thread and ends the process on this one;
// - the rest of any C library call that faulted: a lock the call held (malloc's, stdio's) stays
//   held.
// So guarded work keeps locks, owning locals and first uses of statics away from where a fault can
// happen: reads of the game's memory and calls into the game.
#pragma once

// Runs work(context) and answers whether it ran to its end (false: a fault ended it). The
// platform's part: Windows catches structured exceptions through a frame-based handler, Linux
// catches SIGSEGV, SIGBUS and SIGFPE raised on this thread while a guard is active. Guards nest.
// work must not throw; guarded() below catches C++ exceptions for it where there are any.
// On Windows, once a stack overflow has left no room for a new guard page, every later call
// answers false without running work: a second overflow would end the game.
bool runGuarded(void (*work)(void*), void* context) noexcept;

// Runs work() under the guard and answers whether it ran to its end, without a fault and without
// an exception escaping it. Ostrelle.dll is built without C++ exceptions (nothing in it throws,
// and a throw would abort the game); the Linux build and its tests keep them, and their doubles
// throw to stand for a failing library.
template <typename Work>
bool guarded(Work&& work) noexcept {
    struct Call {
        Work& work;
        bool threw;
    } call{work, false};
    bool finished = runGuarded(
        [](void* context) {
            Call& running = *static_cast<Call*>(context);
#if __cpp_exceptions
            try {
                running.work();
            } catch (...) {
                running.threw = true;
            }
#else
            running.work();
#endif
        },
        &call);
    return finished && !call.threw;
}
