#include "common/plugin_directory.h"

#include <gtest/gtest.h>

namespace {

TEST(FolderOfModule, IsTheTextBeforeTheLastSeparatorOfEitherKind) {
    struct Case {
        const char* name;
        const char* folder;
    };
    const Case cases[] = {
        {"D:/games\\host/scripts\\fx.dll", "D:/games\\host/scripts"},
        {"C:\\host/fx.dll", "C:\\host"},
        {"fx.dll", "."},
        {"", "."},
        {"\\fx.dll", ""},
        {"C:\\host\\scripts\\", "C:\\host\\scripts"},
    };
    for (const Case& c : cases) EXPECT_EQ(folderOfModule(c.name), c.folder) << c.name;
}

}  // namespace
