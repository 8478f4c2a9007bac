// The exact calls readSettings makes, against a recording stand-in for the two profile calls: the
// real ones compare key names without regard to letter case, so they would not show a key asked
// for in the wrong case, a wrong default text or a wrong buffer size.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/win32_api.h"

using ::testing::ElementsAre;

namespace {
std::vector<std::string> calls;
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR path) {
    calls.push_back(std::string("String ") + section + "|" + key + "|" + defaultText + "|" +
                    std::to_string(size) + "|" + path);
    std::strncpy(buffer, defaultText, size);
    return static_cast<DWORD>(std::strlen(buffer));
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path) {
    calls.push_back(std::string("Int ") + section + "|" + key + "|" + std::to_string(defaultValue) +
                    "|" + path);
    return static_cast<UINT>(defaultValue);
}

namespace {

TEST(ReadSettings, AsksForEachKeyExactlyInOrderWithItsDefault) {
    EffectSettings settings;
    readSettings("C:\\game\\Ostrelle.ini", settings);
    EXPECT_THAT(calls,
                ElementsAre("String Settings|Volume Damage|1.00|64|C:\\game\\Ostrelle.ini",
                            "String Settings|Impact intensity|250.00|64|C:\\game\\Ostrelle.ini",
                            "Int Settings|Minimum time impact SFX|2000|C:\\game\\Ostrelle.ini",
                            "Int Settings|Maximum time impact SFX|5000|C:\\game\\Ostrelle.ini",
                            "Int Settings|Radio Duck Volume|20|C:\\game\\Ostrelle.ini",
                            "Int Settings|Enable Tunnel Static|1|C:\\game\\Ostrelle.ini",
                            "String Settings|Volume Noise|1.00|64|C:\\game\\Ostrelle.ini",
                            "Int Settings|Tunnel Radio Duck Volume|30|C:\\game\\Ostrelle.ini"));
}

}  // namespace
