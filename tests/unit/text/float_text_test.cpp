#include "text/float_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>

namespace {

std::uint32_t bitsOf(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

// The float the general reader gives for text (from_chars, in this build), which must take it too.
float generallyRead(const std::string& text) {
    float value = 0;
    EXPECT_TRUE(readFloatText(text, value)) << text;
    return value;
}

TEST(ShortDecimal, TakesOnlyWhatItReadsExactly) {
    struct Case {
        const char* text;
        bool taken;
    };
    const Case cases[] = {
        {"0", true},
        {"-0", true},
        {"300", true},
        {"-12.5", true},
        {".25", true},
        {"5.", true},
        {"-.5", true},
        {"0000000012.5", true},
        {"16777215", true},
        {"1677721.5", true},
        {"0.0000000001", true},
        {"16777216", false},
        {"0.00000000001", false},
        {"1e5", false},
        {"+1", false},
        {" 1", false},
        {"1 ", false},
        {"", false},
        {"-", false},
        {".", false},
        {"1.2.3", false},
        {"--1", false},
        {"nan", false},
        {"0x10", false},
    };
    for (const Case& c : cases) {
        float value = 0;
        ASSERT_EQ(readShortDecimal(c.text, value), c.taken) << c.text;
        if (c.taken) EXPECT_EQ(bitsOf(value), bitsOf(generallyRead(c.text))) << c.text;
    }
}

// Random decimals of every length and point position the short form takes, with and without a
// sign: each reads to the very float from_chars gives, ties and halfway cases among them.
TEST(ShortDecimal, ReadsAsFromCharsDoes) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::uint32_t> mantissa(0, (1u << 24) - 1);
    std::uniform_int_distribution<int> point(0, 10);
    for (int i = 0; i < 200000; ++i) {
        std::string digits = std::to_string(mantissa(random));
        const int after = point(random);
        if (after > 0) {
            digits.insert(0, static_cast<std::size_t>(after), '0');
            digits.insert(digits.size() - static_cast<std::size_t>(after), ".");
        }
        const std::string text = (i % 2 ? "-" : "") + digits;
        float value = 0;
        ASSERT_TRUE(readShortDecimal(text, value)) << text;
        ASSERT_EQ(bitsOf(value), bitsOf(generallyRead(text))) << text;
    }
}

}  // namespace
