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

// The folder of the module's wide name, in wideName; "" when it cannot be had whole.
std::wstring_view wideFolder(HMODULE module) {
    DWORD length = GetModuleFileNameW(module, wideName, PathText::capacity + 1);
    if (length == 0 || length > PathText::capacity) return {};
    std::wstring_view name(wideName, length);
    std::size_t separator = name.find_last_of(L"\\/");
    if (separator == std::wstring_view::npos) return {};
    wideName[separator] = L'\0';
    return name.substr(0, separator);
}

// wide in the code page of the ANSI calls, in ansiName; "" when that code page has not every
// character of it. No look-alike stands in: best fit would give "Łucja" as "Lucja".
std::string_view exactAnsi(std::wstring_view wide) {
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                   static_cast<int>(wide.size()), ansiName, PathText::capacity,
                                   nullptr, &lossy);
    return size > 0 && !lossy ? std::string_view(ansiName, static_cast<std::size_t>(size))
                              : std::string_view();
}

}  // namespace

void ansiFolderOf(HMODULE module, PathText& folder) {
    // It always fits: the folder is part of the module's name.
    folder.assign(folderOfModule(ansiFileName(module)));
    // The ANSI name gives a character the code page has not as '?' or as a look-alike; then no
    // call finds anything through it. The wide name tells whether it holds every character.
    std::wstring_view wide = wideFolder(module);
    if (wide.empty() || !exactAnsi(wide).empty()) return;
    // The same buffer for both: Windows allows it, and the short name is never longer.
    DWORD length = GetShortPathNameW(wideName, wideName, PathText::capacity + 1);
    if (length == 0 || length > PathText::capacity) return;
    std::string_view shortName = exactAnsi(std::wstring_view(wideName, length));
    if (!shortName.empty()) folder.assign(shortName);
}
