#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/win32_api.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Each test works in a fresh folder: its "work" subfolder is the current directory, "win" the
// Windows folder.
class Win32ApiLinux : public ::testing::Test {
  protected:
    void SetUp() override {
        temp.makeFolder("work/sub");
        temp.makeFolder("win");
        fs::current_path(temp.path() / "work");
        platform::setWindowsFolder((temp.path() / "win").string());
    }
    void TearDown() override { platform::setWindowsFolder(""); }
    void write(const std::string& file, const std::string& text) { temp.write(file, text); }
    static std::string profileString(const char* section, const char* key, const char* path) {
        char buffer[256];
        const DWORD count = GetPrivateProfileStringA(section, key, "DEF", buffer, 256, path);
        EXPECT_EQ(count, std::strlen(buffer));
        return buffer;
    }
    TempFolder temp;
};

TEST_F(Win32ApiLinux, StringReadsSettingsFilesAsWindowsDoes) {
    struct Case {
        std::string text;
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"[S]\nk=v\n", "S", "k", "v"},
        {"[settings]\r\nVOLUME damage =  0.5 \r\n", " Settings", "Volume Damage", "0.5"},
        {"[S]\nk=1\nK=2\n", "S", "k", "1"},
        {"[S]\n[T]\nk=1\n[s]\nk=2\n", "S", "k", "DEF"},
        {"[S]\nk=1\n[T]\n[S]\nj=2\n", "S", "j", "DEF"},
        {"k=1\n[S]\n", "S", "k", "DEF"},
        {"[T]\nk=1\n", "S", "k", "DEF"},
        {"[S]\n;k=1\n#k=2\nk=3\n", "S", "k", "3"},
        {"[S]\nk=\n", "S", "k", ""},
        {"[S]\nk= \" x \" \n", "S", "k", " x "},
        {"[S]\nk='y'\n", "S", "k", "y"},
        {"[S]\nk=\"z'\n", "S", "k", "\"z'"},
        {"[S]\nk=\"\n", "S", "k", "\""},
        {"[S]\na=1\n  k=2\n", "S", "k", "2"},
        {"\xEF\xBB\xBF[S]\nk=1\n", "S", "k", "1"},
        {"[ S ] note\nk=1\n", "S", "k", "1"},
        {"[S]\nk=x" + std::string(300, ' ') + "j=bogus\nj=ok\n", "S", "j", "ok"},
        {std::string("[S]\nk=a\0b\nj=2\n", 15), "S", "j", "2"},
        {std::string("\0\xFF[S\0]\n=\n[\n]]=\n", 16), "S", "k", "DEF"},
    };
    for (const Case& c : cases) {
        write("win/s.ini", c.text);
        EXPECT_EQ(profileString(c.section, c.key, "s.ini"), c.expected) << c.text;
    }
}

TEST_F(Win32ApiLinux, StringCutsToTheBuffer) {
    struct Case {
        const char* key;
        const char* defaultText;
        DWORD size;
        const char* expected;
    };
    const Case cases[] = {
        {"k", "DEF", 4, "abc"},    {"k", "DEF", 1, ""},         {"none", "ab  ", 64, "ab"},
        {"none", nullptr, 64, ""}, {"none", "abcdef", 3, "ab"},
    };
    write("win/s.ini", "[S]\nk=abcdef\n");
    for (const Case& c : cases) {
        char buffer[64] = "untouched";
        EXPECT_EQ(GetPrivateProfileStringA("S", c.key, c.defaultText, buffer, c.size, "s.ini"),
                  std::strlen(c.expected));
        EXPECT_STREQ(buffer, c.expected) << c.key << " " << c.size;
    }
    char buffer[] = "untouched";
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "DEF", buffer, 0, "s.ini"), 0u);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "DEF", nullptr, 64, "s.ini"), 0u);
}

TEST_F(Win32ApiLinux, IntReadsIntegerTextAsWindowsDoes) {
    const std::pair<const char*, UINT> cases[] = {{"", 77},
                                                  {"\"\"", 77},
                                                  {"5", 5},
                                                  {"+8", 8},
                                                  {"-5", 4294967291},
                                                  {"0x20", 32},
                                                  {"0xfF", 255},
                                                  {"0X1F", 0},
                                                  {"010", 10},
                                                  {"0b101", 5},
                                                  {"0o17", 15},
                                                  {"-0x10", 4294967280},
                                                  {"12abc", 12},
                                                  {"12.9", 12},
                                                  {"abc", 0},
                                                  {"- 5", 0},
                                                  {"\" 42\"", 42},
                                                  {"4294967301", 5},
                                                  {"99999999999", 1215752191}};
    for (const auto& [text, expected] : cases) {
        write("win/s.ini", std::string("[S]\nk=") + text + "\n");
        EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, "s.ini"), expected) << text;
    }
    EXPECT_EQ(GetPrivateProfileIntA("S", "none", -1, "s.ini"), 0xFFFFFFFFu);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, "missing.ini"), 77u);
}

TEST_F(Win32ApiLinux, PathsMapBackslashesAndOnlyProfileCallsUseTheWindowsFolder) {
    write("win/a.ini", "[S]\nk=win\n");
    write("work/a.ini", "[S]\nk=cwd\n");
    write("work/sub/b.ini", "[S]\nk=sub\n");
    EXPECT_EQ(profileString("S", "k", "a.ini"), "win");
    EXPECT_EQ(profileString("S", "k", ".\\a.ini"), "cwd");
    EXPECT_EQ(profileString("S", "k", "sub\\b.ini"), "sub");
    EXPECT_EQ(profileString("S", "k", ".\\sub"), "DEF");
    EXPECT_EQ(profileString("S", "k", ""), "DEF");

    write("win/only.ini", "");
    const std::pair<const char*, DWORD> attributes[] = {{nullptr, INVALID_FILE_ATTRIBUTES},
                                                        {"", INVALID_FILE_ATTRIBUTES},
                                                        {"only.ini", INVALID_FILE_ATTRIBUTES},
                                                        {"a.ini", 0x80},
                                                        {"sub\\b.ini", 0x80},
                                                        {"sub\\", FILE_ATTRIBUTE_DIRECTORY}};
    for (const auto& [path, expected] : attributes) {
        EXPECT_EQ(GetFileAttributesA(path), expected) << (path ? path : "null");
    }

    platform::setWindowsFolder("");
    EXPECT_EQ(profileString("S", "k", "a.ini"), "cwd");
}

TEST(GetTickCountTest, FollowsTheTickSourceOrTheMonotonicClock) {
    platform::setTickSource([] { return DWORD{0xFFFFFFF0}; });
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    platform::setTickSource(nullptr);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto expected = static_cast<DWORD>(now.tv_sec * 1000ull + now.tv_nsec / 1'000'000);
    EXPECT_LT(GetTickCount() - expected, 100u);
}

}  // namespace
