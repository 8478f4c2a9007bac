#include "checks/check_ini.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "text/shown_text.h"

namespace {

struct Checked {
    int result;
    std::string output;    // the values
    std::string messages;  // the warnings, or why the file cannot be read
};

Checked check(const std::string& path) {
    std::ostringstream out, messages;
    const IniReport report = checkIni(path);
    printIniReport(report, out, messages);
    return {report.status, out.str(), messages.str()};
}

// The warning lines of check-ini's output, without the file name.
std::vector<std::string> warnings(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find(": warning: ");
        if (at != std::string::npos) lines.push_back(line.substr(line.find(':') + 1));
    }
    return lines;
}

TEST(CheckIni, PrintsTheValuesThePluginReads) {
    TempFolder folder;
    folder.write("Ostrelle.ini",
                 "; a comment\n[Settings]\n# another\nVolume Damage=0.25\nRadio Duck Volume=300\n"
                 "Enable Tunnel Static=0\n");
    const Checked checked = check("Ostrelle.ini");
    EXPECT_EQ(checked.result, 1) << checked.output;
    for (const char* line :
         {"  Volume Damage            = 0.25\n", "  Impact intensity         = 250\n",
          "  Minimum time impact SFX  = 2000\n", "  Radio Duck Volume        = 44\n",
          "  Enable Tunnel Static     = 0 (off)\n"}) {
        EXPECT_NE(checked.output.find(line), std::string::npos) << line << checked.output;
    }
}

struct SurpriseCase {
    std::string text;
    std::vector<std::string> expected;  // "LINE: warning: ..." each
};

void PrintTo(const SurpriseCase& c, std::ostream* out) {
    *out << quotedExcerpt(c.text, 32);
}

class CheckIniWarns : public testing::TestWithParam<SurpriseCase> {};

TEST_P(CheckIniWarns, OfEachSurpriseWithItsLine) {
    TempFolder folder;
    folder.write("s.ini", GetParam().text);
    const Checked checked = check("s.ini");
    EXPECT_EQ(warnings(checked.messages), GetParam().expected) << checked.messages;
    EXPECT_EQ(checked.result, GetParam().expected.empty() ? 0 : 1) << checked.messages;
    EXPECT_EQ(checked.output.find("warning"), std::string::npos) << "warnings go to stderr";
}

