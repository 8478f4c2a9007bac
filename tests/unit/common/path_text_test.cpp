#include "common/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Building a path in fixed storage: what fits is kept whole, what does not is refused and never
// cut, so a look-up never goes to a shortened path.
struct Building {
    const char* name;
    std::size_t start;  // characters assigned first
    std::size_t added;  // then appended
    bool fits;
    std::size_t size;  // afterwards
};

class PathTextBuilding : public testing::TestWithParam<Building> {};

TEST_P(PathTextBuilding, KeepsWhatFitsAndRefusesTheRest) {
    const Building& b = GetParam();
    PathText path;
    ASSERT_TRUE(path.assign(std::string(b.start, 'a')));
    EXPECT_EQ(path.append(std::string(b.added, 'b')), b.fits);
    EXPECT_EQ(path.size(), b.size);
    EXPECT_EQ(path.view(), std::string(b.start, 'a') + std::string(b.fits ? b.added : 0, 'b'));
    EXPECT_EQ(path.c_str()[path.size()], '\0');
}

constexpr std::size_t full = PathText::capacity;

INSTANTIATE_TEST_SUITE_P(Cases, PathTextBuilding,
                         testing::Values(Building{"short", 3, 4, true, 7},
                                         Building{"exactly full", full - 4, 4, true, full},
                                         Building{"one too many", full - 4, 5, false, full - 4},
                                         Building{"into a full path", full, 1, false, full},
                                         Building{"nothing into a full path", full, 0, true, full}),
                         [](const testing::TestParamInfo<Building>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 if (c == ' ') c = '_';
                             }
                             return name;
                         });

TEST(PathText, AnAssignmentThatDoesNotFitLeavesItEmpty) {
    PathText path("C:\\game");
    EXPECT_FALSE(path.assign(std::string(PathText::capacity + 1, 'a')));
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(path.c_str()[0], '\0');
}

}  // namespace
