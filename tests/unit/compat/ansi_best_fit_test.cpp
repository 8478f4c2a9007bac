// Our conversion of the text the A calls hand back (narrowToAnsi with the generated look-alike
// table) against Windows' own conversion, which the profile calls use, for every UTF-16 code unit.
// Runs under Wine; one case per block of 256 code units.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "compat/profile_file.h"

namespace {

char windowsNarrowed(char16_t unit) {
    const auto wide = static_cast<WCHAR>(unit);
    char narrow = 0;
    WideCharToMultiByte(1252, 0, &wide, 1, &narrow, 1, nullptr, nullptr);
    return narrow;
}

class AnsiBestFitTest : public testing::TestWithParam<int> {};

TEST_P(AnsiBestFitTest, EachCodeUnitNarrowsAsWindowsNarrowsIt) {
    for (int low = 0; low < 256; ++low) {
        const auto unit = static_cast<char16_t>(GetParam() << 8 | low);
        EXPECT_EQ(platform::narrowToAnsi(std::u16string(1, unit)),
                  std::string(1, windowsNarrowed(unit)))
            << "U+" << std::hex << std::uppercase << int{unit};
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, AnsiBestFitTest, testing::Range(0, 256),
                         [](const testing::TestParamInfo<int>& info) {
                             char name[8];
                             std::snprintf(name, sizeof name, "U%02Xxx", info.param);
                             return std::string(name);
                         });

}  // namespace
