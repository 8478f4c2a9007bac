#include "checks/check_game.h"

#include <algorithm>
#include <fstream>
#include <optional>

#include "checks/bass_imports.h"
#include "checks/check_ini.h"
#include "checks/pe_file.h"
#include "common/path_text.h"
#include "entry/near_call.h"
#include "host/game_addresses.h"
#include "platform/win32_api.h"
#include "sound/sound_player.h"
#include "text/json_text.h"

namespace {

namespace fs = std::filesystem;

// Far beyond the game's program or the audio library; a bound for what is read into memory.
constexpr std::uintmax_t maxFileBytes = 256u << 20;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// File names compared as Windows compares them (ASCII letter case ignored).
bool sameName(const fs::path& path, std::string_view name) {
    const std::string text = path.filename().string();
    return text.size() == name.size() &&
           std::equal(text.begin(), text.end(), name.begin(),
                      [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
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
    std::string why;
    const std::optional<std::string> bytes = readFile(path, why);
    return bytes ? problemOf(*bytes) : why;
}

// The files in folder whose name wanted accepts, sorted; in its sub-folders too when recursive.
template <typename Wanted>
std::vector<fs::path> filesIn(const fs::path& folder, bool recursive, Wanted wanted) {
    std::vector<fs::path> found;
    const auto take = [&](const fs::directory_entry& entry) {
        std::error_code notAFile;
        if (wanted(entry.path()) && entry.is_regular_file(notAFile)) found.push_back(entry.path());
    };
    std::error_code error;
    if (recursive) {
        for (fs::recursive_directory_iterator
                 it(folder, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            take(*it);
        }
    } else {
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            take(*it);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<fs::path> filesNamed(const fs::path& folder, std::string_view name, bool recursive) {
    return filesIn(folder, recursive, [&](const fs::path& path) { return sameName(path, name); });
}

std::vector<fs::path> programsIn(const fs::path& folder) {
    return filesIn(folder, false,
                   [](const fs::path& path) { return sameName(path.extension(), ".exe"); });
}

// A path as the player sees it in the game's folder: relative to it, with '/'.
std::string shown(const fs::path& path, const fs::path& folder) {
    std::string text = path.generic_string();
    std::replace(text.begin(), text.end(), '\\', '/');
    const std::string prefix = folder.generic_string() + '/';
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
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
        "The plug-in works only with the game build it was made for and does nothing on any "
        "other (see README.txt).";
    if (programs.empty()) {
        line.finding = "no .exe in " + folder.string();
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
    const std::vector<fs::path> found = filesNamed(folder, "bass.dll", false);
    const std::string why = ": the plug-in does not load without it.";
    if (found.empty()) {
        line.finding = "no bass.dll beside " + besideWhat;
        line.advice = "Put the bass.dll that came with the game there" + why;
        return line;
    }
    const std::string problem = fileProblem(found[0], audioLibraryProblem);
    line.passed = problem.empty();
    if (line.passed) {
        line.finding = shown(found[0], folder) + " exports what the plug-in imports";
    } else {
        line.finding = shown(found[0], folder) + ": " + problem;
        line.advice = "Put the bass.dll that came with the game there instead" + why;
    }
    return line;
}

CheckLine checkPlugin(const std::vector<fs::path>& copies, const fs::path& folder) {
    CheckLine line("plug-in");
    if (copies.empty()) {
        line.finding = "no Ostrelle.dll in this folder or its sub-folders";
        line.advice =
            "Copy Ostrelle.dll, Ostrelle.ini and the folder \"Radio SFX\" together into the "
            "folder your plug-in loader loads plug-ins from.";
        return line;
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

// The sounds the plug-in's own search picks, with the game's folder as the current directory.
std::vector<CheckLine> checkSounds(const fs::path& pluginFolder, const fs::path& folder) {
    platform::setCurrentFolder(folder.string());
    std::vector<CheckLine> lines;
    static PathText path;  // 32 KiB: not on the stack
    for (const PluginSound& sound : pluginSounds) {
        const char* name = sound.fileName;
        const std::string found =
            findSoundFile(pluginFolder.string(), name, path) ? std::string(path.view()) : "";
        CheckLine line("sound", !found.empty());
        line.finding =
            std::string(name) + ": " + (found.empty() ? "not found" : shown(found, folder));
        if (found.empty())
            line.advice = "Put it in " + shown(pluginFolder / "Radio SFX", folder) + "/.";
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
    const std::vector<fs::path> found = filesNamed(pluginFolder, "Ostrelle.ini", false);
    if (found.empty()) {
        line.finding = "no Ostrelle.ini beside Ostrelle.dll, so every setting keeps its default";
        line.advice = "Put the Ostrelle.ini from the zip in " + shown(pluginFolder, folder) + "/.";
        return line;
    }
    const std::string where = shown(found[0], folder);
    const IniReport report = checkIni(found[0].string());
    line.passed = report.status == 0;
    line.finding = where + (report.status == 0   ? " reads as it looks"
                            : report.status == 1 ? " reads other than it looks (warnings below)"
                                                 : " cannot be read");
    if (report.status == 1) {
        line.advice =
            "Edit it, then restart the game: the settings are read once, at the first frame.";
    }
    line.details = settingsDetails(report, where);
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
        checkAudioLibrary(folder, game.empty() ? "the game's .exe" : game.filename().string()));
    const std::vector<fs::path> copies = filesNamed(folder, "Ostrelle.dll", true);
    lines.push_back(checkPlugin(copies, folder));
    if (copies.size() != 1) return lines;  // none, or several and no telling which one loads
    const fs::path pluginFolder = copies[0].parent_path();
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
        out << report.path << ": no such folder or file\n";
        return;
    }
    out << "Checking the game in " << report.folder << '\n';
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

std::string gameReportJson(const GameReport& report) {
    std::string json =
        "{\"path\":" + jsonString(report.path) + ",\"status\":" + std::to_string(report.status);
    if (report.status == 2) return json + ",\"error\":\"no such folder or file\"}";
    json += ",\"folder\":" + jsonString(report.folder) + ",\"checks\":[";
    for (std::size_t i = 0; i < report.checks.size(); ++i) {
        const CheckLine& line = report.checks[i];
        json += std::string(i == 0 ? "" : ",") + "{\"topic\":" + jsonString(line.topic) +
                ",\"status\":" + (line.passed ? "\"ok\"" : "\"fail\"") +
                ",\"finding\":" + jsonString(line.finding) +
                ",\"advice\":" + (line.advice.empty() ? "null" : jsonString(line.advice)) +
                ",\"details\":[";
        for (std::size_t j = 0; j < line.details.size(); ++j) {
            json += (j == 0 ? "" : ",") + jsonString(line.details[j]);
        }
        json += ']';
        if (!line.settings.empty()) json += ",\"settings\":" + iniReportJson(line.settings[0]);
        json += '}';
    }
    return json + "]}";
}
