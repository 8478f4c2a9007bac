#include "checks/check_game.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
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

// The file's bytes, or nullopt with why it cannot be read.
std::optional<std::string> readFile(const fs::path& path, std::string& why) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) {
        why = "cannot be read";
        return std::nullopt;
    }
    if (size > maxFileBytes) {
        why = "is larger than 256 MiB";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) {
        why = "cannot be read";
        return std::nullopt;
    }
    return bytes;
}

// The file's problem as a program or library: reading it, or what problemOf finds in its bytes.
std::string fileProblem(const fs::path& path, std::string (*problemOf)(std::string_view)) {
    std::error_code error;
    if (fs::is_directory(path, error)) return "a folder, not a file";
    std::string why;
    const std::optional<std::string> bytes = readFile(path, why);
    if (!bytes) return why;
    const std::string plainly = notAnImage(*bytes);
    return plainly.empty() ? problemOf(*bytes) : plainly;
}

// The files in folder whose name wanted accepts, sorted.
template <typename Wanted>
std::vector<fs::path> filesIn(const fs::path& folder, Wanted wanted) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code notAFile;
        if (wanted(it->path()) && it->is_regular_file(notAFile)) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// A folder as the file system knows it, so that a folder reached twice through links is seen
// once.
struct FolderId {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FolderId&) const = default;
};

// Every file called name in folder and below, folders reached through symbolic links (mod
// managers make them; Windows junctions look like them under Wine) included, each folder once.
void findBelow(const fs::path& folder, std::string_view name, std::set<FolderId>& seen,
               std::vector<fs::path>& found) {
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0 || !seen.insert({status.st_dev, status.st_ino}).second) {
        return;
    }
    std::error_code error;
    std::vector<fs::path> folders;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
        std::error_code notThere;
        if (it->is_directory(notThere)) {
            folders.push_back(it->path());
        } else if (sameName(it->path(), name) && it->is_regular_file(notThere)) {
            found.push_back(it->path());
        }
    }
    std::sort(folders.begin(), folders.end());
    for (const fs::path& below : folders) findBelow(below, name, seen, found);
}

std::vector<fs::path> filesBelow(const fs::path& folder, std::string_view name) {
    std::set<FolderId> seen;
    std::vector<fs::path> found;
    findBelow(folder, name, seen, found);
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<fs::path> programsIn(const fs::path& folder) {
    return filesIn(folder, [](const fs::path& path) { return sameName(path.extension(), ".exe"); });
}

// A path as the player sees it in the game's folder: relative to it, with '/'.
std::string shown(const fs::path& path, const fs::path& folder) {
    std::string text = path.generic_string();
    std::replace(text.begin(), text.end(), '\\', '/');
    const std::string prefix = folder.generic_string() + '/';
    // Names in a game's folder can hold anything, terminal escape sequences included.
    return printableText(text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text);
}

// The entry of folder that Windows opens for name, if there is one (a file or not).
std::optional<fs::path> entryNamed(const fs::path& folder, std::string_view name) {
    const fs::path path = platform::windowsPath((folder / name).string());
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error))) return std::nullopt;
    return path;
}

