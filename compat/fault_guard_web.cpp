// The guard in the browser. WebAssembly has no fault to resume from: a read of address 0 reads the
// module's own memory, and an access past its end traps, which ends the whole call into the module
// (the tuner reports it as a failed run). So the work always runs to its end.
#include "platform/fault_guard.h"

bool runGuarded(void (*work)(void*), void* context) noexcept {
    work(context);
    return true;
}
