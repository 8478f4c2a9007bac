#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "compat/profile_file.h"
#include "platform/win32_api.h"
#include "tests/support/case_name.h"
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
template <typename Case>
class Win32ApiLinuxCases : public Win32ApiLinux, public testing::WithParamInterface<Case> {};

struct BufferCase {
    const char* name;
    const char* key;
    const char* defaultText;
    DWORD size;
    const char* expected;
};
const BufferCase bufferCases[] = {
    {"a value longer than the buffer", "k", "DEF", 4, "abc"},
    {"a buffer of one", "k", "DEF", 1, ""},
    {"a default with trailing spaces", "none", "ab  ", 64, "ab"},
    {"no default", "none", nullptr, 64, ""},
    {"a default longer than the buffer", "none", "abcdef", 3, "ab"},
};
using ProfileString = Win32ApiLinuxCases<BufferCase>;

TEST_P(ProfileString, IsCutToTheBuffer) {
    const BufferCase& c = GetParam();
    write("win/s.ini", "[S]\nk=abcdef\n");
    char buffer[64] = "untouched";
    EXPECT_EQ(GetPrivateProfileStringA("S", c.key, c.defaultText, buffer, c.size, "s.ini"),
              std::strlen(c.expected));
    EXPECT_STREQ(buffer, c.expected);
}
INSTANTIATE_TEST_SUITE_P(, ProfileString, testing::ValuesIn(bufferCases), CaseName());

TEST_F(Win32ApiLinux, StringWritesNothingWithoutRoomInTheBuffer) {
    write("win/s.ini", "[S]\nk=abcdef\n");
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
struct NoFileCase {
    const char* name;
    const char* path;
};
const NoFileCase noFiles[] = {
    {"larger than a settings file may be", "big.ini"},
    {"a named pipe", "fifo.ini"},
    {"a dangling link", "dangling.ini"},
    {"a folder", "folder.ini"},
    {"a folder named with a separator at the end", "folder.ini\\"},
};
using NoFile = Win32ApiLinuxCases<NoFileCase>;

TEST_P(NoFile, ReadsAsAnAbsentFile) {
    write("win/big.ini", "[S]\nk=1\n");
    fs::resize_file(temp.path() / "win/big.ini", platform::maxProfileBytes + 1);
    ASSERT_EQ(mkfifo((temp.path() / "win/fifo.ini").c_str(), 0600), 0);
    fs::create_symlink(temp.path() / "win/gone.ini", temp.path() / "win/dangling.ini");
    temp.makeFolder("win/folder.ini");
    EXPECT_EQ(profileString("S", "k", GetParam().path), "DEF");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, GetParam().path), 77u);
    EXPECT_EQ(fs::file_size(temp.path() / "win/big.ini"), platform::maxProfileBytes + 1);
    EXPECT_FALSE(fs::exists(temp.path() / "win/gone.ini"));
}
INSTANTIATE_TEST_SUITE_P(, NoFile, testing::ValuesIn(noFiles), CaseName());

TEST_F(Win32ApiLinux, ProfilePathsMapBackslashesAndBareNamesUseTheWindowsFolder) {
    write("win/a.ini", "[S]\nk=win\n");
    write("work/a.ini", "[S]\nk=cwd\n");
    write("work/sub/b.ini", "[S]\nk=sub\n");
    EXPECT_EQ(profileString("S", "k", "a.ini"), "win");
    EXPECT_EQ(profileString("S", "k", ".\\a.ini"), "cwd");
    EXPECT_EQ(profileString("S", "k", "sub\\b.ini"), "sub");
    EXPECT_EQ(profileString("S", "k", ".\\sub"), "DEF");
    EXPECT_EQ(profileString("S", "k", "A.INI"), "win");
    EXPECT_EQ(profileString("S", "k", "SUB\\B.Ini"), "sub");
    EXPECT_EQ(profileString("S", "k", ""), "DEF");

    platform::setWindowsFolder("");
    EXPECT_EQ(profileString("S", "k", "a.ini"), "cwd");
}

struct AttributesCase {
    const char* name;
    const char* path;
    DWORD attributes;
};
const AttributesCase attributesCases[] = {
    {"no path", nullptr, INVALID_FILE_ATTRIBUTES},
    {"an empty path", "", INVALID_FILE_ATTRIBUTES},
    {"a file only in the Windows folder", "only.ini", INVALID_FILE_ATTRIBUTES},
    {"a file", "a.ini", 0x80},
    {"a file in a subfolder", "sub\\b.ini", 0x80},
    {"a folder", "sub\\", FILE_ATTRIBUTE_DIRECTORY},
    {"a file named in another case", "SUB\\B.INI", 0x80},
};
using FileAttributes = Win32ApiLinuxCases<AttributesCase>;

TEST_P(FileAttributes, AreReadFromTheCurrentFolderNeverTheWindowsOne) {
    write("win/only.ini", "");
    write("work/a.ini", "");
    write("work/sub/b.ini", "");
    EXPECT_EQ(GetFileAttributesA(GetParam().path), GetParam().attributes);
}
INSTANTIATE_TEST_SUITE_P(, FileAttributes, testing::ValuesIn(attributesCases), CaseName());

}  // namespace
