#include "sim/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The second output cannot be put in place (its folder went away): the first, already renamed
// into place, gets its old file back, and no temporary file is left.
TEST(OutputFiles, ArePutInPlaceAllOrNone) {
    const TempFolder temp;
    temp.write("old.csv", "the old table\n");
    temp.makeFolder("gone");
    {
        OutputFile kept("old.csv"), fresh("new.csv"), lost("gone/plot.png");
        for (OutputFile* file : {&kept, &fresh, &lost}) file->out() << "new\n";
        fs::remove_all(temp.path() / "gone");
        EXPECT_THROW(OutputFile::commitAll({&kept, &fresh, &lost}), std::runtime_error);
    }
    EXPECT_EQ(contents(temp.path() / "old.csv"), "the old table\n");
    EXPECT_FALSE(fs::exists(temp.path() / "new.csv"));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 1);
}

}  // namespace
