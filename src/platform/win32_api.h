// The Win32 calls the plug-in makes, under their Win32 names. On Windows this is <windows.h>
// itself; on Linux it declares our own replacements (win32_api_linux.cpp), so the code above this
// layer is the same on both builds and builds its paths with backslashes on both.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using BOOL = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using LPCSTR = const char*;
using LPSTR = char*;

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10u;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80u;

// Profile calls that read a settings file as Windows does; its rules are listed in
// profile_file.h. The string call's result is the number of characters copied, 0 when the buffer
// is null or its size 0; a null section, key or path reads nothing and gives the default.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                               DWORD size, LPCSTR path);
// The key's value read as an integer the way Windows reads it, or the default when the file, the
// section or the key is absent or the value is empty.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR path);
// INVALID_FILE_ATTRIBUTES when nothing is at the path; FILE_ATTRIBUTE_DIRECTORY set for a folder.
DWORD GetFileAttributesA(LPCSTR path);
// Milliseconds from CLOCK_MONOTONIC truncated to 32 bits, or from the source set below.
DWORD GetTickCount();

// Knobs of the Linux replacement that Windows has no counterpart for. Every path handed to the
// calls above has '\' read as '/', and each of its parts matches a name on disk without regard to
// letter case, as on Windows (compat/windows_path.h).
namespace platform {

// The Linux path that the calls above, and the Linux audio library's file open, use for a path
// the plug-in names: '\' read as '/', a relative path taken from the current folder set below,
// each part spelled as the matching name on disk.
std::string linuxPathOf(std::string_view path);

// Where a bare file name (one without any separator) is looked for by the profile calls, in place
// of the Windows folder. Empty, the default, means the current directory.
void setWindowsFolder(std::string folder);

// The game's current directory, against which GetFileAttributesA resolves a relative path, so a
// check of a game's folder can search it as the game would. Empty, the default, means the
// process's.
void setCurrentFolder(std::string folder);

// Replaces the clock behind GetTickCount, for the simulator and tests; nullptr restores it.
using TickSource = DWORD (*)();
void setTickSource(TickSource source);

}  // namespace platform
#endif
