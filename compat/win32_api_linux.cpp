// The Linux replacement of the Win32 calls the plug-in makes (see win32_api.h). The profile calls
// read the file with profile_file.h, which follows Windows' rules.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

#include "compat/profile_file.h"
#include "compat/windows_path.h"
#include "platform/win32_api.h"

namespace {

std::string windowsFolder;
std::string currentFolder;
std::vector<std::string> linuxFolders;
std::atomic<platform::TickSource> tickSource{nullptr};

// The path as the file system wants it: '\' read as '/'.
std::string unixPath(std::string_view path) {
    std::string mapped(path);
    std::replace(mapped.begin(), mapped.end(), '\\', '/');
    return mapped;
}

// Whether path begins with folder, up to a separator or its end.
bool isInside(std::string_view path, std::string_view folder) {
    return !folder.empty() && path.starts_with(folder) &&
           (path.size() == folder.size() || path[folder.size()] == '\\' ||
            path[folder.size()] == '/' || folder.back() == '/');
}

// The Linux path of a path the plug-in names: a folder given in Linux terms at its start is kept
// as it is, and only the rest is read with Windows' rules; a relative path is inside the
// current folder.
std::string mappedPath(std::string_view path) {
    for (const std::string& folder : linuxFolders) {
        if (isInside(path, folder)) {
            return platform::windowsPathBelow(folder, unixPath(path.substr(folder.size())));
        }
    }
    if (isInside(path, currentFolder)) {
        return platform::windowsPathBelow(currentFolder,
                                          unixPath(path.substr(currentFolder.size())));
    }
    const std::string mapped = unixPath(path);
    if (!currentFolder.empty() && !mapped.empty() && mapped.front() != '/') {
        return platform::windowsPathBelow(currentFolder, '/' + mapped);
    }
    return platform::windowsPath(mapped);
}

// Where the profile calls find a file: a bare file name lives in the Windows folder.
std::string profileFilePath(std::string_view path) {
    if (unixPath(path).find('/') == std::string::npos && !windowsFolder.empty()) {
        return platform::windowsPathBelow(windowsFolder, '/' + unixPath(path));
    }
    return mappedPath(path);
}

// The key an A call asks for in the file at path, or nothing when the path, section or key is
// null, the file cannot be read or the key is absent.
std::optional<platform::ProfileKey> findKey(LPCSTR section, LPCSTR key, LPCSTR path) {
    if (section == nullptr || key == nullptr || path == nullptr || *path == '\0') {
        return std::nullopt;
    }
    const std::optional<std::string> bytes = platform::readProfileBytes(profileFilePath(path));
    if (!bytes) return std::nullopt;
    const platform::Profile profile = platform::parseProfile(*bytes);
    const platform::ProfileKey* found =
        platform::findProfileKey(profile, platform::widenAnsi(section), platform::widenAnsi(key));
    if (found == nullptr) return std::nullopt;
    return *found;
}

// The default text with trailing spaces removed, as Windows does; null reads as empty.
std::string_view defaultTextOf(LPCSTR defaultText) {
    std::string_view text = defaultText != nullptr ? defaultText : "";
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR path) {
    if (buffer == nullptr || size == 0) return 0;
    const std::optional<platform::ProfileKey> found = findKey(section, key, path);
    const std::optional<std::u16string> value =
        found ? platform::profileText(&*found, size) : std::nullopt;
    const std::string text =
        value ? platform::narrowToAnsi(*value) : std::string(defaultTextOf(defaultText));
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path) {
    const std::optional<platform::ProfileKey> found = findKey(section, key, path);
    const std::optional<platform::ProfileInteger> reading =
        found ? platform::profileInteger(&*found) : std::nullopt;
    return reading ? reading->value : static_cast<UINT>(defaultValue);
}

DWORD GetFileAttributesA(LPCSTR path) {
    struct stat status {};
    if (path == nullptr || *path == '\0' ||
        stat(platform::linuxPathOf(path).c_str(), &status) != 0) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetTickCount() {
    if (const platform::TickSource source = tickSource.load()) return source();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000u;
    return static_cast<DWORD>(milliseconds);
}

namespace platform {

std::string linuxPathOf(std::string_view path) {
    return mappedPath(path);
}

void setLinuxFolders(std::vector<std::string> folders) {
    linuxFolders = std::move(folders);
}

void setWindowsFolder(std::string folder) {
    windowsFolder = std::move(folder);
}

void setCurrentFolder(std::string folder) {
    currentFolder = std::move(folder);
}

void setTickSource(TickSource source) {
    tickSource.store(source);
}

}  // namespace platform
