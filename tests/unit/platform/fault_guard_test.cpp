#include "platform/fault_guard.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/case_name.h"

#ifdef _WIN32
#include <windows.h>

#include "tests/unit/platform/windows_stack_reset.h"
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

struct FaultCase {
    const char* name;
    void (*fault)();  // null: the work runs to its end
    bool finished;
};

class FaultInWork : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultInWork, EndsTheWorkAndKeepsWhatItWrote) {
    int before = 0, after = 0;
    const bool finished = guarded([&] {
        before = 1;
        if (GetParam().fault) GetParam().fault();
        after = 1;
    });
    EXPECT_EQ(finished, GetParam().finished);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, GetParam().finished ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    , FaultInWork,
    testing::Values(FaultCase{"no fault", nullptr, true},
                    FaultCase{"a read of an unreadable page", [] { (void)*unreadable(); }, false},
                    FaultCase{"a write to an unreadable page", [] { *unreadable() = 1; }, false},
                    FaultCase{"an integer division by zero", [] { zero = one / zero; }, false},
                    FaultCase{"a C++ exception", [] { throw std::runtime_error("sound layer"); },
                              false}),
    CaseName());

struct NestedCase {
    const char* name;
    bool innerFaults;
    bool outerFaultsAfter;  // the outer work faults once the inner guard has ended
};

class NestedGuard : public testing::TestWithParam<NestedCase> {};

TEST_P(NestedGuard, EndsOnlyTheInnerWork) {
    const NestedCase& c = GetParam();
    bool innerFinished = false, outerGoesOn = false;
    const bool outerFinished = guarded([&] {
        innerFinished = guarded([&] {
            if (c.innerFaults) (void)*unreadable();
        });
        outerGoesOn = true;
        if (c.outerFaultsAfter) (void)*unreadable();
    });
    EXPECT_EQ(innerFinished, !c.innerFaults);
    EXPECT_TRUE(outerGoesOn);
    EXPECT_EQ(outerFinished, !c.outerFaultsAfter);
}

INSTANTIATE_TEST_SUITE_P(
    , NestedGuard,
    testing::Values(NestedCase{"the inner work faults", true, false},
                    NestedCase{"the outer work faults after the inner one finished", false, true},
                    NestedCase{"the outer work faults after the inner one faulted", true, true}),
    CaseName());

TEST(FaultGuard, EveryFaultOfALongRunIsCaught) {
    // Each fault must leave the thread as it found it (signal mask, handler chain, stack), or a
    // later one would end the process.
    int caught = 0;
    for (int frame = 0; frame < 1000; ++frame) {
        if (!guarded([] { (void)*unreadable(); })) ++caught;
    }
    EXPECT_EQ(caught, 1000);
}

unsigned int x87Control() {
    unsigned short word;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void setX87Control(unsigned int word) {
    const unsigned short control = static_cast<unsigned short>(word);
    asm volatile("fldcw %0" : : "m"(control));
}

// Modes a game may run its frame with; a signal handler or an exception dispatcher starts with the
// defaults instead.
struct ModesCase {
    const char* name;
    unsigned int (*read)();
    void (*write)(unsigned int);
    unsigned int cleared, set;  // the bits the game clears and sets
    unsigned int modeBits;      // the rest are status flags
};

class FloatingPointModes : public testing::TestWithParam<ModesCase> {};

TEST_P(FloatingPointModes, AreTheCallersAfterAFault) {
    const ModesCase& c = GetParam();
    const unsigned int before = c.read();
    const unsigned int modes = (before & ~c.cleared) | c.set;
    c.write(modes);
    guarded([] { (void)*unreadable(); });
    const unsigned int after = c.read();
    c.write(before);
    EXPECT_EQ(after & c.modeBits, modes & c.modeBits);
}

INSTANTIATE_TEST_SUITE_P(
    , FloatingPointModes,
    testing::Values(
        ModesCase{"SSE flush-to-zero and denormals-are-zero", [] { return _mm_getcsr(); },
                  [](unsigned int word) { _mm_setcsr(word); }, 0, 0x8040, ~0x3Fu},
        // Precision control (bits 8-9) 00: 24 bits; rounding control (bits 10-11) 11: toward zero.
        ModesCase{"x87 single precision, rounding toward zero", x87Control, setX87Control, 0x0F00,
                  0x0C00, 0xFFFF}),
    CaseName());

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
    ostrelleResetStackOverflow = windowsResetStackOverflow;
    for (int overflow = 0; overflow < 3; ++overflow) {
        EXPECT_FALSE(guarded([] { recurse(0); })) << "overflow " << overflow;
        EXPECT_TRUE(stackHasGuardPage()) << "overflow " << overflow;
    }
    EXPECT_TRUE(guarded([] {})) << "with room for a guard page, work goes on";
}

// The thread's information block, read from FS:[0x18] as NtCurrentTeb does (whose own inline read
// GCC 12 takes for an access outside an array).
NT_TIB* threadInformation() {
    NT_TIB* tib;
    asm volatile("movl %%fs:0x18, %0" : "=r"(tib));
    return tib;
}

// The exception registration records from FS:[0] to the chain's end (0xFFFFFFFF).
std::vector<std::uintptr_t> chainNow() {
    std::vector<std::uintptr_t> records;
    for (auto* record = threadInformation()->ExceptionList;
         reinterpret_cast<std::uintptr_t>(record) != 0xFFFFFFFF && records.size() < 100;
         record = record->Next) {
        records.push_back(reinterpret_cast<std::uintptr_t>(record));
    }
    return records;
}

// What Windows checks of the exception chain before it dispatches (handler validation, SEHOP) and
// Wine does not: every record lies within the thread's stack, 4-byte aligned, each above the one
// before, and the chain ends with the records it had outside the guards.
std::string chainProblems(const std::vector<std::uintptr_t>& outside) {
    const NT_TIB* tib = threadInformation();
    const auto low = reinterpret_cast<std::uintptr_t>(tib->StackLimit);
    const auto high = reinterpret_cast<std::uintptr_t>(tib->StackBase);
    const std::vector<std::uintptr_t> records = chainNow();
    std::string problems;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::uintptr_t r = records[i];
        if (r < low || r + 8 > high) problems += " record " + std::to_string(i) + " off the stack;";
        if (r % 4 != 0) problems += " record " + std::to_string(i) + " unaligned;";
        if (i > 0 && r <= records[i - 1]) problems += " record " + std::to_string(i) + " below;";
    }
    if (records.size() < outside.size() ||
        !std::equal(outside.begin(), outside.end(), records.end() - outside.size())) {
        problems += " the chain does not end as it did outside the guards;";
    }
    return problems;
}

TEST(FaultGuard, TheExceptionChainInsideGuardedWorkPassesWindowsChecks) {
    const std::vector<std::uintptr_t> outside = chainNow();
    std::string inner, outer, afterFault;
    guarded([&] {
        outer = chainProblems(outside);
        guarded([&] { inner = chainProblems(outside); });
        guarded([] { (void)*unreadable(); });
        afterFault = chainProblems(outside);
    });
    EXPECT_EQ(outer, "");
    EXPECT_EQ(inner, "") << "nested guard";
    EXPECT_EQ(afterFault, "") << "after an inner guard caught a fault";
    EXPECT_EQ(chainNow(), outside);
}
#else
TEST(FaultGuardDeathTest, AFaultWithNoGuardActiveIsNotSwallowed) {
    guarded([] {});  // the handlers are installed
    EXPECT_DEATH((void)*unreadable(), "");
}
#endif

}  // namespace
