// A guard around work that reads the game's memory or calls into the game: a memory fault, an
// arithmetic fault or a C++ exception inside it ends that work early, and the caller goes on.
// Nothing is undone: what the work had already written stays.
#pragma once

// Runs work(context) and answers whether it ran to its end (false: a fault ended it). The
// platform's part: Windows catches structured exceptions through a frame-based handler, Linux
// catches SIGSEGV, SIGBUS and SIGFPE raised on this thread while a guard is active. Guards nest.
// work must not throw; guarded() below catches C++ exceptions for it.
bool runGuarded(void (*work)(void*), void* context) noexcept;

// Runs work() under the guard and answers whether it ran to its end, without a fault and without
// an exception escaping it.
template <typename Work>
bool guarded(Work&& work) noexcept {
    struct Call {
        Work& work;
        bool threw;
    } call{work, false};
    bool finished = runGuarded(
        [](void* context) {
            Call& running = *static_cast<Call*>(context);
            try {
                running.work();
            } catch (...) {
                running.threw = true;
            }
        },
        &call);
    return finished && !call.threw;
}
