#include "common/plugin_directory.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"

namespace {

struct Case {
    const char* name;
    const char* module;
    const char* folder;
};
const Case cases[] = {
    {"separators of both kinds", "D:/games\\host/scripts\\fx.dll", "D:/games\\host/scripts"},
    {"a slash last", "C:\\host/fx.dll", "C:\\host"},
    {"no separator", "fx.dll", "."},
    {"empty", "", "."},
    {"a separator first", "\\fx.dll", ""},
    {"a separator at the end", "C:\\host\\scripts\\", "C:\\host\\scripts"},
};
class FolderOfModule : public testing::TestWithParam<Case> {};

TEST_P(FolderOfModule, IsTheTextBeforeTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(folderOfModule(GetParam().module), GetParam().folder);
}
INSTANTIATE_TEST_SUITE_P(, FolderOfModule, testing::ValuesIn(cases), CaseName());

}  // namespace
