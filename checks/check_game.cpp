#include "checks/check_game.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "checks/bass_imports.h"
#include "checks/check_ini.h"
#include "checks/pe_file.h"
#include "common/path_text.h"
#include "compat/windows_path.h"
#include "entry/near_call.h"
#include "host/game_addresses.h"
#include "platform/win32_api.h"
#include "sound/sound_player.h"
#include "standins/audio/sound_refusal.h"
#include "text/json_text.h"
#include "text/shown_text.h"

namespace {

namespace fs = std::filesystem;

// Far beyond the game's program or the audio library; a bound for what is read into memory.
constexpr std::uintmax_t maxFileBytes = 256u << 20;

bool sameName(const fs::path& path, std::string_view name) {
    return platform::sameWindowsName(path.filename().string(), name);
}

// The files the checks open, by name as Windows matches names (without regard to case): the
// programs and the audio library in the game's folder itself; the plug-in wherever it lies below,
// its settings beside it, and its sounds (pluginSounds) wherever its search finds them. Of every
// other file the checks ask only whether it is there (see checkGameReads).
constexpr std::string_view programExtension = ".exe";
constexpr std::string_view audioLibraryName = "bass.dll";
constexpr std::string_view pluginName = "Ostrelle.dll";
constexpr std::string_view settingsName = "Ostrelle.ini";

// What a file that should be a Windows program or library is instead, when its first bytes say
// so plainly, or "".
std::string notAnImage(std::string_view bytes) {
    if (bytes.empty()) return "an empty file";
    if (bytes.starts_with("\xEF\xBB\xBF")) return "a text file (UTF-8 with a byte-order mark)";
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return "a text file (UTF-16)";
    }
    return "";
}

// What a player can do about a file or folder the checks may not read: only a permission is the
// player's to grant.
std::string readAdvice(const std::error_code& unread) {
    const bool denied =
        unread == std::errc::permission_denied || unread == std::errc::operation_not_permitted;
    return denied ? "Run the check as the user who plays the game, or let that user read it." : "";
}

// Where the checks send a player who gave something other than the game.
constexpr std::string_view giveTheGame = "Give the game's folder, or its .exe.";

// The system's reason for not reading a file, as a report says it: it tells nothing of what the
// file holds, which may well be right.
std::string cannotReadText(const std::error_code& unread) {
    return "cannot be read (" + unread.message() + ")";
}

// The line of a file the checks could not read: what (the file as the line names it) and the
// system's reason, and the advice when the reason is a permission the player can grant.
void cannotRead(CheckLine& line, const std::string& what, const std::error_code& unread) {
    line.finding = what + ' ' + cannotReadText(unread);
    line.advice = readAdvice(unread);
}

// The file at path opened to read, or -1 with the system's reason in unread. It never waits: a
// named pipe called bass.dll must not hang the check.
int openToRead(const fs::path& path, std::error_code& unread) {
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) unread.assign(errno, std::generic_category());
    return file;
}

// Why the system would not let the checks read the file at path, or no error.
std::error_code openError(const fs::path& path) {
    std::error_code unread;
    const int file = openToRead(path, unread);
    if (file >= 0) ::close(file);
    return unread;
}

// size bytes from the open file, fewer if it shrinks meanwhile, or nullopt with the reason.
std::optional<std::string> readAll(int file, std::size_t size, std::error_code& unread) {
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::read(file, bytes.data() + done, size - done);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            unread.assign(errno, std::generic_category());
            return std::nullopt;
        }
        if (count == 0) break;
        done += static_cast<std::size_t>(count);
    }
    bytes.resize(done);
    return bytes;
}

// The file's bytes, or nullopt: with the system's reason in unread when it would not let the
// checks read them, else with why the file cannot be a program or library.
std::optional<std::string> readFile(const fs::path& path, std::error_code& unread,
                                    std::string& why) {
    const int file = openToRead(path, unread);
    if (file < 0) return std::nullopt;
    std::optional<std::string> bytes;
    struct stat status {};
    if (fstat(file, &status) != 0) {
        unread.assign(errno, std::generic_category());
    } else if (S_ISDIR(status.st_mode)) {
        why = "a folder, not a file";
    } else if (!S_ISREG(status.st_mode)) {
        why = "not a regular file";
    } else if (static_cast<std::uintmax_t>(status.st_size) > maxFileBytes) {
        why = "larger than 256 MiB";
    } else {
        bytes = readAll(file, static_cast<std::size_t>(status.st_size), unread);
    }
    ::close(file);
    return bytes;
}

