#include "entry/near_call.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t site = 0x4A5DAA;

struct Displacement {
    const char* name;
    std::array<std::uint8_t, 5> bytes;
    std::uint32_t target;
};

class NearCallTarget : public ::testing::TestWithParam<Displacement> {};

TEST_P(NearCallTarget, TargetAndDisplacementWrapModulo2To32) {
    const Displacement& c = GetParam();
    EXPECT_EQ(NearCall{c.bytes}.target(site), c.target);
    EXPECT_EQ(NearCall::to(site, c.target).bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Displacements, NearCallTarget,
    ::testing::Values(Displacement{"Minus256", {0xE8, 0x00, 0xFF, 0xFF, 0xFF}, 0x4A5DAF - 256},
                      Displacement{"Forward", {0xE8, 0x71, 0x3E, 0x15, 0x00}, 0x5F9C20},
                      Displacement{"ToAddress0", {0xE8, 0x51, 0xA2, 0xB5, 0xFF}, 0x00000000},
                      Displacement{"WrapsBelow0", {0xE8, 0x4B, 0xA2, 0xB5, 0xFF}, 0xFFFFFFFA}),
    [](const auto& info) { return std::string(info.param.name); });

// Wherever the library was loaded, the new call reaches the thunk.
class NearCallToThunk : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(NearCallToThunk, ReachesItFromTheSite) {
    EXPECT_EQ(NearCall::to(site, GetParam()).target(site), GetParam());
}

INSTANTIATE_TEST_SUITE_P(LoadAddresses, NearCallToThunk,
                         ::testing::Values(0x10001000u, 0x00401000u, 0x7FFE0000u, 0xFFFF0000u));

}  // namespace
