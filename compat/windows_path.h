// File names as Windows finds them: each part of a path matches a name on disk without regard to
// letter case, as Windows compares names (each character as its capital, in every alphabet: a
// modder names and renames files in Explorer, whatever the plug-in's code page; Linux names spell
// them in UTF-8). Linux keeps names that differ only in case apart and Windows cannot hold both,
// so one is taken by a fixed rule: the name spelled exactly as asked, else the first in byte order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The name as Windows compares it: every character of the Basic Multilingual Plane turned into
// its capital (compat/windows_upper_case.h); characters beyond it and bytes that are not UTF-8
// stay as they are. Two names are one name to Windows when these are equal.
std::string foldedName(std::string_view name);

// Whether two names are the same name to Windows.
bool sameWindowsName(std::string_view a, std::string_view b);

// The path on disk that Windows would open for a Linux path ('/' separators), each existing part
// spelled as it is on disk. A part that matches nothing ends the look-up: the rest is kept as
// asked, so the path names nothing, as before.
std::string windowsPath(std::string_view path);

// The same look-up for path inside folder, a Linux path taken as it is ('\' and letter case
// included): Windows' rules apply to the names inside it, never to the folder's own, which a
// user gave or the tools made.
std::string windowsPathBelow(std::string_view folder, std::string_view path);

// A name on disk that the look-up of path passed over because another name, differing only in
// case, was taken: both as full paths.
struct CaseTwin {
    std::string taken;
    std::string passedOver;
};

// Every case twin on the way from folder to path inside it, in the order of its parts.
std::vector<CaseTwin> caseTwinsBelow(std::string_view folder, std::string_view path);

// Folders named in Linux terms: the tools' own temporary folders and the folders given on their
// command line. A path the plug-in builds that begins with one of them, or with the current
// folder (win32_api.h), keeps that part exactly as it is; only what follows is read with
// Windows' rules ('\' as '/', names in any case).
void setLinuxFolders(std::vector<std::string> folders);

}  // namespace platform