// The file's problem as a program or library: that it cannot be read (with the reason in
// unread), what it is instead, or what problemOf finds in its bytes.
std::string fileProblem(const fs::path& path, std::string (*problemOf)(std::string_view),
                        std::error_code& unread) {
    std::string why;
    const std::optional<std::string> bytes = readFile(path, unread, why);
    if (unread) return cannotReadText(unread);
    if (!bytes) return why;
    const std::string plainly = notAnImage(*bytes);
    return plainly.empty() ? problemOf(*bytes) : plainly;
}

// The files in folder whose name wanted accepts, sorted; error tells why the folder could not be
// read.
template <typename Wanted>
std::vector<fs::path> filesIn(const fs::path& folder, Wanted wanted, std::error_code& error) {
    std::vector<fs::path> found;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code notAFile;
        if (wanted(it->path()) && it->is_regular_file(notAFile)) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<fs::path> programsIn(const fs::path& folder, std::error_code& error) {
    return filesIn(
        folder, [](const fs::path& path) { return sameName(path.extension(), programExtension); },
        error);
}

// A path as the player sees it in the game's folder: relative to it, with '/'.
std::string shown(const fs::path& path, const fs::path& folder);

// A folder as the file system knows it, so that a folder reached twice through links is seen
// once.
struct FolderId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FolderId&) const = default;
};

// Whether path lies inside folder (both real paths).
bool isBelow(const fs::path& path, const fs::path& folder) {
    const std::string text = path.string(), prefix = folder.string();
    return prefix == "/" || text.rfind(prefix + '/', 0) == 0;
}

// Why a folder reached through a link is not searched, or "": one that holds the game's folder
// (a link to /, to a drive's root under Wine, to a parent) would make the search the whole
// machine's, and the system's own folders hold no game's files.
std::string outOfBounds(const fs::path& real, const fs::path& game) {
    for (const fs::path system : {"/proc", "/sys", "/dev"}) {
        if (real == system || isBelow(real, system)) return "the system's own folder";
    }
    if (real == game || isBelow(game, real)) return "it holds the game's folder";
    return "";
}

// The search for every file called name in the game's folder and below, nearest first and, at
// each depth, folders before links to folders, so that a file is judged by the path the game
// sees first. Folders reached through links (mod managers make them; Windows junctions look
// like them under Wine) are searched too, each folder once.
class FileSearch {
  public:
    FileSearch(const fs::path& game, std::string_view name, std::size_t maxEntries)
        : game(game), name(name), maxEntries(maxEntries) {
        std::error_code error;
        real = fs::canonical(game, error);
        if (error) real = game;
    }

    std::vector<fs::path> run() {
        std::vector<fs::path> queue{game};
        markSeen(game);
        for (std::size_t next = 0; next < queue.size() && !stopped; ++next) {
            searchIn(queue[next], queue);
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    std::vector<std::string> notes;  // folders not searched, and why

  private:
    bool markSeen(const fs::path& folder) {
        struct stat status {};
        return stat(folder.c_str(), &status) == 0 &&
               seen.insert({status.st_dev, status.st_ino}).second;
    }

    void searchIn(const fs::path folder, std::vector<fs::path>& queue) {  // a copy: queue grows
        std::error_code error;
        std::vector<fs::path> folders, links;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (++entries > maxEntries) {
                notes.push_back("the search stopped after " + std::to_string(maxEntries) +
                                " entries: a copy further down was not looked for");
                stopped = true;
                return;
            }
            std::error_code notThere;
            if (it->is_directory(notThere)) {
                (it->is_symlink(notThere) ? links : folders).push_back(it->path());
            } else if (sameName(it->path(), name) && it->is_regular_file(notThere)) {
                found.push_back(it->path());
            }
        }
        if (error) {
            notes.push_back(shown(folder, game) + ": cannot read the folder (" + error.message() +
                            "), so a copy there was not looked for");
        }
        std::sort(folders.begin(), folders.end());
        std::sort(links.begin(), links.end());
        for (const fs::path& below : folders) {
            if (markSeen(below)) queue.push_back(below);
        }
        for (const fs::path& link : links) {
            const fs::path target = fs::canonical(link, error);
            const std::string why = error ? "" : outOfBounds(target, real);
            if (!why.empty()) {
                notes.push_back(shown(link, game) + ": a link to " +
                                printableText(target.string()) + ", not searched: " + why);
            } else if (!error && markSeen(link)) {
                queue.push_back(link);
            }
        }
    }

    fs::path game, real;
    std::string_view name;
    std::size_t maxEntries;
    std::set<FolderId> seen;
    std::vector<fs::path> found;
    std::size_t entries = 0;
    bool stopped = false;
};

// A path as the player sees it in the game's folder: relative to it, with '/'.
std::string shown(const fs::path& path, const fs::path& folder) {
    std::string text = path.generic_string();
    std::replace(text.begin(), text.end(), '\\', '/');
    const std::string prefix = folder.generic_string() + '/';
    // Names in a game's folder can hold anything, terminal escape sequences included.
    return printableText(text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text);
}

// The part of path inside folder, from its separator on ("/scripts/x"), or the whole path.
std::string inside(const fs::path& path, const fs::path& folder) {
    const std::string text = path.string(), prefix = folder.string();
    return text.rfind(prefix + '/', 0) == 0 ? text.substr(prefix.size()) : text;
}

// The entry of folder that Windows opens for name, if there is one (a file or not): names in
// any case inside the folder, the folder itself as it is. When the system will not say whether
// it is there (a folder on the way the checks may not search), the path, so that reading it
// names the reason.
std::optional<fs::path> entryNamed(const fs::path& folder, std::string_view name) {
    const fs::path path = platform::windowsPathBelow(folder.string(), "/" + std::string(name));
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::status_known(status) && !fs::exists(status)) return std::nullopt;
    return path;
}

