#include "input_error_check.h"

#include <algorithm>

#include "fuzz_support.h"

namespace {

// Line number (from 1) of the text, without its '\n'; empty past the last line.
std::string_view lineOf(std::string_view text, std::size_t number) {
    std::size_t start = 0;
    for (std::size_t line = 1; line < number; ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) return {};
        start = end + 1;
    }
    return text.substr(start, text.find('\n', start) - start);
}

}  // namespace

void checkInputError(const InputError& error, std::string_view text, const std::string& fileName) {
    const std::string what = error.what();
    const std::string where =
        fileName + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) + ": ";
    require(what.rfind(where, 0) == 0 && what.size() > where.size(),
            "an error starts with file:line:column and says what was expected: " + what);
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    require(error.line >= 1 && error.line <= lines, "the error's line is in the text: " + what);
    require(error.column >= 1 && error.column <= lineOf(text, error.line).size() + 1,
            "the error's column is on its line or just past its end: " + what);
}
