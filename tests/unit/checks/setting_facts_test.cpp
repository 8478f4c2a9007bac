#include "checks/setting_facts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/case_name.h"

namespace {

// What the shipped Ostrelle.ini documents for one key, read out of the prose of its comments.
struct Documented {
    std::string written;  // the value after '='
    std::optional<double> defaultValue, min, max;
    std::string unit;
    bool found = false;
};

std::vector<std::string> shippedLines() {
    std::ifstream file(OSTRELLE_ASSETS "/Ostrelle.ini");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The comment block above a run of key lines documents each of them; "Defaults: A and B" gives
// the n-th key of the run the n-th default.
Documented documented(const std::string& key) {
    const std::vector<std::string> lines = shippedLines();
    Documented doc;
    for (std::size_t at = 0; at < lines.size(); ++at) {
        if (lines[at].rfind(key + "=", 0) != 0) continue;
        doc.found = true;
        doc.written = lines[at].substr(key.size() + 1);
        std::size_t first = at, place = 0;
        while (first > 0 && lines[first - 1].find('=') != std::string::npos &&
               lines[first - 1][0] != ';') {
            --first;
            ++place;
        }
        std::string comment;
        for (std::size_t i = first; i > 0 && lines[i - 1].rfind(';', 0) == 0; --i) {
            comment = lines[i - 1].substr(1) + ' ' + comment;
        }
        std::smatch found;
        const std::string number = "(-?[0-9.]+)";
        if (std::regex_search(comment, found,
                              std::regex("Defaults?: " + number + "(?: and " + number + ")?"))) {
            doc.defaultValue = std::stod(found[1 + std::min<std::size_t>(place, 1)]);
        }
        if (std::regex_search(
                comment, found,
                std::regex("Range: " + number + "(?: \\(\\w+\\))? (?:to|or) " + number))) {
            doc.min = std::stod(found[1]);
            doc.max = std::stod(found[2]);
        } else if (std::regex_search(comment, found, std::regex("Range: " + number + " and up"))) {
            doc.min = std::stod(found[1]);
        }
        if (std::regex_search(comment, found, std::regex("Unit: ([^.]*)\\."))) doc.unit = found[1];
    }
    return doc;
}

struct KeyCase {
    std::string name;
    std::size_t index;
};

void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<KeyCase> keys() {
    std::vector<KeyCase> cases;
    for (std::size_t i = 0; i < settingKeys.size(); ++i) cases.push_back({settingKeys[i].key, i});
    return cases;
}

class ShippedSettings : public testing::TestWithParam<KeyCase> {};

TEST_P(ShippedSettings, DocumentTheTablesDefaultUnitAndRange) {
    const SettingKey& key = settingKeys[GetParam().index];
    const SettingFacts& facts = settingFacts[GetParam().index];
    const Documented doc = documented(key.key);
    ASSERT_TRUE(doc.found) << key.key << " is not in the shipped file";
    EXPECT_EQ(std::stod(doc.written), key.defaultValue);
    EXPECT_EQ(doc.defaultValue, key.defaultValue);
    EXPECT_EQ(doc.unit, facts.unit);
    EXPECT_EQ(doc.min, facts.min);
    EXPECT_EQ(doc.max, facts.max);
}

INSTANTIATE_TEST_SUITE_P(Keys, ShippedSettings, testing::ValuesIn(keys()), CaseName());

}  // namespace
