// Names the cases of parameterized tests as GoogleTest allows: every run of characters other than
// letters and digits in the text becomes one '_'.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

inline std::string caseName(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool kept = std::isalnum(static_cast<unsigned char>(c));
        if (kept || (!name.empty() && name.back() != '_')) name += kept ? c : '_';
    }
    return name;
}

// Names each case after its parameter's `name`.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return caseName(info.param.name);
    }
};
