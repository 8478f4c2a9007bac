// One bad input for a reader that throws InputError, and the check that the error says where
// (file:line:column) and what was expected.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "standins/world/replay.h"
#include "text/shown_text.h"

struct InputErrorCase {
    std::string text;
    std::size_t line, column;
    std::string message;  // a part of what the error says
};

// A case is named in test lists by where and what it expects.
inline void PrintTo(const InputErrorCase& c, std::ostream* out) {
    *out << c.line << ':' << c.column << ' ' << quotedExcerpt(c.message, 24);
}

template <typename Read>
void expectInputError(Read read, const std::string& fileName, const InputErrorCase& c) {
    SCOPED_TRACE(c.text);
    try {
        read(c.text);
        ADD_FAILURE() << "read without error";
    } catch (const InputError& error) {
        std::string what = error.what();
        EXPECT_EQ(error.line, c.line) << what;
        EXPECT_EQ(error.column, c.column) << what;
        std::string where =
            fileName + ":" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": ";
        EXPECT_EQ(what.rfind(where, 0), 0u) << what;
        EXPECT_NE(what.find(c.message), std::string::npos) << what;
    }
}
