// atof on a thread whose x87 unit runs at 24-bit precision, as Direct3D leaves the game's frame
// thread: the C library's strtod does part of its work on the x87 unit on i686. Run under Wine.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "config/msvcrt_atof.h"

namespace {

std::uint16_t x87ControlWord() {
    std::uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void setX87ControlWord(std::uint16_t word) {
    asm volatile("fldcw %0" : : "m"(word));
}

struct AtofCase {
    const char* text;
    double expected;
};

class AtofAt24BitPrecision : public testing::TestWithParam<AtofCase> {};

TEST_P(AtofAt24BitPrecision, ReadsTheNearestDoubleAndLeavesThePrecisionAsItWas) {
    const std::uint16_t before = x87ControlWord();
    const std::uint16_t single = static_cast<std::uint16_t>(before & ~0x0300u);  // 24 bits
    setX87ControlWord(single);
    const double read = msvcrt::atof(GetParam().text);
    const std::uint16_t after = x87ControlWord();
    setX87ControlWord(before);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(GetParam().expected))
        << GetParam().text << " read as " << read;
    EXPECT_EQ(after, single) << "the caller's control word comes back";
}

INSTANTIATE_TEST_SUITE_P(
    , AtofAt24BitPrecision,
    testing::Values(AtofCase{"16777217e1", 167772170.0}, AtofCase{"16777217", 16777217.0},
                    AtofCase{"9007199254740993", 9007199254740992.0}, AtofCase{"0.1", 0.1},
                    AtofCase{"1e23", 1e23}, AtofCase{"123456.789", 123456.789},
                    AtofCase{"2.2250738585072011e-308", 2.2250738585072011e-308}));

}  // namespace
