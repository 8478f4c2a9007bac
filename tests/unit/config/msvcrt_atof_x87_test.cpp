// atof on a thread whose x87 unit is set as a game may leave it: at 24-bit precision, as Direct3D
// leaves its device thread, or with the x87 exceptions unmasked, as a game does to catch its own
// bugs. The C library's strtod does part of its work on the x87 unit on i686. Run under Wine.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>

#include "config/msvcrt_atof.h"

namespace {

std::uint16_t x87ControlWord() {
    std::uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

std::uint16_t x87StatusWord() {
    std::uint16_t word = 0;
    asm volatile("fnstsw %0" : "=m"(word));
    return word;
}

void setX87ControlWord(std::uint16_t word) {
    asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
}

struct AtofCase {
    std::string text;
    double expected;
};

// The caller's control word: at 24-bit precision, or with every exception unmasked.
struct CallerX87 {
    const char* name;
    std::uint16_t clear;  // the control word's bits the caller clears
};

class AtofOnAGameThread : public testing::TestWithParam<std::tuple<CallerX87, AtofCase>> {};

TEST_P(AtofOnAGameThread, ReadsTheNearestDoubleAndGivesBackTheCallersX87State) {
    const auto& [caller, atofCase] = GetParam();
    const std::uint16_t before = x87ControlWord();
    const auto callers = static_cast<std::uint16_t>(before & ~caller.clear);
    setX87ControlWord(callers);
    const double read = msvcrt::atof(atofCase.text.c_str());
    const std::uint16_t after = x87ControlWord();
    const std::uint16_t status = x87StatusWord();
    setX87ControlWord(before);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(atofCase.expected))
        << atofCase.text.substr(0, 40) << " read as " << read;
    EXPECT_EQ(after, callers) << "the caller's control word comes back";
    EXPECT_EQ(status & 0x3F, 0) << "no x87 exception flag is left raised";
}

constexpr double infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    , AtofOnAGameThread,
    testing::Combine(
        testing::Values(CallerX87{"precision24", 0x0300}, CallerX87{"unmasked", 0x003F}),
        testing::Values(
            AtofCase{"16777217e1", 167772170.0}, AtofCase{"16777217", 16777217.0},
            AtofCase{"9007199254740993", 9007199254740992.0}, AtofCase{"0.1", 0.1},
            AtofCase{"1e23", 1e23}, AtofCase{"123456.789", 123456.789},
            AtofCase{"2.2250738585072011e-308", 2.2250738585072011e-308},
            // Out of range either way, subnormal, and the words atof does not read.
            AtofCase{"1e400", infinity}, AtofCase{"-1e400", -infinity}, AtofCase{"1e-400", 0.0},
            AtofCase{"4.9e-324", 4.9e-324}, AtofCase{"1e-310", 1e-310}, AtofCase{"nan", 0.0},
            AtofCase{"inf", 0.0},
            // Longer than the digits kept: the digit past them still breaks the tie upwards.
            AtofCase{"9007199254740993" + std::string(900, '0') + "1e-901", 9007199254740994.0},
            AtofCase{"0." + std::string(1000, '0') + "1e1000", 0.1})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::to_string(info.index % 16);
    });

}  // namespace
