// check-ini: tells a modder what the plug-in will make of a settings file, before the game does.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "config/settings.h"
#include "text/json_text.h"

// One value the plug-in reads, in the settings table's order.
struct IniValue {
    std::string key;
    std::string text;  // as printed: as written when the plug-in holds exactly that, "1 (on)"
    int line = 0;      // where it was read; 0: not in the file, the default
};

// Something in the file that reads differently from how it looks.
struct IniWarning {
    int line = 0;
    std::string key;      // the setting it concerns, "" when none (an unknown key, a section)
    std::string kind;     // what sort of surprise: "unknown-key", "low-byte", "range"...
    std::string message;  // what the plug-in makes of it
};

struct IniReport {
    std::string file;   // the path as given, safe to print
    int status = 0;     // 0 nothing to warn about, 1 warnings, 2 the file cannot be read
    std::string error;  // why it cannot be read
    EffectSettings settings;
    std::vector<IniValue> values;
    std::vector<IniWarning> warnings;  // in line order
};

// The values the plug-in will read from the settings file at path (read as the Windows profile
// calls read it, through readSettings), and one warning for each thing in the file that reads
// differently from how it looks: a key the plug-in ignores (a typo, a key outside [Settings], a
// repeated key or section), float text read in part or as 0, integer text read as negative,
// hexadecimal or in part, a volume that wraps, a maximum duck time raised to the minimum, a value
// outside what its setting is for (and what the plug-in does with it), a file in UTF-16 without
// its byte-order mark.
IniReport checkIni(const std::string& path);

// The report as check-ini prints it: the values to out; the warnings, or why the file cannot be
// read, to messages.
void printIniReport(const IniReport& report, std::ostream& out, std::ostream& messages);

// The report as one JSON object (check-ini --json), as data and as text.
Json iniReportData(const IniReport& report);
std::string iniReportJson(const IniReport& report);
