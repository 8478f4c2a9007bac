// Frames after the first must not allocate: the game calls onFrame on its own frame, where a trip
// into the heap (and its lock) costs time the game does not have. Global operator new and delete
// are replaced here by versions that count, and the controller is driven down every path against
// the unit tests' doubles with their call log off, when they allocate nothing themselves.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "controller/controller.h"
#include "tests/support/case_name.h"
#include "tests/support/recording_bass.h"
#include "tests/support/started_plugin.h"
#include "tests/support/test_game.h"

namespace {

std::atomic<std::size_t> allocationCount{0};
std::atomic<std::size_t> releaseCount{0};

void* allocate(std::size_t size, std::size_t alignment) noexcept {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (size == 0) size = 1;  // every allocation answers a distinct address
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    void* memory = nullptr;
    return posix_memalign(&memory, alignment, size) == 0 ? memory : nullptr;
}

void* allocateOrThrow(std::size_t size, std::size_t alignment) {
    void* memory = allocate(size, alignment);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void release(void* memory) noexcept {
    if (memory == nullptr) return;
    releaseCount.fetch_add(1, std::memory_order_relaxed);
    std::free(memory);
}

constexpr std::size_t plainAlignment = alignof(std::max_align_t);

std::size_t alignmentOf(std::align_val_t alignment) {
    return static_cast<std::size_t>(alignment);
}

}  // namespace

void* operator new(std::size_t size) {
    return allocateOrThrow(size, plainAlignment);
}
void* operator new[](std::size_t size) {
    return allocateOrThrow(size, plainAlignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size, plainAlignment);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size, plainAlignment);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocateOrThrow(size, alignmentOf(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateOrThrow(size, alignmentOf(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate(size, alignmentOf(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate(size, alignmentOf(alignment));
}

void operator delete(void* memory) noexcept {
    release(memory);
}
void operator delete[](void* memory) noexcept {
    release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    release(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    release(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    release(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    release(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    release(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    release(memory);
}

namespace {

struct HeapUse {
    std::size_t allocations;
    std::size_t releases;
};

HeapUse heapUseOf(void (*work)()) {
    const std::size_t allocationsBefore = allocationCount.load();
    const std::size_t releasesBefore = releaseCount.load();
    work();
    return {allocationCount.load() - allocationsBefore, releaseCount.load() - releasesBefore};
}

// Where the counter's own check sends its memory, so that no allocation is optimised away.
void* volatile escaped = nullptr;

template <typename T>
T* escape(T* memory) {
    escaped = memory;
    return memory;
}

struct alignas(64) OverAligned {
    char byte;
};

struct Form {
    const char* name;
    void (*allocateAndFree)();
};
const Form forms[] = {
    {"new", [] { delete escape(new int(1)); }},
    {"new[]", [] { delete[] escape(new int[4]); }},
    {"nothrow new", [] { delete escape(new (std::nothrow) int(1)); }},
    {"nothrow new[]", [] { delete[] escape(new (std::nothrow) int[4]); }},
    {"aligned new", [] { delete escape(new OverAligned); }},
    {"aligned new[]", [] { delete[] escape(new OverAligned[2]); }},
    {"a library container", [] { escape(std::string(100, 'x').data()); }},
};
class AllocationForm : public testing::TestWithParam<Form> {};

// The counter must see each form of allocation, or a frame's zero below would prove nothing.
TEST_P(AllocationForm, IsCounted) {
    const HeapUse use = heapUseOf(GetParam().allocateAndFree);
    EXPECT_EQ(use.allocations, 1u);
    EXPECT_EQ(use.releases, 1u);
}
INSTANTIATE_TEST_SUITE_P(, AllocationForm, testing::ValuesIn(forms), CaseName());

// One frame: how the world changes before it (on top of the steps before), and the path it must
// take, told by the effect state after it and by the calls it makes.
struct Step {
    const char* name;
    void (*arrange)(StartedPlugin&);
    EffectState state;
    std::uint64_t radioPushes;
    std::uint64_t plays;
    std::uint64_t stops;
};

const Step steps[] = {
    {"quiet", [](StartedPlugin&) {}, EffectState::Idle, 0, 0, 0},
    {"suspended", [](StartedPlugin& plugin) { plugin.game().row.suspend = 1; }, EffectState::Idle,
     0, 0, 0},
    {"no vehicle",
     [](StartedPlugin& plugin) {
         plugin.game().row.suspend = 0;
         plugin.game().row.vehicle = 0;
     },
     EffectState::Idle, 0, 0, 0},
    {"ineligible vehicle",
     [](StartedPlugin& plugin) {
         plugin.game().row.vehicle = TestGame::car;
         plugin.game().row.status = 10;
     },
     EffectState::Idle, 0, 0, 0},
    // Noise stopped, both impact sounds stopped and one played; the duck level set, then held.
    {"impact entered",
     [](StartedPlugin& plugin) {
         plugin.game().row.status = 0;
         plugin.game().row.impact = StartedPlugin::impactIntensity + 50.0f;
     },
     EffectState::ImpactDuck, 2, 1, 3},
    {"duck continuing",
     [](StartedPlugin& plugin) {
         plugin.game().row.impact = 0.0f;
         plugin.game().row.tick += StartedPlugin::shortestDuckMs / 2;
     },
     EffectState::ImpactDuck, 1, 0, 0},
    // Both impact sounds stopped; the radio starts to climb back.
    {"duck ending",
     [](StartedPlugin& plugin) { plugin.game().row.tick += StartedPlugin::longestDuckMs; },
     EffectState::Idle, 1, 0, 2},
    {"under a roof",
     [](StartedPlugin& plugin) {
         plugin.game().row.roofFound = true;
         plugin.game().row.roofZ = 10.0f;  // the car stands at height 0: a tunnel roof
     },
     EffectState::TunnelStatic, 1, 1, 0},
    // Every sound stopped and the radio put back to full.
    {"suspended under a roof", [](StartedPlugin& plugin) { plugin.game().row.suspend = 1; },
     EffectState::Idle, 1, 0, 3},
    {"back under a roof", [](StartedPlugin& plugin) { plugin.game().row.suspend = 0; },
     EffectState::TunnelStatic, 1, 1, 0},
    {"leaving the roof", [](StartedPlugin& plugin) { plugin.game().row.roofFound = false; },
     EffectState::Idle, 1, 0, 1},
};

// Each step runs alone: the steps before it are taken first, then the frame of the step is
// measured.
class FramePath : public testing::TestWithParam<std::size_t> {};

TEST_P(FramePath, AllocatesNothingAfterTheFirstFrame) {
    StartedPlugin plugin;  // its first frame may allocate
    ASSERT_TRUE(plugin.ready());
    for (std::size_t before = 0; before < GetParam(); ++before) {
        steps[before].arrange(plugin);
        plugin.game().frame();
    }
    const Step& step = steps[GetParam()];
    step.arrange(plugin);
    plugin.game().enter();  // may allocate: a record for a vehicle new to the world
    const TestGameCalls host = plugin.game().calls();
    const RecordingBassCalls bass = recordingBass::calls();

    const HeapUse use = heapUseOf(onFrame);

    EXPECT_EQ(use.allocations, 0u);
    EXPECT_EQ(use.releases, 0u);
    EXPECT_EQ(static_cast<int>(controllerState.state), static_cast<int>(step.state));
    EXPECT_EQ(plugin.game().calls().radioPushes - host.radioPushes, step.radioPushes);
    EXPECT_EQ(recordingBass::calls().plays - bass.plays, step.plays);
    EXPECT_EQ(recordingBass::calls().stops - bass.stops, step.stops);
}
INSTANTIATE_TEST_SUITE_P(, FramePath, testing::Range<std::size_t>(0, std::size(steps)),
                         [](const auto& info) { return caseName(steps[info.param].name); });

}  // namespace
