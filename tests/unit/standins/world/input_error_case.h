// One bad input for a reader that throws InputError, and the check that the error says where
// (file:line:column) and what was expected.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "standins/world/replay.h"

struct InputErrorCase {
    std::string text;
    std::size_t line, column;
    std::string message;  // a part of what the error says
};

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
