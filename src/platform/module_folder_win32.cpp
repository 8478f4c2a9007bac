#include "platform/module_folder_win32.h"

#include <string_view>

#include "common/plugin_directory.h"

namespace {

// Room for the longest path Windows has, so that one call gets any module name whole.
char ansiName[PathText::capacity + 1];
wchar_t wideName[PathText::capacity + 1];

// The full path of the module; "" when it cannot be had whole.
std::string_view ansiFileName(HMODULE module) {
    DWORD length = GetModuleFileNameA(module, ansiName, sizeof ansiName);
    return length < sizeof ansiName ? std::string_view(ansiName, length) : std::string_view();
}

// The module's folder by its wide name, its short name where there is one, in the code page of
// the ANSI calls; "" when it cannot be had, or holds a character that code page has not.
std::string_view shortFolder(HMODULE module) {
    DWORD length = GetModuleFileNameW(module, wideName, PathText::capacity + 1);
    if (length == 0 || length > PathText::capacity) return {};
    std::wstring_view name(wideName, length);
    std::size_t separator = name.find_last_of(L"\\/");
    if (separator == std::wstring_view::npos) return {};
    wideName[separator] = L'\0';
    // The same buffer for both: Windows allows it, and the short name is never longer.
    length = GetShortPathNameW(wideName, wideName, PathText::capacity + 1);
    if (length == 0 || length > PathText::capacity) return {};
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideName, static_cast<int>(length),
                                   ansiName, PathText::capacity, nullptr, &lossy);
    return size > 0 && !lossy ? std::string_view(ansiName, static_cast<std::size_t>(size))
                              : std::string_view();
}

std::size_t questionMarks(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = text.find('?'); at != std::string_view::npos;
         at = text.find('?', at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

void ansiFolderOf(HMODULE module, PathText& folder) {
    // It always fits: the folder is part of the module's name.
    folder.assign(folderOfModule(ansiFileName(module)));
    // No file name holds '?': one is a character the code page could not hold. Only "\\?\"
    // before a long path has one of its own.
    std::string_view ansi = folder.view();
    bool longForm = ansi.starts_with("\\\\?\\");
    if (questionMarks(ansi) == (longForm ? 1u : 0u)) return;
    std::string_view shortName = shortFolder(module);
    if (!shortName.empty()) folder.assign(shortName);
}
