// A stack overflow deep in a stack, where no page is left for a new guard page: a second overflow
// would end the game with no exception to catch, so the guard runs no more work. Its own program:
// from then on every guard of the process refuses work.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/fault_guard.h"
#include "tests/unit/platform/windows_stack_reset.h"

namespace {

int recurse(int depth) {
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    if (depth < 0) return 0;  // never: the stack ends first
    return recurse(depth + 1) + page[0];
}

struct Outcome {
    bool overflowFinished = true;
    bool laterWorkRan = false;
    bool laterFinished = true;
};

// Runs the guard with only a few kilobytes above the stack's two reserved pages.
void overflowNearTheBottom(Outcome& outcome) {
    char* limit = stackBottom() + 2 * pageSize() + 2500;
    char* here = static_cast<char*>(__builtin_frame_address(0));
    volatile char* used = static_cast<volatile char*>(__builtin_alloca(here - limit));
    used[0] = 0;
    outcome.overflowFinished = guarded([] { recurse(0); });
    outcome.laterFinished = guarded([&] { outcome.laterWorkRan = true; });
}

DWORD WINAPI threadMain(void* outcome) {
    overflowNearTheBottom(*static_cast<Outcome*>(outcome));
    return 0;
}

TEST(FaultGuardLastOverflow, NoRoomForANewGuardPageStopsAllLaterWork) {
    ostrelleResetStackOverflow = windowsResetStackOverflow;
    Outcome outcome;
    HANDLE thread = CreateThread(nullptr, 256 * 1024, threadMain, &outcome,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_FALSE(outcome.overflowFinished);
    EXPECT_FALSE(outcome.laterWorkRan);
    EXPECT_FALSE(outcome.laterFinished);
    EXPECT_FALSE(guarded([] {})) << "work on another thread is refused too";
}

}  // namespace
