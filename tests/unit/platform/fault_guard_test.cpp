#include "platform/fault_guard.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace {

// A page that can be neither read nor written: what a stale game record looks like.
volatile int* unreadable() {
#ifdef _WIN32
    static void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
#else
    static void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
#endif
    return static_cast<volatile int*>(page);
}

volatile int zero = 0;
volatile int one = 1;  // volatile, so the division is a real one and not folded

TEST(FaultGuard, EndsTheWorkAtAFaultOrExceptionAndKeepsWhatItWrote) {
    struct Case {
        const char* name;
        void (*fault)();  // null: the work runs to its end
        bool finished;
    };
    const Case cases[] = {
        {"no fault", nullptr, true},
        {"a read of an unreadable page", [] { (void)*unreadable(); }, false},
        {"a write to an unreadable page", [] { *unreadable() = 1; }, false},
        {"an integer division by zero", [] { zero = one / zero; }, false},
        {"a C++ exception", [] { throw std::runtime_error("sound layer"); }, false},
    };
    for (const Case& c : cases) {
        int before = 0, after = 0;
        bool finished = guarded([&] {
            before = 1;
            if (c.fault) c.fault();
            after = 1;
        });
        EXPECT_EQ(finished, c.finished) << c.name;
        EXPECT_EQ(before, 1) << c.name;
        EXPECT_EQ(after, c.finished ? 1 : 0) << c.name;
    }
}

TEST(FaultGuard, NestedGuardEndsOnlyTheInnerWork) {
    bool innerFinished = true, outerGoesOn = false;
    bool outerFinished = guarded([&] {
        innerFinished = guarded([] { (void)*unreadable(); });
        outerGoesOn = true;
    });
    EXPECT_FALSE(innerFinished);
    EXPECT_TRUE(outerGoesOn);
    EXPECT_TRUE(outerFinished);
    EXPECT_FALSE(guarded([] {
        guarded([] {});
        (void)*unreadable();
    })) << "a fault after an inner guard ended goes to the outer one";
}

TEST(FaultGuard, EveryFaultOfALongRunIsCaught) {
    // Each fault must leave the thread as it found it (signal mask, handler chain, stack), or a
    // later one would end the process.
    int caught = 0;
    for (int frame = 0; frame < 1000; ++frame) {
        if (!guarded([] { (void)*unreadable(); })) ++caught;
    }
    EXPECT_EQ(caught, 1000);
}

TEST(FaultGuard, KeepsTheCallersFloatingPointModesAcrossAFault) {
    // Flush-to-zero and denormals-are-zero: modes a game may run its frame with.
    constexpr unsigned int modes = 0x8040, modeBits = ~0x3Fu;  // the low six bits are flags
    const unsigned int before = _mm_getcsr();
    _mm_setcsr(before | modes);
    guarded([] { (void)*unreadable(); });
    const unsigned int after = _mm_getcsr();
    _mm_setcsr(before);
    EXPECT_EQ(after & modeBits, (before | modes) & modeBits);
}

#ifdef _WIN32
extern "C" {
extern void* ostrelleRtlUnwind;  // what the guard's handler calls to unwind
void* realRtlUnwind;
}

// RtlUnwind as Windows' own behaves: it gives back ESP and EBP but not EBX, ESI or EDI (Wine's
// keeps them all, so without this stand-in the tests under Wine would not see a guard that relies
// on them).
extern "C" __attribute__((naked)) void __stdcall clobberingRtlUnwind(void*, void*, void*, void*) {
    asm(R"(
    .intel_syntax noprefix
    push DWORD PTR [esp+16]
    push DWORD PTR [esp+16]
    push DWORD PTR [esp+16]
    push DWORD PTR [esp+16]
    call DWORD PTR [_realRtlUnwind]
    mov ebx, 0xBAD
    mov esi, 0xBAD
    mov edi, 0xBAD
    ret 16
    .att_syntax prefix
)");
}

void* exceptionChain() {
    void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

TEST(FaultGuard, ResumesWithTheCallersStateWhateverTheUnwindLeavesInRegisters) {
    realRtlUnwind = ostrelleRtlUnwind;
    ostrelleRtlUnwind = reinterpret_cast<void*>(&clobberingRtlUnwind);
    void* chainBefore = exceptionChain();
    volatile double kept = 2.5;
    int faults = 0;
    for (int round = 0; round < 10; ++round) {
        if (!guarded([] { (void)*unreadable(); })) ++faults;
    }
    ostrelleRtlUnwind = realRtlUnwind;
    EXPECT_EQ(faults, 10);
    EXPECT_EQ(exceptionChain(), chainBefore) << "the guard's record has left the chain";
    EXPECT_EQ(kept * 2, 5.0);
}

// Recurses until the stack runs out: each level keeps a page of its own alive.
int recurse(int depth) {
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    if (depth < 0) return 0;  // never: the stack ends first
    return recurse(depth + 1) + page[0];
}

// Whether the thread's stack still has a guard page below what it has committed: what makes the
// next overflow an exception instead of an unannounced end of the process.
bool stackHasGuardPage() {
    MEMORY_BASIC_INFORMATION here;
    VirtualQuery(&here, &here, sizeof here);
    auto* address = static_cast<char*>(here.AllocationBase);
    MEMORY_BASIC_INFORMATION region;
    while (VirtualQuery(address, &region, sizeof region) != 0 &&
           region.AllocationBase == here.AllocationBase) {
        if (region.Protect & PAGE_GUARD) return true;
        address += region.RegionSize;
    }
    return false;
}

TEST(FaultGuard, CatchesAStackOverflowAndPutsTheGuardPageBack) {
    for (int overflow = 0; overflow < 3; ++overflow) {
        EXPECT_FALSE(guarded([] { recurse(0); })) << "overflow " << overflow;
        EXPECT_TRUE(stackHasGuardPage()) << "overflow " << overflow;
    }
}
#else
TEST(FaultGuardDeathTest, AFaultWithNoGuardActiveIsNotSwallowed) {
    guarded([] {});  // the handlers are installed
    EXPECT_DEATH((void)*unreadable(), "");
}
#endif

}  // namespace
