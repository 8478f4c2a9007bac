#include "compat/windows_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace {

// On disk: "Radio SFX/broke.mp3", "Café/Œuvre.ini", "σ.txt", "ђањьљћ/ѯ.ini", "\U00010428.txt",
// "S.TXT", and the twins "mods/Noise.mp3" and "mods/noise.MP3".
struct LookUpCase {
    const char* name;
    const char* asked;
    const char* found;  // relative to the folder
};
const LookUpCase lookUps[] = {
    {"the exact spelling", "Radio SFX/broke.mp3", "Radio SFX/broke.mp3"},
    {"ASCII in every case", "RADIO sfx/BROKE.Mp3", "Radio SFX/broke.mp3"},
    {"code page 1252 letters", "CAFÉ/œUVRE.INI", "Café/Œuvre.ini"},
    {"letters of every alphabet", "Σ.txt", "σ.txt"},
    {"letters that alternate capital and small", "ЂАЊЬЉЋ/Ѯ.INI", "ђањьљћ/ѯ.ini"},
    {"a character beyond the plane keeps its case", "\U00010400.txt", "\U00010400.txt"},
    {"a small letter whose capital is ASCII", "ſ.txt", "S.TXT"},
    {"a folder asked with a separator at the end", "radio sfx/", "Radio SFX/"},
    {"a missing part keeps the rest as asked", "radio sfx/Gone/X.mp3", "Radio SFX/Gone/X.mp3"},
    {"twins: the exact spelling", "mods/noise.MP3", "mods/noise.MP3"},
    {"twins: else the first in byte order", "MODS/NOISE.MP3", "mods/Noise.mp3"},
    {"dot parts stay", "./mods/../radio sfx", "./mods/../Radio SFX"},
};
class WindowsPath : public testing::TestWithParam<LookUpCase> {};

TEST_P(WindowsPath, FindsEachPartWithoutRegardToCase) {
    const TempFolder temp;
    for (const char* file : {"Radio SFX/broke.mp3", "Café/Œuvre.ini", "σ.txt", "ђањьљћ/ѯ.ini",
                             "\U00010428.txt", "S.TXT", "mods/Noise.mp3", "mods/noise.MP3"}) {
        temp.write(file);
    }
    const std::string root = temp.path().string() + "/";
    EXPECT_EQ(platform::windowsPath(root + GetParam().asked), root + GetParam().found);
    EXPECT_EQ(platform::windowsPath(GetParam().asked), GetParam().found);  // relative
}
INSTANTIATE_TEST_SUITE_P(, WindowsPath, testing::ValuesIn(lookUps), CaseName());

// Names Windows takes for one name, and names it keeps apart, in UTF-8 of every length.
struct NamePair {
    const char* name;
    std::string a, b;
    bool same;
};
const NamePair namePairs[] = {
    {"Greek with its final sigma", "ΔΡΟΜΟΣ.ini", "δρομος.ini", true},
    {"fullwidth letters, three bytes each", "ＤＲＩＶＥ", "ｄｒｉｖｅ", true},
    {"a small letter of three bytes, a capital of two", "ⱥ", "Ⱥ", true},
    {"a small letter of two bytes, a capital of three", "ɐ", "Ɐ", true},
    {"ß, which has no capital of its own", "STRAẞE", "straße", false},
    {"the Kelvin sign, which is no capital K", "\u212A", "k", false},
    {"bytes that are not UTF-8 stay, and what follows folds", "\xFF\xC3X", "\xFF\xC3x", true},
};
class WindowsName : public testing::TestWithParam<NamePair> {};

TEST_P(WindowsName, IsOneNameWhenEveryCharacterHasOneCapital) {
    EXPECT_EQ(platform::sameWindowsName(GetParam().a, GetParam().b), GetParam().same);
}
INSTANTIATE_TEST_SUITE_P(, WindowsName, testing::ValuesIn(namePairs), CaseName());

TEST(CaseTwins, NameEveryNamePassedOverOnTheWay) {
    const TempFolder temp;
    for (const char* file : {"A/x", "a/x", "a/X", "a/y", "b"}) temp.write(file);
    const std::vector<platform::CaseTwin> twins = platform::caseTwinsBelow("", "a/x");
    ASSERT_EQ(twins.size(), 2u);
    EXPECT_EQ(twins[0].taken, "a");
    EXPECT_EQ(twins[0].passedOver, "A");
    EXPECT_EQ(twins[1].taken, "a/x");
    EXPECT_EQ(twins[1].passedOver, "a/X");
    EXPECT_TRUE(platform::caseTwinsBelow("", "b").empty());
}

}  // namespace