// A line for each name on the way to path that differs only in case from the one taken: Windows
// holds only one of them, so which one the game sees depends on which is kept.
std::vector<std::string> caseTwinNotes(const fs::path& path, const fs::path& folder) {
    std::vector<std::string> notes;
    for (const platform::CaseTwin& twin :
         platform::caseTwinsBelow(folder.string(), inside(path, folder))) {
        notes.push_back(shown(twin.passedOver, folder) + " differs from " +
                        shown(twin.taken, folder) +
                        " only in case: Windows holds only one of them; this check took " +
                        shown(twin.taken, folder) + ". Keep one.");
    }
    return notes;
}

// Whether a plug-in loader loads a plug-in from folder (relative to the game's folder): the game
// folder itself, scripts\, or a mod's folder in a mod loader's folder of mods, which is where the
// plug-in's own sound search looks too (scripts\modloader\Ostrelle\, modloader\Ostrelle\).
bool isLoaderPlace(const fs::path& relative) {
    std::vector<std::string> parts;
    for (const fs::path& part : relative) {
        if (!part.empty() && part != ".") parts.push_back(platform::foldedName(part.string()));
    }
    if (!parts.empty() && parts.front() == "SCRIPTS") parts.erase(parts.begin());
    return parts.empty() || (parts.size() == 2 && parts.front() == "MODLOADER");
}

// What keeps the file from being a 32-bit Windows image at all, or "".
std::string notThirtyTwoBit(const PeFile& pe) {
    if (!pe.error().empty()) return pe.error();
    if (pe.isPe32Plus()) return "a 64-bit file; the plug-in and the game are 32-bit";
    if (pe.machine() != PeFile::machineI386) {
        return "built for machine " + hexText(pe.machine()) + ", not 32-bit x86";
    }
    return "";
}

// The game-build check over every program considered: the first that is the build passes.
CheckLine checkGameBuild(const std::vector<fs::path>& programs, const std::error_code& unread,
                         const fs::path& folder, fs::path& game) {
    CheckLine line("game build");
    const std::string needed =
        "The plug-in works only with the game build it was made for and stays silent on any "
        "other: if a patch, fix or mod replaced the game's .exe, put back the one you had before "
        "and check again (README.txt, \"Which game build\").";
    if (unread) {
        line.finding =
            printableText(folder.string()) + ": cannot read the folder (" + unread.message() + ")";
        line.advice = readAdvice(unread);
        return line;
    }
    if (programs.empty()) {
        line.finding = "no .exe in " + printableText(folder.string());
        line.advice = giveTheGame;
        return line;
    }
    std::vector<std::pair<fs::path, std::string>> others;
    std::optional<std::pair<fs::path, std::error_code>> closed;  // the first program not read
    for (const fs::path& program : programs) {
        std::error_code error;
        std::string problem = fileProblem(program, gameBuildProblem, error);
        if (problem.empty() && game.empty()) {
            game = program;
        } else {
            others.emplace_back(program, problem.empty() ? "also the game build" : problem);
        }
        if (error && !closed) closed.emplace(program, error);
    }
    for (const auto& [program, problem] : others) {
        line.details.push_back(shown(program, folder) + ": " + problem);
    }
    if (!game.empty()) {
        line.passed = true;
        line.finding = shown(game, folder) + " is the build the plug-in hooks";
        if (!others.empty()) line.details.insert(line.details.begin(), "other programs here:");
    } else if (closed) {
        // It may be the build: no word on putting another one back.
        cannotRead(line, shown(closed->first, folder), closed->second);
        if (programs.size() == 1) line.details.clear();
    } else if (programs.size() == 1) {
        line.finding =
            shown(programs[0], folder) + " is not the build the plug-in hooks: " + others[0].second;
        line.advice = needed;
        line.details.clear();
    } else {
        line.finding = "none of the " + std::to_string(programs.size()) +
                       " programs here is the build the plug-in hooks";
        line.advice = needed;
    }
    return line;
}

