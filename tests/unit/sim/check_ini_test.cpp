#include "sim/check_ini.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

struct Checked {
    int result;
    std::string output;
};

Checked check(const std::string& path) {
    std::ostringstream out;
    const int result = checkIni(path, out);
    return {result, out.str()};
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

TEST(CheckIni, WarnsOfEachSurpriseWithItsLine) {
    struct Case {
        std::string text;
        std::vector<std::string> expected;  // "LINE: warning: ..." each
    };
    const Case cases[] = {
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
         {"2: warning: 'Impact intensity' is longer than 63 characters: only '" +
          std::string(63, '1') + "' is read"}},
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
    };
    TempFolder folder;
    for (const Case& c : cases) {
        folder.write("s.ini", c.text);
        const Checked checked = check("s.ini");
        EXPECT_EQ(warnings(checked.output), c.expected) << checked.output;
        EXPECT_EQ(checked.result, c.expected.empty() ? 0 : 1) << checked.output;
    }
}

TEST(CheckIni, AFileThatCannotBeReadIsAnError) {
    TempFolder folder;
    folder.makeFolder("folder.ini");
    const std::pair<const char*, const char*> cases[] = {
        {"missing.ini", "missing.ini: cannot read: no such file\n"},
        {"folder.ini", "folder.ini: cannot read: a folder, not a file\n"},
    };
    for (const auto& [path, expected] : cases) {
        const Checked checked = check(path);
        EXPECT_EQ(checked.result, 2);
        EXPECT_EQ(checked.output, expected);
    }
}

}  // namespace