const SurpriseCase surprises[] = {
    {"[Settings]\nVolume Damage=0.5\nRadio Duck Volume=127\n", {}},
    {"[Settings]\r\nRadio Duck Volume=300\r\n",
     {"2: warning: 'Radio Duck Volume' = '300' keeps only its low 8 bits: the radio volume "
      "is 44"}},
    {"[Settings]\nMinimum time impact SFX=5000\nMaximum time impact SFX=2000\n",
     {"3: warning: 'Maximum time impact SFX' (2000) is below 'Minimum time impact SFX': the "
      "plug-in raises it to 5000"}},
    {"[Settings]\nMinimum time impact SFX=7000\n",
     {"2: warning: 'Maximum time impact SFX' (5000) is below 'Minimum time impact SFX': the "
      "plug-in raises it to 7000"}},
    {"[Settings]\nVolume Damage=0.5xyz\nVolume Noise=0.5 ; loud\nImpact intensity=inf\n",
     {"2: warning: 'Volume Damage' = '0.5xyz' is read only in part, as 0.5: 'xyz' is ignored",
      "3: warning: 'Volume Noise' = '0.5 ; loud' is read only in part, as 0.5: ' ; loud' is "
      "ignored (';' starts no comment after a value)",
      "4: warning: 'Impact intensity' = 'inf' is not a decimal number: it reads as 0"}},
    {"[Settings]\nVolume Damage=\x01"
     "0.5\n",
     {"2: warning: 'Volume Damage' = '\\x010.5' is not a decimal number: it reads as 0"}},
    {"[Settings]\nVolume Noise=\nRadio Duck Volume=\n",
     {"2: warning: 'Volume Noise' is empty: it reads as 0, not as its default 1"}},
    {"[Settings]\nImpact intensity=" + std::string(70, '1') + "\n",
     {"2: warning: 'Impact intensity' is longer than 63 characters: only '" + std::string(63, '1') +
      "' is read"}},
    {"[Settings]\nMinimum time impact SFX=-5\nRadio Duck Volume=0x20\nTunnel Radio Duck "
     "Volume=12abc\nEnable Tunnel Static=99999999999\n",
     {"2: warning: 'Minimum time impact SFX' = '-5' is negative: it wraps to 4294967291",
      "2: warning: 'Maximum time impact SFX' (5000) is below 'Minimum time impact SFX': the "
      "plug-in raises it to 4294967291",
      "3: warning: 'Radio Duck Volume' = '0x20' is read as hexadecimal: 32",
      "4: warning: 'Tunnel Radio Duck Volume' = '12abc' is read only in part, as 12",
      "5: warning: 'Enable Tunnel Static' = '99999999999' does not fit in 32 bits: it wraps "
      "to 1215752191"}},
    {"[Settings]\nVolume Damge=0.5\nRadio Duck Volume:50\nFoo=1\n[Settings\n=5\n",
     {"2: warning: unknown key 'Volume Damge' is ignored: did you mean 'Volume Damage'?",
      "3: warning: unknown key 'Radio Duck Volume:50' is ignored: ':' is no separator, write "
      "'Radio Duck Volume=50'",
      "4: warning: unknown key 'Foo' is ignored",
      "5: warning: unknown key '[Settings' is ignored: a section header needs a closing ']'",
      "6: warning: a value without a key name before '=' is ignored"}},
    {"Volume Damage=0.5\n[Other]\nVolume Noise=0.5\n[Settings]\nRadio Duck Volume\n"
     "Radio Duck Volume=5\n[settings]\nVolume Damage=0.25\n",
     {"1: warning: 'Volume Damage' is before any section: the plug-in reads only the first "
      "[Settings] section, so it is ignored",
      "3: warning: 'Volume Noise' is in section [Other]: the plug-in reads only the first "
      "[Settings] section, so it is ignored",
      "5: warning: 'Radio Duck Volume' has no '=': it keeps its default 20",
      "6: warning: 'Radio Duck Volume' appears again: only its first line (line 5) is read",
      "7: warning: a second [Settings] section (the first is at line 4): only the first is "
      "read",
      "8: warning: 'Volume Damage' is in the second [Settings] section: the plug-in reads "
      "only the first [Settings] section, so it is ignored"}},
    {"[Other]\r\rVolume Damage=1\r",
     {"1: warning: no [Settings] section: every key keeps its default",
      "3: warning: 'Volume Damage' is in section [Other]: the "
      "plug-in reads only the first [Settings] section, so it "
      "is ignored"}},
    // Values the plug-in takes as they are, outside what each setting is for.
    {"[Settings]\nVolume Damage=-0.5\nVolume Noise=2.5\n",
     {"2: warning: 'Volume Damage' = -0.5 is below 0.0: the audio library refuses it, so the "
      "sound plays at its last volume, at first full (1.0)",
      "3: warning: 'Volume Noise' = 2.5 is above 1.0: the sound plays louder than its file, and "
      "loud parts clip"}},
    {"[Settings]\nRadio Duck Volume=200\nTunnel Radio Duck Volume=128\n",
     {"2: warning: 'Radio Duck Volume' = 200 is above 127: the plug-in pushes it to the game as "
      "it is, louder than full, and the radio stays there until the plug-in sets another volume",
      "3: warning: 'Tunnel Radio Duck Volume' = 128 is above 127: the plug-in pushes it to the "
      "game as it is, louder than full, and the radio stays there until the plug-in sets another "
      "volume"}},
    {"[Settings]\nImpact intensity=-1\n",
     {"2: warning: 'Impact intensity' = -1 is below 0.0: an impact force of 0 is above it, so "
      "every frame in a vehicle is a crash and the radio stays ducked"}},
    {"[Settings]\nMinimum time impact SFX=0\nMaximum time impact SFX=100000\n",
     {"3: warning: 'Maximum time impact SFX' = 100000 is never reached: a duck lasts the minimum "
      "plus a random draw of at most 32767 ms, so at most 32767 ms"}},
    // A file saved as UTF-16 without its mark reads as nothing at all.
    {std::string("[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\n\0V\0o\0l\0u\0m\0e\0 \0N\0o\0i\0s\0e\0=\0"
                 "0\0\n\0",
                 42),
     {"1: warning: the file is UTF-16 (little-endian) without a byte-order mark: Windows reads it "
      "as ANSI bytes and finds no key, so every key keeps its default; save it as ANSI, or as "
      "UTF-16 with its byte-order mark"}},
    // What the file holds is shown escaped and in part.
    {"[Settings]\n[\x1B[2J]\nVolume Noise=1\n",
     {"3: warning: 'Volume Noise' is in section [\\x1B[2J]: the plug-in reads only the first "
      "[Settings] section, so it is ignored"}},
    {"[Settings]\n\x1B[31m=1\n" + std::string(2'000'000, 'k') + "=1\n",
     {"2: warning: unknown key '\\x1B[31m' is ignored",
      "3: warning: unknown key '" + std::string(64, 'k') + "...' (2000000 bytes) is ignored"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CheckIniWarns, testing::ValuesIn(surprises));

struct ValueCase {
    std::string line;   // in [Settings]
    std::string shown;  // the value line check-ini prints
};

void PrintTo(const ValueCase& c, std::ostream* out) {
    *out << quotedExcerpt(c.line, 32);
}

class CheckIniValue : public testing::TestWithParam<ValueCase> {};

// As the modder wrote it where the plug-in holds exactly that, else the shortest text of the float.
TEST_P(CheckIniValue, IsPrintedAsWrittenOrAsTheShortestFloat) {
    TempFolder folder;
    folder.write("s.ini", "[Settings]\n" + GetParam().line + "\n");
    const Checked checked = check("s.ini");
    EXPECT_NE(checked.output.find(GetParam().shown + "\n"), std::string::npos) << checked.output;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckIniValue,
    testing::Values(ValueCase{"Volume Damage=0.3", "  Volume Damage            = 0.3"},
                    ValueCase{"Volume Damage=0.30000000001", "  Volume Damage            = 0.3"},
                    ValueCase{"Volume Noise=0.250", "  Volume Noise             = 0.250"},
                    ValueCase{"Impact intensity=  300.0 ", "  Impact intensity         = 300.0"},
                    ValueCase{"Impact intensity=1e-1", "  Impact intensity         = 0.1"},
                    ValueCase{"Volume Noise=16777217", "  Volume Noise             = 16777216"}));

struct UnreadableCase {
    const char* name;
    const char* path;
    const char* message;
};

class CheckIniUnreadable : public testing::TestWithParam<UnreadableCase> {};

TEST_P(CheckIniUnreadable, IsAnErrorThatNamesWhy) {
    TempFolder folder;
    folder.makeFolder("folder.ini");
    const Checked checked = check(GetParam().path);
    EXPECT_EQ(checked.result, 2);
    EXPECT_EQ(checked.messages, GetParam().message);
    EXPECT_EQ(checked.output, "");
}

INSTANTIATE_TEST_SUITE_P(, CheckIniUnreadable,
                         testing::Values(UnreadableCase{"missing", "missing.ini",
                                                        "missing.ini: cannot read: no such file\n"},
                                         UnreadableCase{
                                             "folder", "folder.ini",
                                             "folder.ini: cannot read: a folder, not a file\n"}),
                         CaseName());

}  // namespace