CheckLine checkAudioLibrary(const fs::path& folder, const std::string& besideWhat) {
    CheckLine line("audio library");
    const std::optional<fs::path> found = entryNamed(folder, audioLibraryName);
    const std::string why = ": the plug-in does not load without it.";
    if (!found) {
        line.finding = "no bass.dll beside " + besideWhat;
        line.advice = "Put the bass.dll that came with the game there" + why;
        return line;
    }
    std::error_code unread;
    const std::string problem = fileProblem(*found, audioLibraryProblem, unread);
    line.passed = problem.empty();
    if (unread) {
        cannotRead(line, shown(*found, folder), unread);
    } else if (line.passed) {
        line.finding = shown(*found, folder) + " exports what the plug-in imports";
    } else {
        line.finding = shown(*found, folder) + ": " + problem;
        line.advice = "Put the bass.dll that came with the game there instead" + why;
    }
    line.details = caseTwinNotes(*found, folder);
    return line;
}

// The plug-in check over every Ostrelle.dll found; copies where no loader looks are not loaded
// and count only when there is no other. searchedAll: no folder was left out of the search.
CheckLine checkPlugin(const std::vector<fs::path>& found, bool searchedAll, const fs::path& folder,
                      std::vector<fs::path>& copies) {
    CheckLine line("plug-in");
    const std::string moveThem =
        "Copy Ostrelle.dll, Ostrelle.ini and the folder \"Radio SFX\" together into the folder "
        "your plug-in loader loads plug-ins from (scripts/ for most).";
    if (found.empty()) {
        line.finding = std::string("no Ostrelle.dll in this folder or its sub-folders") +
                       (searchedAll ? "" : " that were searched");
        line.advice = moveThem;
        return line;
    }
    std::vector<fs::path> unloaded;
    for (const fs::path& copy : found) {
        const bool loaded = isLoaderPlace(copy.parent_path().lexically_relative(folder));
        (loaded ? copies : unloaded).push_back(copy);
    }
    if (copies.empty()) {
        line.finding = shown(unloaded[0], folder) + " is where no plug-in loader looks";
        line.advice = "Move it from there: " + moveThem;
        for (std::size_t i = 1; i < unloaded.size(); ++i) {
            line.details.push_back(shown(unloaded[i], folder) + ": not loaded either");
        }
        return line;
    }
    for (const fs::path& copy : unloaded) {
        line.details.push_back(shown(copy, folder) +
                               ": where no plug-in loader looks, so not loaded (a backup?)");
    }
    if (copies.size() > 1) {
        line.finding = std::to_string(copies.size()) + " copies of Ostrelle.dll";
        line.advice = "Keep one, or each copy plays its own effects.";
        for (const fs::path& copy : copies) line.details.push_back(shown(copy, folder));
        return line;
    }
    std::error_code unread;
    std::string why;
    const std::optional<std::string> bytes = readFile(copies[0], unread, why);
    const std::string where = shown(copies[0], folder);
    if (unread) {
        cannotRead(line, where, unread);
        return line;
    }
    const PeFile pe(bytes ? std::string_view(*bytes) : std::string_view());
    std::string problem = bytes ? notThirtyTwoBit(pe) : why;
    if (problem.empty() && !pe.isDll()) problem = "a program, not a DLL";
    if (!problem.empty()) {
        line.finding = where + " is damaged: " + problem;
        line.advice = "Copy it again from the zip.";
        return line;
    }
    const std::optional<PeVersion> version = pe.version();
    line.passed = true;
    line.finding =
        where + ", version " + (version ? version->text() : "unknown (no version resource)");
    return line;
}

