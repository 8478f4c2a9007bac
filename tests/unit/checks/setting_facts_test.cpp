#include "checks/setting_facts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

// What the shipped Ostrelle.ini tells players of one key: the value it sets, and the facts its
// comment block states ("Unit: ...", "Range: A to B", "A and up", "Default: X" or, for a run of
// keys under one block, "Defaults: X and Y").
struct Documented {
    std::optional<double> written, defaultValue, min, max;
    std::string unit;
};

Documented documented(const std::string& key) {
    std::ifstream file(OSTRELLE_ASSETS "/Ostrelle.ini");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    Documented doc;
    std::string comment;
    std::size_t place = 0;  // the key's place in its run of keys
    for (const std::string& line : lines) {
        if (line.find_first_not_of(" \r") == std::string::npos) {
            comment.clear();  // a blank line ends a block
            place = 0;
        } else if (line.rfind(';', 0) == 0) {
            comment = place > 0 ? line.substr(1) : comment + ' ' + line.substr(1);
            place = 0;
        } else if (line.rfind(key + "=", 0) == 0) {
            doc.written = std::stod(line.substr(key.size() + 1));
            break;
        } else if (line.find('=') != std::string::npos) {
            ++place;
        }
    }
    const std::string number = "(-?[0-9.]+)";
    std::smatch found;
    if (std::regex_search(comment, found,
                          std::regex("Defaults?: " + number + "(?: and " + number + ")?"))) {
        doc.defaultValue = std::stod(found[place == 0 ? 1 : 2]);
    }
    if (std::regex_search(
            comment, found,
            std::regex("Range: " + number + "(?: \\(\\w+\\))? (to|or|and up) ?" + number + "?"))) {
        doc.min = std::stod(found[1]);
        if (found[2] != "and up") doc.max = std::stod(found[3]);
    }
    if (std::regex_search(comment, found, std::regex("Unit: ([^.]*)\\."))) doc.unit = found[1];
    return doc;
}

class ShippedSettings : public testing::TestWithParam<std::size_t> {};

TEST_P(ShippedSettings, DocumentTheTablesDefaultUnitAndRange) {
    const SettingKey& key = settingKeys[GetParam()];
    const SettingFacts& facts = settingFacts[GetParam()];
    const Documented doc = documented(key.key);
    EXPECT_EQ(doc.written, key.defaultValue) << key.key << " as the file sets it";
    EXPECT_EQ(doc.defaultValue, key.defaultValue);
    EXPECT_EQ(doc.unit, facts.unit);
    EXPECT_EQ(doc.min, facts.min);
    EXPECT_EQ(doc.max, facts.max);
}

INSTANTIATE_TEST_SUITE_P(Keys, ShippedSettings, testing::Range<std::size_t>(0, settingKeys.size()),
                         [](const auto& info) {
                             std::string name = settingKeys[info.param].key;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace
