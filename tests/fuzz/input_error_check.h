// The promise of every reader error (InputError), checked against the text that was read: it names
// the file, and a line and column that lie in the text (or just past a line's end), so that an
// editor can jump there.
#pragma once

#include <string>
#include <string_view>

#include "standins/world/replay.h"

void checkInputError(const InputError& error, std::string_view text, const std::string& fileName);
