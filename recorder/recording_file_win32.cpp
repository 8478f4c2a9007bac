#include "recorder/recording_file_win32.h"

#include <charconv>
#include <cstring>

#include "common/plugin_directory.h"
#include "config/settings.h"

namespace {

// Appends value with at least width digits.
bool appendNumber(PathText& path, unsigned value, int width) {
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad) {
        if (!path.append("0")) return false;
    }
    return path.append({digits, static_cast<std::size_t>(end - digits)});
}

// "drive-2026-12-07-171503" and "-2", "-3"... after it when that name is taken.
bool appendName(PathText& path, const SYSTEMTIME& time, unsigned attempt) {
    return path.append("\\drive-") && appendNumber(path, time.wYear, 4) && path.append("-") &&
           appendNumber(path, time.wMonth, 2) && path.append("-") &&
           appendNumber(path, time.wDay, 2) && path.append("-") &&
           appendNumber(path, time.wHour, 2) && appendNumber(path, time.wMinute, 2) &&
           appendNumber(path, time.wSecond, 2) &&
           (attempt == 1 || (path.append("-") && appendNumber(path, attempt, 1)));
}

bool makeFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The settings file the plug-in reads, by its own look-up; a bare name is the Windows folder's.
bool settingsSource(PathText& path) {
    locateSettingsFile(pluginDirectory.view(), path);
    if (path.view() != "Ostrelle.ini") return true;
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    return length > 0 && length < sizeof windows && path.assign({windows, length}) &&
           path.append("\\Ostrelle.ini");
}

PathText folder;
PathText source;

}  // namespace

bool RecordingFile::open() {
    if (folder.assign(pluginDirectory.view()) && folder.append("\\Ostrelle recordings") &&
        openIn(folder)) {
        return true;
    }
    char localAppData[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", localAppData, sizeof localAppData);
    return length > 0 && length < sizeof localAppData && folder.assign({localAppData, length}) &&
           folder.append("\\Ostrelle") && makeFolder(folder.c_str()) &&
           folder.append("\\recordings") && openIn(folder);
}

bool RecordingFile::openIn(const PathText& in) {
    if (!makeFolder(in.c_str())) return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (unsigned attempt = 1; attempt < 100; ++attempt) {
        if (!csvPath.assign(in.view()) || !appendName(csvPath, now, attempt) ||
            !iniPath.assign(csvPath.view()) || !csvPath.append(".csv") || !iniPath.append(".ini")) {
            return false;
        }
        HANDLE created = CreateFileA(csvPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            csv = created;
            break;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (csv == nullptr) return false;
    if (createFiles()) return true;
    close();
    return false;
}

// The header, and the settings beside it: a copy of the file the plug-in reads, or an empty file
// (every key at its default) when there is none.
bool RecordingFile::createFiles() {
    std::memcpy(text, replayHeader.data(), replayHeader.size());
    textSize = replayHeader.size();
    if (!flush()) return false;
    if (settingsSource(source) && GetFileAttributesA(source.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return CopyFileA(source.c_str(), iniPath.c_str(), FALSE) != 0;
    }
    HANDLE ini = CreateFileA(iniPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ini == INVALID_HANDLE_VALUE) return false;
    CloseHandle(ini);
    return true;
}

bool RecordingFile::add(const RecordedRow& row) {
    if (sizeof text - textSize < maxRowText && !flush()) return false;
    textSize += formatRow(row, text + textSize);
    return true;
}

bool RecordingFile::flush() {
    DWORD done = 0;
    if (textSize > 0 &&
        (!WriteFile(csv, text, static_cast<DWORD>(textSize), &done, nullptr) || done != textSize)) {
        LARGE_INTEGER whole;
        whole.QuadPart = written;
        SetFilePointerEx(csv, whole, nullptr, FILE_BEGIN);
        SetEndOfFile(csv);
        return false;
    }
    written += static_cast<LONGLONG>(textSize);
    textSize = 0;
    return true;
}

void RecordingFile::close() {
    if (csv == nullptr) return;
    CloseHandle(csv);
    csv = nullptr;
    if (written > static_cast<LONGLONG>(replayHeader.size())) return;
    DeleteFileA(csvPath.c_str());
    DeleteFileA(iniPath.c_str());
}
