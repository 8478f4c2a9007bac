#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "compat/profile_file.h"
#include "platform/win32_api.h"
#include "tests/support/temp_folder.h"

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

TEST_F(Win32ApiLinux, IntPassesTheDefaultThroughWhenNothingIsRead) {
    write("win/s.ini", "[S]\nk=\n");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", -1, "s.ini"), 0xFFFFFFFFu);
    EXPECT_EQ(GetPrivateProfileIntA("S", "none", 77, "s.ini"), 77u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, "missing.ini"), 77u);
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "k", 77, "s.ini"), 77u);
}

// What no settings file can be: each reads as an absent file, without blocking, and is left as it
// was. (Which bytes a file may hold is the corpus's business: tests/e2e/settings_probe.)
TEST_F(Win32ApiLinux, WhatIsNoFileReadsAsNoFile) {
    write("win/big.ini", "[S]\nk=1\n");
    fs::resize_file(temp.path() / "win/big.ini", platform::maxProfileBytes + 1);
    ASSERT_EQ(mkfifo((temp.path() / "win/fifo.ini").c_str(), 0600), 0);
    fs::create_symlink(temp.path() / "win/gone.ini", temp.path() / "win/dangling.ini");
    temp.makeFolder("win/folder.ini");
    for (const char* path : {"big.ini", "fifo.ini", "dangling.ini", "folder.ini", "folder.ini\\"}) {
        EXPECT_EQ(profileString("S", "k", path), "DEF") << path;
        EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, path), 77u) << path;
    }
    EXPECT_EQ(fs::file_size(temp.path() / "win/big.ini"), platform::maxProfileBytes + 1);
    EXPECT_FALSE(fs::exists(temp.path() / "win/gone.ini"));
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