// The path as the game sees it: under a Wine prefix the part after drive_c on drive C:, with
// '\'; elsewhere (a folder copied from Windows, say) the Linux path, the best guess there is.
std::string windowsPathOf(const fs::path& path) {
    const std::string text = path.generic_string();
    const std::string drive = "/drive_c/";
    const std::size_t at = text.rfind(drive);
    if (at == std::string::npos) return text;
    std::string windows = "C:\\" + text.substr(at + drive.size());
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

// The length of UTF-8 text as Windows counts a path: in UTF-16 units, a character beyond U+FFFF
// counting two, a byte that is not UTF-8 one.
std::size_t windowsLength(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: counted with its lead
        units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

// Windows' ANSI file calls, which the plug-in makes, refuse a path of MAX_PATH (260) characters or
// more, its terminating NUL counted, unless the game opted in to long paths, which a game of its
// age has not. The plug-in's longest path is its folder, then "\Radio SFX\broke2.mp3".
std::optional<CheckLine> checkPathLength(const fs::path& pluginFolder) {
    constexpr std::size_t maxPath = 260;
    std::size_t longestName = 0;
    for (const PluginSound& sound : pluginSounds) {
        longestName = std::max(longestName, std::strlen(sound.fileName));
    }
    const std::string inGame = windowsPathOf(pluginFolder);
    // Two separators: after the plug-in's folder and after the sounds' folder.
    const std::size_t longest =
        windowsLength(inGame) + std::strlen(soundFolderName) + 2 + longestName;
    if (longest < maxPath) return std::nullopt;
    CheckLine line("path length");
    line.finding = "the plug-in's paths reach " + std::to_string(longest) + " characters in " +
                   printableText(inGame) + " (as long as here): Windows refuses " +
                   std::to_string(maxPath) +
                   " or more to a game that has not opted in to long paths, so the plug-in "
                   "would find neither its settings nor its sounds";
    line.advice = "Move the game to a shorter path.";
    return line;
}

// The characters of UTF-8 text; a byte that is not UTF-8 reads as U+FFFD.
std::vector<char32_t> charactersOf(std::string_view text) {
    std::vector<char32_t> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool whole = i + length <= text.size() && (lead < 0x80 || lead >= 0xC2) && lead <= 0xF4;
        for (std::size_t k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        characters.push_back(whole ? c : U'\uFFFD');
        i += whole ? length : 1;
    }
    return characters;
}

// Whether code page 1252, the ANSI code page of a Windows set to a Western language, holds c:
// Latin-1 but its C1 controls, and 27 characters in their place.
bool inCodePage1252(char32_t c) {
    static constexpr char32_t inC1Places[] = {
        0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
        0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF) ||
           std::find(std::begin(inC1Places), std::end(inC1Places), c) != std::end(inC1Places);
}

// The ANSI code pages that hold a character of each script, for the advice.
struct Script {
    char32_t first, last;
    const char* name;
    const char* codePages;
};
constexpr Script scripts[] = {
    {0x0100, 0x024F, "Latin", "1250 (Central European), 1257 (Baltic) or 1254 (Turkish)"},
    {0x0370, 0x03FF, "Greek", "1253"},
    {0x0400, 0x04FF, "Cyrillic", "1251"},
    {0x0590, 0x05FF, "Hebrew", "1255"},
    {0x0600, 0x06FF, "Arabic", "1256"},
    {0x0E00, 0x0E7F, "Thai", "874"},
    {0x1EA0, 0x1EFF, "Vietnamese", "1258"},
    {0x3040, 0x30FF, "Japanese kana", "932"},
    {0x4E00, 0x9FFF, "CJK",
     "936 (Simplified Chinese), 950 (Traditional Chinese) or 932 (Japanese)"},
    {0xAC00, 0xD7AF, "Hangul", "949"},
};

std::string codePointText(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// "'И' (U+0418, Cyrillic: code page 1251)"
std::string characterNote(char32_t c, std::string_view utf8) {
    std::string note = "'" + printableText(utf8) + "' (" + codePointText(c);
    for (const Script& script : scripts) {
        if (c >= script.first && c <= script.last) {
            return note + ", " + script.name + ": code page " + script.codePages + ")";
        }
    }
    return note + ": no ANSI code page of a Western Windows)";
}

// A warning when the plug-in's folder, as Windows names it, holds characters that a Windows set to
// a Western language cannot pass through the ANSI calls the plug-in makes.
std::optional<CheckLine> checkFolderName(const fs::path& pluginFolder) {
    const std::string inGame = windowsPathOf(pluginFolder);
    std::vector<std::string> notes;
    std::set<char32_t> named;
    std::size_t at = 0;
    for (const char32_t c : charactersOf(inGame)) {
        const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        const std::string_view utf8 =
            std::string_view(inGame).substr(at, c == U'\uFFFD' ? 1 : length);
        at += utf8.size();
        if (inCodePage1252(c) || !named.insert(c).second || notes.size() == 8) continue;
        notes.push_back(characterNote(c, utf8));
    }
    if (notes.empty()) return std::nullopt;
    CheckLine line("folder name", true);
    line.warning = true;
    line.finding = printableText(inGame) +
                   " holds characters that a Windows set to a Western language (code page 1252) "
                   "cannot pass to the plug-in, whose file calls are ANSI. The name comes back to "
                   "it with '?', and the plug-in then uses the folder's short (8.3) name instead; "
                   "on a drive where Windows makes no short names it finds no settings and no "
                   "sounds";
    line.advice =
        "To be sure, move the game to a folder named in plain letters (A to Z, digits), or set "
        "Windows' language for non-Unicode programs to one whose code page holds them.";
    line.details = std::move(notes);
    return line;
}

// The plug-in's folder or its "Radio SFX" when one of them is there but cannot be read, and why.
std::optional<std::pair<fs::path, std::error_code>> unreadableSoundFolder(
    const fs::path& pluginFolder) {
    for (const std::optional<fs::path>& folder :
         {std::optional<fs::path>(pluginFolder), entryNamed(pluginFolder, soundFolderName)}) {
        std::error_code error;
        if (folder && fs::is_directory(*folder, error)) {
            fs::directory_iterator(*folder, error);
            if (error) return std::pair(*folder, error);
        }
    }
    return std::nullopt;
}

// The sounds the plug-in's own search picks, with the game's folder as the current directory.
std::vector<CheckLine> checkSounds(const fs::path& pluginFolder, const fs::path& folder) {
    platform::setCurrentFolder(folder.string());
    std::vector<CheckLine> lines;
    static PathText path;  // 32 KiB: not on the stack
    for (const PluginSound& sound : pluginSounds) {
        const char* name = sound.fileName;
        CheckLine line("sound");
        if (!findSoundFile(pluginFolder.string(), name, path)) {
            line.finding = std::string(name) + ": not found";
            line.advice = "Put it in " + shown(pluginFolder / soundFolderName, folder) + "/.";
            if (const auto closed = unreadableSoundFolder(pluginFolder)) {
                line.finding +=
                    ": " + shown(closed->first, folder) + ' ' + cannotReadText(closed->second);
                line.advice = readAdvice(closed->second);
            }
            lines.push_back(std::move(line));
            continue;
        }
        const std::string onDisk = platform::linuxPathOf(path.view());
        line.finding = std::string(name) + ": " + shown(onDisk, folder);
        const std::error_code unread = openError(onDisk);
        const std::string refusal = unread ? "" : audio::soundRefusal(path.c_str());
        line.passed = !unread && refusal.empty();
        if (unread) {
            cannotRead(line, line.finding, unread);
        } else if (!line.passed) {
            line.finding += " would not play: " + refusal;
            line.advice = "Put a sound there that plays (MP3, OGG Vorbis, WAV or AIFF).";
        }
        line.details = caseTwinNotes(onDisk, folder);
        lines.push_back(std::move(line));
    }
    platform::setCurrentFolder("");
    return lines;
}

// check-ini's report in short: its values a few to a line, then its warnings, each naming the
// file as where.
std::vector<std::string> settingsDetails(const IniReport& report, const std::string& where) {
    std::vector<std::string> lines;
    for (const IniValue& value : report.values) {
        std::string text = value.key + " = " + value.text;
        if (lines.empty() || lines.back().size() + text.size() > 72) {
            lines.push_back(std::move(text));
        } else {
            lines.back() += ", " + text;
        }
    }
    for (const IniWarning& warning : report.warnings) {
        lines.push_back(where + ':' + std::to_string(warning.line) +
                        ": warning: " + warning.message);
    }
    return lines;
}

CheckLine checkSettings(const fs::path& pluginFolder, const fs::path& folder) {
    CheckLine line("settings");
    const std::optional<fs::path> found = entryNamed(pluginFolder, settingsName);
    if (!found) {
        line.passed = true;
        line.warning = true;
        line.finding = "no Ostrelle.ini beside Ostrelle.dll, so the defaults apply";
        line.advice = "To change them, put the Ostrelle.ini from the zip in " +
                      shown(pluginFolder, folder) + "/.";
        return line;
    }
    const std::string where = shown(*found, folder);
    line.details = caseTwinNotes(*found, folder);
    if (const std::error_code unread = openError(*found)) {
        cannotRead(line, where, unread);
        return line;
    }
    const IniReport report = checkIni(found->string());
    line.passed = report.status == 0;
    line.finding = where + (report.status == 0   ? " reads as it looks"
                            : report.status == 1 ? " reads other than it looks (warnings below)"
                                                 : " cannot be read: " + report.error);
    if (report.status == 1) {
        line.advice =
            "Edit it, then restart the game: the settings are read once, at the first frame.";
    }
    const std::vector<std::string> details = settingsDetails(report, where);
    line.details.insert(line.details.end(), details.begin(), details.end());
    line.settings.push_back(report);
    return line;
}

void print(const CheckLine& line, std::ostream& out) {
    std::string topic = line.topic;
    topic.resize(15, ' ');
    out << (!line.passed   ? "  FAIL  "
            : line.warning ? "  warn  "
                           : "  ok    ")
        << topic << line.text() << '\n';
    for (const std::string& detail : line.details) out << std::string(23, ' ') << detail << '\n';
}

}  // namespace

std::string gameBuildProblem(std::string_view bytes) {
    const PeFile pe(bytes);
    if (std::string problem = notThirtyTwoBit(pe); !problem.empty()) return problem;
    if (pe.isDll()) return "a DLL, not a program";
    if (pe.imageBase() != gameAddress::imageBase) {
        return "its image base is " + hexText(pe.imageBase()) + ", not " +
               hexText(gameAddress::imageBase);
    }
    const PeFile::Directory relocations = pe.directory(PeFile::relocationDirectory);
    if (relocations.size != 0 && !pe.relocationsStripped()) {
        return "it carries relocations, so Windows may load it elsewhere than " +
               hexText(gameAddress::imageBase);
    }
    const std::uint32_t site = gameAddress::frameCallSite;
    const std::uint32_t siteRva = site - static_cast<std::uint32_t>(gameAddress::imageBase);
    const std::optional<std::size_t> offset = pe.fileOffset(siteRva, 1);
    if (!offset) return "the address " + hexText(site) + " lies in none of its sections' data";
    if (*pe.u8(*offset) != NearCall::opcode) {
        return "the byte at " + hexText(site) + " is " + hexText(*pe.u8(*offset)) + ", not " +
               hexText(NearCall::opcode) + " (a near call)";
    }
    const std::optional<std::size_t> whole = pe.fileOffset(siteRva, NearCall::length);
    if (!whole) return "the call at " + hexText(site) + " is cut off by its section's end";
    NearCall call;
    for (std::uint32_t i = 0; i < NearCall::length; ++i) call.bytes[i] = *pe.u8(*whole + i);
    const std::uint32_t target = call.target(site);
    const PeSection* section =
        pe.sectionAt(target - static_cast<std::uint32_t>(gameAddress::imageBase));
    if (target < gameAddress::imageBase || section == nullptr || !section->isCode()) {
        return "the call at " + hexText(site) + " goes to " + hexText(target) +
               ", outside its code";
    }
    return "";
}

std::string audioLibraryProblem(std::string_view bytes) {
    const PeFile pe(bytes);
    if (std::string problem = notThirtyTwoBit(pe); !problem.empty()) return problem;
    if (!pe.isDll()) return "a program, not a DLL";
    const std::optional<std::vector<std::string>> exports = pe.exportNames();
    if (!exports) return "its export table is damaged";
    std::vector<std::string> missing, decorated;
    for (std::string_view name : bassImports()) {
        if (std::find(exports->begin(), exports->end(), name) != exports->end()) continue;
        // A stdcall name as the compiler decorates it: BASS_Init@20, or _BASS_Init@20.
        const auto decoration = std::find_if(exports->begin(), exports->end(), [&](auto& e) {
            const std::size_t at = e.find(name);
            return (at == 0 || (at == 1 && e[0] == '_')) && e.size() > at + name.size() &&
                   e[at + name.size()] == '@';
        });
        (decoration != exports->end() ? decorated : missing)
            .push_back(decoration != exports->end() ? *decoration : std::string(name));
    }
    // Export names come from the file: shown as file names are, escapes as \xNN.
    const auto joined = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names) {
            text += (text.empty() ? "" : ", ") + printableText(name);
        }
        return text;
    };
    std::string problem;
    if (!missing.empty()) problem = "it does not export " + joined(missing);
    if (!decorated.empty()) {
        problem += (problem.empty() ? "it exports " : "; it exports ") + joined(decorated) +
                   " only with the compiler's decoration, which Windows does not match to the "
                   "plain names the plug-in imports";
    }
    return problem;
}

