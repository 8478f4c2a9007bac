#include "entry/near_call.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t site = 0x4A5DAA;

TEST(NearCall, TargetAndDisplacementWrapModulo2To32) {
    struct Case {
        std::array<std::uint8_t, 5> bytes;
        std::uint32_t target;
    };
    const Case cases[] = {
        {{0xE8, 0x00, 0xFF, 0xFF, 0xFF}, 0x4A5DAF - 256},  // displacement -256
        {{0xE8, 0x71, 0x3E, 0x15, 0x00}, 0x5F9C20},        // forward
        {{0xE8, 0x51, 0xA2, 0xB5, 0xFF}, 0x00000000},      // to address 0
        {{0xE8, 0x4B, 0xA2, 0xB5, 0xFF}, 0xFFFFFFFA},      // wraps below 0
    };
    for (const Case& c : cases) {
        NearCall call{c.bytes};
        EXPECT_EQ(call.target(site), c.target) << std::hex << c.target;
        EXPECT_EQ(NearCall::to(site, c.target).bytes, c.bytes) << std::hex << c.target;
    }
    // Wherever the library was loaded, the new call reaches the thunk.
    for (std::uint32_t thunk : {0x10001000u, 0x00401000u, 0x7FFE0000u, 0xFFFF0000u}) {
        EXPECT_EQ(NearCall::to(site, thunk).target(site), thunk) << std::hex << thunk;
    }
}

TEST(NearCall, RedirectsOnlyANearCallOnAWritablePage) {
    const NearCall call{{0xE8, 1, 2, 3, 4}}, jump{{0xE9, 1, 2, 3, 4}}, zeros{};
    EXPECT_TRUE(shouldRedirect(true, call));
    EXPECT_FALSE(shouldRedirect(false, call));
    EXPECT_FALSE(shouldRedirect(true, jump));
    EXPECT_FALSE(shouldRedirect(true, zeros));
}

}  // namespace
