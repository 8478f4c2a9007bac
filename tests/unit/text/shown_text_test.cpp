#include "text/shown_text.h"

#include <gtest/gtest.h>

namespace {

struct ShownCase {
    std::string text;
    std::string excerpt;  // as quotedExcerpt shows it with a limit of 8 characters
};

void PrintTo(const ShownCase& c, std::ostream* out) {
    *out << quotedExcerpt(c.text, 12);
}

class ShownText : public testing::TestWithParam<ShownCase> {};

TEST_P(ShownText, ShowsEveryByteSafelyAndCutsLongText) {
    EXPECT_EQ(quotedExcerpt(GetParam().text, 8), GetParam().excerpt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShownText,
    testing::Values(ShownCase{"drive", "'drive'"}, ShownCase{"", "''"},
                    ShownCase{"a\nb\tc\r", "'a\\x0Ab\\x09c\\x0D'"},
                    ShownCase{"\x1B[2J\x7F", "'\\x1B[2J\\x7F'"},
                    ShownCase{"back\\slash", "'back\\sla...' (10 bytes)"},
                    ShownCase{"caf\xC3\xA9 \xE2\x80\x94", "'caf\xC3\xA9 \xE2\x80\x94'"},
                    ShownCase{"\xC2\x9B"
                              "31m",
                              "'\\xC2\\x9B31m'"},  // C1 control (CSI)
                    ShownCase{"\xC0\xAF\xED\xA0\x80",
                              "'\\xC0\\xAF\\xED\\xA0\\x80'"},  // overlong, surrogate
                    ShownCase{"\xE2\x82", "'\\xE2\\x82'"},     // cut short
                    ShownCase{std::string(20'971'520, 'k'), "'kkkkkkkk...' (20971520 bytes)"},
                    ShownCase{std::string("\0\0", 2), "'\\x00\\x00'"}));

}  // namespace