std::vector<CheckLine> checkGameFolder(const fs::path& given, const fs::path& exe,
                                       std::size_t maxEntries) {
    // Absolute, so the plug-in folder's sound candidates never resolve against the game's folder.
    const fs::path folder = fs::absolute(given);
    std::vector<CheckLine> lines;
    fs::path game;
    std::error_code unread;
    lines.push_back(
        checkGameBuild(exe.empty() ? programsIn(folder, unread) : std::vector{fs::absolute(exe)},
                       unread, folder, game));
    lines.push_back(
        checkAudioLibrary(folder, game.empty() ? "the game's .exe" : shown(game, folder)));
    std::vector<fs::path> copies;
    FileSearch search(folder, pluginName, maxEntries);
    const std::vector<fs::path> found = search.run();
    lines.push_back(checkPlugin(found, search.notes.empty(), folder, copies));
    lines.back().details.insert(lines.back().details.end(), search.notes.begin(),
                                search.notes.end());
    if (copies.size() != 1) return lines;  // none, or several and no telling which one loads
    const fs::path pluginFolder = copies[0].parent_path();
    for (std::optional<CheckLine> line :
         {checkPathLength(pluginFolder), checkFolderName(pluginFolder)}) {
        if (line) lines.push_back(std::move(*line));
    }
    for (CheckLine& sound : checkSounds(pluginFolder, folder)) lines.push_back(std::move(sound));
    lines.push_back(checkSettings(pluginFolder, folder));
    return lines;
}

