#include "recorder/recording_file_win32.h"

#include <cstring>
#include <iterator>

#include "config/settings.h"
#include "platform/module_folder_win32.h"

namespace {

// Appends value with at least width digits.
bool appendNumber(WidePath& path, unsigned value, int width) {
    wchar_t digits[16];
    wchar_t* start = std::end(digits);
    do {
        *--start = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0 || std::end(digits) - start < width);
    return path.append({start, static_cast<std::size_t>(std::end(digits) - start)});
}

// "drive-2026-12-07-171503" and "-2", "-3"... after it when that name is taken.
bool appendName(WidePath& path, const SYSTEMTIME& time, unsigned attempt) {
    return path.append(L"\\drive-") && appendNumber(path, time.wYear, 4) && path.append(L"-") &&
           appendNumber(path, time.wMonth, 2) && path.append(L"-") &&
           appendNumber(path, time.wDay, 2) && path.append(L"-") &&
           appendNumber(path, time.wHour, 2) && appendNumber(path, time.wMinute, 2) &&
           appendNumber(path, time.wSecond, 2) &&
           (attempt == 1 || (path.append(L"-") && appendNumber(path, attempt, 1)));
}

bool makeFolder(const WidePath& path) {
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

wchar_t wideText[WidePath::capacity + 1];

// path in the "\\?\" form, which the wide calls take beyond 260 characters; a relative path
// stays as it is.
bool assignLongForm(WidePath& path, std::wstring_view text) {
    if (text.starts_with(L"\\\\?\\")) return path.assign(text);
    if (text.starts_with(L"\\\\"))
        return path.assign(L"\\\\?\\UNC") && path.append({text.data() + 1, text.size() - 1});
    if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') {
        return path.assign(L"\\\\?\\") && path.append(text);
    }
    return path.assign(text);
}

// The recorder's own module: the one that holds this code.
HMODULE recorderModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&recorderModule), &module);
    return module;
}

// The folder the recorder's file lies in.
bool recorderFolder(WidePath& folder) {
    DWORD length = GetModuleFileNameW(recorderModule(), wideText, WidePath::capacity + 1);
    if (length == 0 || length > WidePath::capacity) return false;
    std::wstring_view name(wideText, length);
    std::size_t separator = name.find_last_of(L"\\/");
    return separator != std::wstring_view::npos && assignLongForm(folder, {wideText, separator});
}

// %LOCALAPPDATA%, the user's own folder for programs' data.
bool perUserFolder(WidePath& folder) {
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", wideText, WidePath::capacity + 1);
    return length > 0 && length <= WidePath::capacity && assignLongForm(folder, {wideText, length});
}

// The settings file the plug-in reads, by its own look-up from its own folder (the recorder's
// when the plug-in is not in the process); a bare name is the Windows folder's.
bool locateSettings(PathText& folder, PathText& path) {
    HMODULE plugin = GetModuleHandleW(L"Ostrelle.dll");
    ansiFolderOf(plugin != nullptr ? plugin : recorderModule(), folder);
    locateSettingsFile(folder.view(), path);
    if (path.view() != "Ostrelle.ini") return true;
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    return length > 0 && length < sizeof windows && path.assign({windows, length}) &&
           path.append("\\Ostrelle.ini");
}

bool writeAll(HANDLE file, const void* data, std::size_t size) {
    DWORD done = 0;
    return WriteFile(file, data, static_cast<DWORD>(size), &done, nullptr) && done == size;
}

// How a settings file's text is encoded, by its byte order mark, as the profile calls read it.
enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

struct ByteOrderMark {
    Encoding encoding;
    std::string_view bytes;
};
constexpr ByteOrderMark byteOrderMarks[] = {{Encoding::Utf8, "\xEF\xBB\xBF"},
                                            {Encoding::Utf16Le, "\xFF\xFE"},
                                            {Encoding::Utf16Be, "\xFE\xFF"}};

ByteOrderMark byteOrderMarkOf(std::string_view start) {
    for (const ByteOrderMark& mark : byteOrderMarks) {
        if (start.starts_with(mark.bytes)) return mark;
    }
    return {Encoding::Ansi, {}};
}

char noteBytes[3 * (PathText::capacity + 100)];