// A line for each name on the way to path that differs only in case from the one taken: Windows
// holds only one of them, so which one the game sees depends on which is kept.
std::vector<std::string> caseTwinNotes(const fs::path& path, const fs::path& folder) {
    std::vector<std::string> notes;
    for (const platform::CaseTwin& twin : platform::caseTwins(path.string())) {
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
    if (!parts.empty() && parts.front() == "scripts") parts.erase(parts.begin());
    return parts.empty() || (parts.size() == 2 && parts.front() == "modloader");
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
CheckLine checkGameBuild(const std::vector<fs::path>& programs, const fs::path& folder,
                         fs::path& game) {
    CheckLine line("game build");
    const std::string needed =
        "The plug-in works only with the game build it was made for and stays silent on any "
        "other: if a patch, fix or mod replaced the game's .exe, put back the one you had before "
        "and check again (README.txt, \"Which game build\").";
    if (programs.empty()) {
        line.finding = "no .exe in " + printableText(folder.string());
        line.advice = "Give the game's folder or its .exe.";
        return line;
    }
    std::vector<std::pair<fs::path, std::string>> others;
    for (const fs::path& program : programs) {
        std::string problem = fileProblem(program, gameBuildProblem);
        if (problem.empty() && game.empty()) {
            game = program;
        } else {
            others.emplace_back(program, problem.empty() ? "also the game build" : problem);
        }
    }
    for (const auto& [program, problem] : others) {
        line.details.push_back(shown(program, folder) + ": " + problem);
    }
    if (!game.empty()) {
        line.passed = true;
        line.finding = shown(game, folder) + " is the build the plug-in hooks";
        if (!others.empty()) line.details.insert(line.details.begin(), "other programs here:");
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
    const std::optional<fs::path> found = entryNamed(folder, "bass.dll");
    const std::string why = ": the plug-in does not load without it.";
    if (!found) {
        line.finding = "no bass.dll beside " + besideWhat;
        line.advice = "Put the bass.dll that came with the game there" + why;
        return line;
    }
    const std::string problem = fileProblem(*found, audioLibraryProblem);
    line.passed = problem.empty();
    if (line.passed) {
        line.finding = shown(*found, folder) + " exports what the plug-in imports";
    } else {
        line.finding = shown(*found, folder) + ": " + problem;
        line.advice = "Put the bass.dll that came with the game there instead" + why;
    }
    line.details = caseTwinNotes(*found, folder);
    return line;
}

// The plug-in check over every Ostrelle.dll found; copies where no loader looks are not loaded
// and count only when there is no other.
CheckLine checkPlugin(const std::vector<fs::path>& found, const fs::path& folder,
                      std::vector<fs::path>& copies) {
    CheckLine line("plug-in");
    const std::string moveThem =
        "Copy Ostrelle.dll, Ostrelle.ini and the folder \"Radio SFX\" together into the folder "
        "your plug-in loader loads plug-ins from (scripts/ for most).";
    if (found.empty()) {
        line.finding = "no Ostrelle.dll in this folder or its sub-folders";
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
    std::string why;
    const std::optional<std::string> bytes = readFile(copies[0], why);
    const std::string where = shown(copies[0], folder);
    if (!bytes) {
        line.finding = where + ' ' + why;
        return line;
    }
    const PeFile pe(*bytes);
    std::string problem = notThirtyTwoBit(pe);
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

// Windows' ANSI file calls, which the plug-in makes, refuse a path of MAX_PATH (260) characters or
// more, its terminating NUL counted, unless the game opted in to long paths, which a game of its
// age has not. The plug-in's longest path is its folder, then "\Radio SFX\broke2.mp3".
std::optional<CheckLine> checkPathLength(const fs::path& pluginFolder, const fs::path& folder) {
    constexpr std::size_t maxPath = 260;
    std::size_t longestName = 0;
    for (const PluginSound& sound : pluginSounds) {
        longestName = std::max(longestName, std::strlen(sound.fileName));
    }
    const std::size_t longest =
        pluginFolder.string().size() + std::strlen("\\Radio SFX\\") + longestName;
    if (longest < maxPath) return std::nullopt;
    CheckLine line("path length");
    line.finding = "the plug-in's paths reach " + std::to_string(longest) + " characters in " +
                   shown(pluginFolder, folder) + "/ (as long as here): Windows refuses " +
                   std::to_string(maxPath) +
                   " or more to a game that has not opted in to long paths, so the plug-in "
                   "would find neither its settings nor its sounds";
    line.advice = "Move the game to a shorter path.";
    return line;
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
            line.advice = "Put it in " + shown(pluginFolder / "Radio SFX", folder) + "/.";
            lines.push_back(std::move(line));
            continue;
        }
        const std::string onDisk = platform::linuxPathOf(path.view());
        const std::string refusal = audio::soundRefusal(path.c_str());
        line.passed = refusal.empty();
        line.finding = std::string(name) + ": " + shown(onDisk, folder);
        if (!line.passed) {
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
    const std::optional<fs::path> found = entryNamed(pluginFolder, "Ostrelle.ini");
    if (!found) {
        line.finding = "no Ostrelle.ini beside Ostrelle.dll, so every setting keeps its default";
        line.advice = "Put the Ostrelle.ini from the zip in " + shown(pluginFolder, folder) + "/.";
        return line;
    }
    const std::string where = shown(*found, folder);
    const IniReport report = checkIni(found->string());
    line.passed = report.status == 0;
    line.finding = where + (report.status == 0   ? " reads as it looks"
                            : report.status == 1 ? " reads other than it looks (warnings below)"
                                                 : " cannot be read");
    if (report.status == 1) {
        line.advice =
            "Edit it, then restart the game: the settings are read once, at the first frame.";
    }
    line.details = caseTwinNotes(*found, folder);
    const std::vector<std::string> details = settingsDetails(report, where);
    line.details.insert(line.details.end(), details.begin(), details.end());
    line.settings.push_back(report);
    return line;
}

void print(const CheckLine& line, std::ostream& out) {
    std::string topic = line.topic;
    topic.resize(15, ' ');
    out << (line.passed ? "  ok    " : "  FAIL  ") << topic << line.text() << '\n';
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
    const auto joined = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
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

std::vector<CheckLine> checkGameFolder(const fs::path& given, const fs::path& exe) {
    // Absolute, so the plug-in folder's sound candidates never resolve against the game's folder.
    const fs::path folder = fs::absolute(given);
    std::vector<CheckLine> lines;
    fs::path game;
    lines.push_back(checkGameBuild(
        exe.empty() ? programsIn(folder) : std::vector{fs::absolute(exe)}, folder, game));
    lines.push_back(
        checkAudioLibrary(folder, game.empty() ? "the game's .exe" : shown(game, folder)));
    std::vector<fs::path> copies;
    lines.push_back(checkPlugin(filesBelow(folder, "Ostrelle.dll"), folder, copies));
    if (copies.size() != 1) return lines;  // none, or several and no telling which one loads
    const fs::path pluginFolder = copies[0].parent_path();
    if (std::optional<CheckLine> tooLong = checkPathLength(pluginFolder, folder)) {
        lines.push_back(std::move(*tooLong));
    }
    for (CheckLine& sound : checkSounds(pluginFolder, folder)) lines.push_back(std::move(sound));
    lines.push_back(checkSettings(pluginFolder, folder));
    return lines;
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
        out << "All is well: the plug-in has everything it needs here.\n";
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
        check["status"] = line.passed ? "ok" : "fail";
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