// What a file given instead of the game's .exe is, when that can be told: the plug-in, the
// audio library, another DLL, a sound; "" for anything else.
std::string notTheGame(const fs::path& file) {
    if (sameName(file, pluginName)) return "the plug-in";
    if (sameName(file, audioLibraryName)) return "the audio library";
    std::error_code unread;
    std::string why;
    const std::optional<std::string> bytes = readFile(file, unread, why);
    if (bytes && notAnImage(*bytes).empty()) {
        const PeFile pe(*bytes);
        if (pe.error().empty() && pe.isDll()) return "a DLL";
    }
    if (audio::soundRefusal(file.string()).empty()) return "a sound";
    return "";
}

// The line for a file given that is not the game's program: the game is started by its .exe,
// so a file of any other name is not the game, whatever it holds.
CheckLine notTheGameLine(const fs::path& file, const fs::path& folder) {
    CheckLine line("game build");
    const std::string what = notTheGame(file);
    line.finding =
        shown(file, folder) + (what.empty() ? " is not the game: its name does not end in .exe"
                                            : " is " + what + ", not the game");
    line.advice = giveTheGame;
    return line;
}

bool checkGameReads(std::string_view path) {
    const fs::path file(path);
    const bool inGameFolder = !file.has_parent_path();
    if (inGameFolder &&
        (sameName(file.extension(), programExtension) || sameName(file, audioLibraryName))) {
        return true;
    }
    return sameName(file, pluginName) || sameName(file, settingsName) ||
           std::any_of(std::begin(pluginSounds), std::end(pluginSounds),
                       [&](const PluginSound& sound) { return sameName(file, sound.fileName); });
}

