#include "text/json_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

namespace {

struct StringCase {
    std::string text;
    std::string json;
};

class JsonString : public testing::TestWithParam<StringCase> {};

// Whatever bytes a name holds, the JSON is valid UTF-8 (a strict reader takes it back) and keeps
// well-formed text as it is.
TEST_P(JsonString, IsValidUtf8WithRawBytesAsBackslashXNN) {
    const std::string json = jsonText(GetParam().text).dump();
    EXPECT_EQ(json, GetParam().json);
    EXPECT_TRUE(nlohmann::json::accept(json)) << json;
}

INSTANTIATE_TEST_SUITE_P(Cases, JsonString,
                         testing::Values(StringCase{"Radio SFX", "\"Radio SFX\""},
                                         StringCase{"a \"b\" \\c", R"("a \"b\" \\c")"},
                                         StringCase{"line\nend\x01", R"("line\nend\u0001")"},
                                         StringCase{"caf\xC3\xA9 \xE2\x80\x94",
                                                    "\"caf\xC3\xA9 \xE2\x80\x94\""},
                                         StringCase{"M\xFCll", R"("M\\xFCll")"},  // code page 1252
                                         StringCase{"\xC0\xAF\xED\xA0\x80",
                                                    R"("\\xC0\\xAF\\xED\\xA0\\x80")"},  // overlong,
                                                                                        // surrogate
                                         StringCase{"cut \xE2\x80", R"("cut \\xE2\\x80")"}));

struct NumberCase {
    double value;
    std::string json;
};

class JsonNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(JsonNumber, IsWholeOrTheShortestFloatOrText) {
    EXPECT_EQ(jsonNumber(GetParam().value).dump(), GetParam().json);
}

constexpr double infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonNumber,
    testing::Values(NumberCase{2000.0, "2000"}, NumberCase{4294967295.0, "4294967295"},
                    NumberCase{0.8f, "0.8"}, NumberCase{1e-45f, "1e-45"}, NumberCase{0.1, "0.1"},
                    NumberCase{-0.5, "-0.5"}, NumberCase{-3.0, "-3"}, NumberCase{-0.0, "-0.0"},
                    NumberCase{std::nan(""), "\"nan\""}, NumberCase{-infinity, "\"-inf\""}));

}  // namespace