// Writes note (ANSI text) in encoding: a line the profile calls read past, as they do every line
// before the first section.
bool writeNote(HANDLE file, std::string_view note, Encoding encoding) {
    if (encoding == Encoding::Ansi) return writeAll(file, note.data(), note.size());
    int units = MultiByteToWideChar(CP_ACP, 0, note.data(), static_cast<int>(note.size()), wideText,
                                    WidePath::capacity);
    if (units <= 0) return false;
    if (encoding == Encoding::Utf8) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wideText, units, noteBytes, sizeof noteBytes,
                                       nullptr, nullptr);
        return size > 0 && writeAll(file, noteBytes, static_cast<std::size_t>(size));
    }
    for (int i = 0; i < units; ++i) {
        auto unit = static_cast<std::uint16_t>(wideText[i]);
        bool littleEndian = encoding == Encoding::Utf16Le;
        noteBytes[2 * i] = static_cast<char>(littleEndian ? unit & 0xFF : unit >> 8);
        noteBytes[2 * i + 1] = static_cast<char>(littleEndian ? unit >> 8 : unit & 0xFF);
    }
    return writeAll(file, noteBytes, 2 * static_cast<std::size_t>(units));
}

}  // namespace

bool RecordingFile::open() {
    if (recorderFolder(folder) && folder.append(L"\\Ostrelle recordings") && openIn()) {
        return true;
    }
    return perUserFolder(folder) && folder.append(L"\\Ostrelle") && makeFolder(folder) &&
           folder.append(L"\\recordings") && openIn();
}

bool RecordingFile::openIn() {
    if (!makeFolder(folder)) return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (unsigned attempt = 1; attempt < 100; ++attempt) {
        if (!csvPath.assign(folder.view()) || !appendName(csvPath, now, attempt) ||
            !iniPath.assign(csvPath.view()) || !csvPath.append(L".csv") ||
            !iniPath.append(L".ini")) {
            return false;
        }
        HANDLE created = CreateFileW(csvPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
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

// The header, and the settings beside it.
bool RecordingFile::createFiles() {
    // A recording begun in the first folder and given up counts nothing here.
    written = 0;
    std::memcpy(text, replayHeader.data(), replayHeader.size());
    textSize = replayHeader.size();
    if (!flush()) return false;
    // Made anew, not copied: a read-only settings file would give a copy that cannot be deleted.
    HANDLE ini = CreateFileW(iniPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ini == INVALID_HANDLE_VALUE) return false;
    bool whole = writeSettings(ini);
    CloseHandle(ini);
    return whole;
}

// A note that says which file the plug-in reads, then a copy of it; only the note when there is
// none (every key then reads its default).
bool RecordingFile::writeSettings(HANDLE ini) {
    if (!locateSettings(settingsFolder, settings)) return false;
    HANDLE source = CreateFileA(settings.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool found = source != INVALID_HANDLE_VALUE;
    PathText& note = settingsFolder;  // the folder is no longer needed
    if (!note.assign(found ? "; A copy of " : "; No settings file at ") ||
        !note.append(settings.view()) ||
        !note.append(found ? ", the settings the plug-in read\r\n"
                           : ": every key read its default\r\n")) {
        note.assign("; A copy of the settings the plug-in read\r\n");
    }
    if (!found) return writeNote(ini, note.view(), Encoding::Ansi);
    // The note goes after the byte order mark, in the file's own encoding.
    DWORD size = 0;
    bool whole = ReadFile(source, text, sizeof text, &size, nullptr) != 0;
    ByteOrderMark mark = byteOrderMarkOf({text, size});
    whole = whole && writeAll(ini, mark.bytes.data(), mark.bytes.size()) &&
            writeNote(ini, note.view(), mark.encoding) &&
            writeAll(ini, text + mark.bytes.size(), size - mark.bytes.size());
    while (whole && size > 0) {
        whole = ReadFile(source, text, sizeof text, &size, nullptr) && writeAll(ini, text, size);
    }
    CloseHandle(source);
    return whole;
}

bool RecordingFile::add(const RecordedRow& row) {
    if (sizeof text - textSize < maxRowText && !flush()) return false;
    textSize += formatRow(row, text + textSize);
    return true;
}

bool RecordingFile::flush() {
    if (textSize > 0 && !writeAll(csv, text, textSize)) {
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
    DeleteFileW(csvPath.c_str());
    DeleteFileW(iniPath.c_str());
}