GameReport checkGame(const std::string& path) {
    GameReport report;
    report.path = path;
    std::error_code error;
    const fs::path given = fs::absolute(path, error).lexically_normal();
    const fs::file_status status = fs::status(given, error);
    if (!fs::is_directory(status) && !fs::is_regular_file(status)) {
        report.status = 2;
        return report;
    }
    fs::path folder = fs::is_directory(status) ? given : given.parent_path();
    if (folder.has_filename() == false) folder = folder.parent_path();
    report.folder = folder.string();
    if (!fs::is_directory(status) && !sameName(given.extension(), programExtension)) {
        report.checks.push_back(notTheGameLine(given, folder));
        report.status = 1;
        return report;
    }
    report.checks = checkGameFolder(folder, fs::is_directory(status) ? fs::path() : given);
    const bool failed = std::any_of(report.checks.begin(), report.checks.end(),
                                    [](const CheckLine& l) { return !l.passed; });
    report.status = failed ? 1 : 0;
    return report;
}

void printGameReport(const GameReport& report, std::ostream& out) {
    if (report.status == 2) {
        out << printableText(report.path) << ": no such folder or file\n";
        return;
    }
    out << "Checking the game in " << printableText(report.folder) << '\n';
    for (const CheckLine& line : report.checks) print(line, out);
    const auto failed = std::count_if(report.checks.begin(), report.checks.end(),
                                      [](const CheckLine& l) { return !l.passed; });
    if (failed == 0) {
        const bool warned = std::any_of(report.checks.begin(), report.checks.end(),
                                        [](const CheckLine& l) { return l.warning; });
        out << "All is well: the plug-in has everything it needs here"
            << (warned ? " (read the warn lines).\n" : ".\n");
        return;
    }
    out << failed << " of " << report.checks.size()
        << " checks failed: do what the FAIL lines say, then start the game again.\n";
}

Json gameReportData(const GameReport& report) {
    Json json = {{"path", jsonText(report.path)}, {"status", report.status}};
    if (report.status == 2) {
        json["error"] = "no such folder or file";
        return json;
    }
    json["folder"] = jsonText(report.folder);
    Json& checks = json["checks"] = Json::array();
    for (const CheckLine& line : report.checks) {
        Json& check = checks.emplace_back();
        check["topic"] = jsonText(line.topic);
        check["status"] = !line.passed ? "fail" : line.warning ? "warn" : "ok";
        check["finding"] = jsonText(line.finding);
        check["advice"] = line.advice.empty() ? Json() : jsonText(line.advice);
        Json& details = check["details"] = Json::array();
        for (const std::string& detail : line.details) details.push_back(jsonText(detail));
        if (!line.settings.empty()) check["settings"] = iniReportData(line.settings[0]);
    }
    return json;
}

std::string gameReportJson(const GameReport& report) {
    return gameReportData(report).dump();
}
