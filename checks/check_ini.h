// check-ini: tells a modder what the plug-in will make of a settings file, before the game does.
#pragma once

#include <ostream>
#include <string>

// Prints the eight values the plug-in will read from the settings file at path (read as the
// Windows profile calls read it, through readSettings), then one warning naming file and line for
// each thing in the file that reads differently from how it looks: a key the plug-in ignores (a
// typo, a key outside [Settings], a repeated key or section), float text read in part or as 0,
// integer text read as negative, hexadecimal or in part, a volume that wraps, a maximum duck time
// raised to the minimum, a value outside what its setting is for (and what the plug-in does with
// it), a file in UTF-16 without its byte-order mark. The values go to out; the warnings, and why a
// file cannot be read, to messages. Returns 0 when there is nothing to warn about, 1 with
// warnings, 2 when the file cannot be read (missing, a folder, unreadable).
int checkIni(const std::string& path, std::ostream& out, std::ostream& messages);
