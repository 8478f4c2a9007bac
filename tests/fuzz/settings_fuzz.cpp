// Fuzz target: a settings file of arbitrary bytes read through the Linux profile calls and
// readSettings. Beyond what the sanitizers catch, it checks what the calls promise their callers:
// the string call answers the length of the NUL-terminated text it left inside the buffer, and
// readSettings never leaves the longest duck shorter than the shortest.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compat/profile_file.h"
#include "config/settings.h"
#include "fuzz_support.h"
#include "platform/win32_api.h"

namespace {

const TempFolder folder(TempFolder::Enter::no);

// The smallest buffers, the integer call's own size and the plug-in's float text size. Each is
// allocated at exactly its size, so AddressSanitizer sees a write past it.
constexpr DWORD bufferSizes[] = {1, 2, 7, platform::profileIntegerBufferSize, settingTextSize};

// Keys asked for at every buffer size: the plug-in's own are read by readSettings, so these are the
// first few the file holds, which makes names the fuzzer makes up count too. Each call reads the
// whole file again: a few keep the target fast.
constexpr std::size_t keysAskedFor = 3;

void askFor(const std::string& section, const std::string& key, const std::string& path) {
    for (DWORD size : bufferSizes) {
        auto buffer = std::make_unique<char[]>(size);
        DWORD copied = GetPrivateProfileStringA(section.c_str(), key.c_str(), "fallback  ",
                                                buffer.get(), size, path.c_str());
        require(copied < size && std::strlen(buffer.get()) == copied,
                "the string call's result is the length of the text in a buffer of " +
                    std::to_string(size));
    }
    GetPrivateProfileIntA(section.c_str(), key.c_str(), -1, path.c_str());
}

// The section and key names of the file's first keys, as the A calls spell them.
std::vector<std::pair<std::string, std::string>> namesInFile(const std::uint8_t* data,
                                                             std::size_t size) {
    const platform::Profile profile =
        platform::parseProfile({reinterpret_cast<const char*>(data), size});
    std::vector<std::pair<std::string, std::string>> names;
    for (const platform::ProfileSection& section : profile) {
        for (const platform::ProfileKey& key : section.keys) {
            if (names.size() == keysAskedFor) return names;
            names.emplace_back(platform::narrowToAnsi(section.name),
                               platform::narrowToAnsi(key.name));
        }
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path =
        folder.write("Ostrelle.ini", std::string(reinterpret_cast<const char*>(data), size));

    EffectSettings settings;
    readSettings(path.c_str(), settings);
    require(settings.maxImpactMs >= settings.minImpactMs,
            "the longest duck is never shorter than the shortest");

    for (const auto& [section, key] : namesInFile(data, size)) askFor(section, key, path);
    return 0;
}
