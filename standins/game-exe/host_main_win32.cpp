// ostrelle-host.exe's work (in ostrelle-host-core.dll, see host_image_win32.cpp): lays out the game
// at its fixed addresses, loads the plug-in as a plug-in loader does, runs the frames of a replay
// through the game's per-frame call, writes the trace and ends the process with ExitProcess, so
// that the plug-in's unload comes as it does when a game quits.
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>
#include <x86intrin.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/plugin_directory.h"
#include "entry/near_call.h"
#include "host/game_addresses.h"
#include "platform/module_folder_win32.h"
#include "standins/game-exe/game_stand_in_win32.h"
#include "standins/world/replay.h"
#include "standins/world/trace.h"
#include "standins/world/world.h"

namespace {

constexpr const char* usage =
    "usage: ostrelle-host [--plugin Ostrelle.dll] [--trace FILE] [--relocate] [--wrong-build]\n"
    "                     [--fault KIND:FRAME]... [--free-at FRAME] [--chain-before DLL |\n"
    "                     --chain-after DLL] [--free-chain-at FRAME] [--preload DLL]\n"
    "                     [--locale NAME] [--fail-allocation] [--fail-pin] [--no-sse2]\n"
    "                     [--frames-while-loading] [--thread-after-load] [--anonymous-hook]\n"
    "                     [--recorder DLL [--recorder-first] [--recorder-disk DISK[,DISK]...]\n"
    "                     [--recorder-untimed] [--local-app-data FOLDER]]\n"
    "                     [--frame-ms MS [--catch-up-from FRAME]]\n"
    "                     [--exit-after MS]\n"
    "                     REPLAY.csv\n"
    "       ostrelle-host --plugin Ostrelle.dll --bench FRAMES\n"
    "KIND: record-noaccess, roof-access-violation, vehicle-divide-by-zero, volume-raises,\n"
    "      host-exception, stack-overflow\n"
    "DISK: full, full-after-first-write, stall, refuse-beside, refuse-beside-ini, refuse-all\n";

struct Options {
    std::string plugin;
    std::string replay;
    std::string trace;
    bool relocate = false;    // load the plug-in away from its preferred base
    bool wrongBuild = false;  // a game build without the frame call
    std::vector<ScheduledFault> faults;
    std::optional<std::uint32_t> freeAt;  // FreeLibrary on the plug-in before this frame
    std::string chain;                    // a second plug-in hooking the same call
    bool chainFirst = false;              // loaded before ours
    std::optional<std::uint32_t> freeChainAt;
    std::uint32_t benchFrames = 0;     // timing mode: cycles per frame over this many frames
    std::vector<std::string> preload;  // loaded before the plug-in, as other plug-ins are
    std::string locale;                // set through msvcrt's setlocale before the plug-in loads
    bool failAllocation = false;       // the plug-in's allocations fail from its first frame on
    bool failPin = false;              // GetModuleHandleExA fails while the plug-in loads
    bool noSse2 = false;               // the processor reports no SSE2 while the plug-in loads
    bool framesWhileLoading = false;   // a thread runs frames while the plug-in loads
    bool threadAfterLoad = false;      // a thread starts and ends once the plug-in has loaded
    std::string recorder;              // the drive recorder, another plug-in on the same call
    bool recorderFirst = false;        // loaded before the plug-in
    bool recorderUntimed = false;      // the recorder's writer writes only when woken
    std::string recorderDisk;          // how the disk treats the recorder's files
    bool localAppData = false;         // LOCALAPPDATA set from the wide command line
    bool anonymousHook = false;        // the call leads into memory of no module when we load
    std::uint32_t exitAfter = 0;       // milliseconds from the last frame to the process's exit
    std::uint32_t frameMs = 0;         // milliseconds between two frames, as a game runs them
    // From this frame on, frames follow each other at once: a game catching up after a hitch.
    std::optional<std::uint32_t> catchUpFrom;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--relocate") {
            options.relocate = true;
        } else if (arg == "--wrong-build") {
            options.wrongBuild = true;
        } else if (arg == "--fail-allocation") {
            options.failAllocation = true;
        } else if (arg == "--fail-pin") {
            options.failPin = true;
        } else if (arg == "--no-sse2") {
            options.noSse2 = true;
        } else if (arg == "--frames-while-loading") {
            options.framesWhileLoading = true;
        } else if (arg == "--thread-after-load") {
            options.threadAfterLoad = true;
        } else if (arg == "--recorder-first") {
            options.recorderFirst = true;
        } else if (arg == "--recorder-untimed") {
            options.recorderUntimed = true;
        } else if (arg == "--anonymous-hook") {
            options.anonymousHook = true;
        } else if (!hasValue && arg.starts_with("--")) {
            return false;
        } else if (arg == "--plugin") {
            options.plugin = argv[++i];
        } else if (arg == "--trace") {
            options.trace = argv[++i];
        } else if (arg == "--fault") {
            ScheduledFault fault;
            if (!parseScheduledFault(argv[++i], fault)) return false;
            options.faults.push_back(fault);
        } else if (arg == "--free-at") {
            options.freeAt = std::stoul(argv[++i]);
        } else if (arg == "--chain-before" || arg == "--chain-after") {
            options.chain = argv[++i];
            options.chainFirst = arg == "--chain-before";
        } else if (arg == "--bench") {
            options.benchFrames = std::stoul(argv[++i]);
        } else if (arg == "--preload") {
            options.preload.push_back(argv[++i]);
        } else if (arg == "--locale") {
            options.locale = argv[++i];
        } else if (arg == "--free-chain-at") {
            options.freeChainAt = std::stoul(argv[++i]);
        } else if (arg == "--recorder") {
            options.recorder = argv[++i];
        } else if (arg == "--recorder-disk") {
            options.recorderDisk = argv[++i];
        } else if (arg == "--local-app-data") {
            options.localAppData = true;  // read again from the wide command line: any language
            ++i;
        } else if (arg == "--frame-ms") {
            options.frameMs = std::stoul(argv[++i]);
        } else if (arg == "--catch-up-from") {
            options.catchUpFrom = std::stoul(argv[++i]);
        } else if (arg == "--exit-after") {
            options.exitAfter = std::stoul(argv[++i]);
        } else if (options.replay.empty() && !arg.starts_with("--")) {
            options.replay = arg;
        } else {
            return false;
        }
    }
    static const std::string disks[] = {"full",          "full-after-first-write", "stall",
                                        "refuse-beside", "refuse-beside-ini",      "refuse-all"};
    std::string kinds = options.recorderDisk;
    for (std::size_t start = 0; !kinds.empty() && start <= kinds.size();) {
        std::size_t end = std::min(kinds.find(',', start), kinds.size());
        if (std::find(std::begin(disks), std::end(disks), kinds.substr(start, end - start)) ==
            std::end(disks)) {
            return false;
        }
        start = end + 1;
    }
    if (options.benchFrames > 0) return !options.plugin.empty() && options.replay.empty();
    return !(options.plugin.empty() && options.recorder.empty()) && !options.replay.empty();
}

const IMAGE_NT_HEADERS32* headersOf(const void* image) {
    auto* base = static_cast<const std::uint8_t*>(image);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
}

// Where a DLL file asks to be loaded, and how much it spans there.
struct ImageSpan {
    std::uintptr_t base = 0;
    std::uint32_t size = 0;
};

ImageSpan preferredSpan(const std::string& dllPath) {
    std::ifstream file(dllPath, std::ios::binary);
    std::vector<char> head(4096);
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    const IMAGE_OPTIONAL_HEADER32& optional = headersOf(head.data())->OptionalHeader;
    return {optional.ImageBase, optional.SizeOfImage};
}

// Takes the plug-in file's preferred load address, so that the loader must relocate it.
bool occupyPreferredBase(const std::string& dllPath) {
    ImageSpan span = preferredSpan(dllPath);
    return VirtualAlloc(reinterpret_cast<void*>(span.base), span.size, MEM_RESERVE,
                        PAGE_NOACCESS) != nullptr;
}

// Points module's import of dll!name at replacement; false when it imports no such function.
bool redirectImport(HMODULE module, const char* dll, const char* name, const void* replacement) {
    auto* base = reinterpret_cast<std::uint8_t*>(module);
    const IMAGE_DATA_DIRECTORY& imports =
        headersOf(base)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        if (_stricmp(reinterpret_cast<char*>(base + descriptor->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
            DWORD previous = 0;
            VirtualProtect(&slots->u1.Function, 4, PAGE_READWRITE, &previous);
            slots->u1.Function = reinterpret_cast<DWORD>(replacement);
            VirtualProtect(&slots->u1.Function, 4, previous, &previous);
            return true;
        }
    }
    return false;
}

World* simulatedGame = nullptr;

DWORD WINAPI simulatedTickCount() {
    return simulatedGame->getTickCount();
}

// Runs the plug-in on the world's clock, and has the recording bass.dll report to trace.
void attach(HMODULE plugin, World& world, Trace& trace) {
    simulatedGame = &world;
    redirectImport(plugin, "KERNEL32.dll", "GetTickCount",
                   reinterpret_cast<const void*>(&simulatedTickCount));
    using RecordTo = void (*)(audio::CallObserver*);
    auto recordTo = reinterpret_cast<RecordTo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("bass.dll"), "bassRecordTo")));
    if (recordTo != nullptr) recordTo(&trace);
}

std::uint32_t tickForFloor() {
    return simulatedTickCount();
}

// Frames timed together: the time stamp counter moves in steps of tens of cycles here, so a
// single frame's figure is a multiple of that step; a batch's mean resolves to a cycle.
constexpr std::uint32_t batchFrames = 1000;

// Cycles per frame: the median over batches of their means. A batch that an interrupt or the
// other core's work caught tells nothing of the hook.
double cyclesPerFrame(GameStandIn& game, std::uint32_t frames, bool withFloor) {
    std::vector<double> means(std::max(frames / batchFrames, 1u));
    for (double& mean : means) {
        mean = static_cast<double>(game.cyclesOfFrames(batchFrames, withFloor, tickForFloor)) /
               batchFrames;
    }
    std::nth_element(means.begin(), means.begin() + means.size() / 2, means.end());
    return means[means.size() / 2];
}

double cyclesPerSecond() {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::uint64_t cycles = __rdtsc();
    Sleep(500);
    cycles = __rdtsc() - cycles;
    QueryPerformanceCounter(&end);
    return static_cast<double>(cycles) * frequency.QuadPart / (end.QuadPart - start.QuadPart);
}

// The figures of one run of the bench, in cycles per frame.
struct BenchRun {
    double hookOff = 0, floor = 0, quiet = 0, tunnel = 0;

    // What the hook adds on a quiet frame, in times what the floor adds.
    double ratio() const { return (quiet - hookOff) / (floor - hookOff); }
};

// How often the bench is run: the figures move from run to run, by more than within one.
constexpr std::size_t benchRuns = 5;

// What the hook costs the game: the game's routine alone, the floor (the calls every frame of
// the plug-in must make, made directly), and the routine with our hook on a quiet and on a tunnel
// frame. The world stands still: the same row every frame. The figures without the hook are
// taken before it loads (it cannot be unloaded), run by run.
int bench(const Options& options) {
    GameStandIn game(false);
    Trace trace(nullptr, "");
    World world(trace);
    game.answerFrom(world);
    simulatedGame = &world;
    ReplayFrame quiet;
    quiet.vehicle = 1;
    ReplayFrame tunnel = quiet;
    tunnel.roofFound = true;
    tunnel.roofZ = 5.0f;
    world.enterFrame(quiet);
    BenchRun runs[benchRuns];
    for (BenchRun& run : runs) {
        run.hookOff = cyclesPerFrame(game, options.benchFrames, false);
        run.floor = cyclesPerFrame(game, options.benchFrames, true);
    }
    HMODULE plugin = LoadLibraryA(options.plugin.c_str());
    if (plugin == nullptr) {
        std::fprintf(stderr, "ostrelle-host: cannot load %s\n", options.plugin.c_str());
        return 2;
    }
    attach(plugin, world, trace);
    // Warm-up, out of the time measured: a library's first frames start its work (the
    // recorder's writer opens its files) and touch its storage for the first time (the
    // recorder's ring: a page fault every 78 rows). Each pause lets a writer empty the ring.
    auto settle = [] { Sleep(200); };
    for (std::uint32_t warm = 0; warm < 9; ++warm) {
        game.cyclesOfFrames(batchFrames, false, tickForFloor);
        settle();
    }
    for (BenchRun& run : runs) {
        world.enterFrame(quiet);
        run.quiet = cyclesPerFrame(game, options.benchFrames, false);
        settle();
        world.enterFrame(tunnel);
        run.tunnel = cyclesPerFrame(game, options.benchFrames, false);
        settle();
    }

    double hz = cyclesPerSecond();
    std::printf(
        "cycles per frame (rdtsc under Wine, %.2f GHz; median of %u-frame batches' means"
        " over %u frames), %zu runs:\n",
        hz / 1e9, batchFrames, options.benchFrames, benchRuns);
    std::printf("  run  hook off    floor    quiet   tunnel  quiet adds / floor adds\n");
    for (std::size_t i = 0; i < benchRuns; ++i) {
        const BenchRun& run = runs[i];
        std::printf("  %3zu  %8.1f %8.1f %8.1f %8.1f  %.2f\n", i + 1, run.hookOff, run.floor,
                    run.quiet, run.tunnel, run.ratio());
    }
    std::sort(std::begin(runs), std::end(runs),
              [](const BenchRun& a, const BenchRun& b) { return a.ratio() < b.ratio(); });
    const BenchRun& middle = runs[benchRuns / 2];
    std::printf(
        "hook on a quiet frame adds %.1f cycles: %.2f times what the floor adds (runs %.2f to"
        " %.2f), %.6f %% of a 16.7 ms frame (goal < 0.001 %%)\n",
        middle.quiet - middle.hookOff, middle.ratio(), runs[0].ratio(), runs[benchRuns - 1].ratio(),
        100.0 * (middle.quiet - middle.hookOff) / hz / 0.0167);
    std::fflush(stdout);
    ExitProcess(0);
}

// The failures of one run: each is told on stderr, the first 20 of them.
struct Run {
    std::uint32_t failures = 0;

    void fail(const std::string& what) {
        if (++failures <= 20) std::fprintf(stderr, "ostrelle-host: %s\n", what.c_str());
    }
};

// A function of a system DLL replaced for as long as this lives: its first five bytes become a
// jump to the replacement, so every module's call reaches it, also from a module's load handler,
// before the host could touch that module's imports.
class FunctionDetour {
  public:
    FunctionDetour(const char* dll, const char* name, const void* replacement)
        : code(reinterpret_cast<std::uint8_t*>(
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(dll), name)))) {
        if (code == nullptr) return;
        std::memcpy(saved, code, sizeof saved);
        std::uint8_t jump[5] = {0xE9};  // JMP rel32
        std::uint32_t displacement = reinterpret_cast<std::uint32_t>(replacement) -
                                     reinterpret_cast<std::uint32_t>(code + 5);
        std::memcpy(jump + 1, &displacement, 4);
        write(jump);
    }
    ~FunctionDetour() {
        if (code != nullptr) write(saved);
    }
    FunctionDetour(const FunctionDetour&) = delete;
    FunctionDetour& operator=(const FunctionDetour&) = delete;

    bool installed() const { return code != nullptr; }

  private:
    void write(const std::uint8_t* bytes) {
        DWORD previous = 0;
        VirtualProtect(code, sizeof saved, PAGE_EXECUTE_READWRITE, &previous);
        std::memcpy(code, bytes, sizeof saved);
        VirtualProtect(code, sizeof saved, previous, &previous);
        FlushInstructionCache(GetCurrentProcess(), code, sizeof saved);
    }

    std::uint8_t* code;
    std::uint8_t saved[5] = {};
};

BOOL WINAPI refusePin(DWORD, LPCSTR, HMODULE* module) {
    if (module != nullptr) *module = nullptr;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A processor older than SSE2 knows none of the features asked about by number.
BOOL WINAPI featureAbsent(DWORD) {
    return FALSE;
}

void* __cdecl mallocFails(std::size_t) {
    return nullptr;
}
void* __cdecl callocFails(std::size_t, std::size_t) {
    return nullptr;
}
void* __cdecl reallocFails(void*, std::size_t) {
    return nullptr;
}

// Loads the plug-in as the options have the game and the process be at that moment.
HMODULE loadPlugin(const Options& options, Run& run) {
    std::optional<FunctionDetour> pin, sse2;
    if (options.failPin)
        pin.emplace("kernel32.dll", "GetModuleHandleExA",
                    reinterpret_cast<const void*>(&refusePin));
    if (options.noSse2)
        sse2.emplace("kernel32.dll", "IsProcessorFeaturePresent",
                     reinterpret_cast<const void*>(&featureAbsent));
    if ((pin && !pin->installed()) || (sse2 && !sse2->installed())) {
        run.fail("a kernel32 function to replace was not found");
    }
    return LoadLibraryA(options.plugin.c_str());
}

// From now on the plug-in's allocations through the C library fail, as with no memory left.
void failAllocations(HMODULE plugin) {
    redirectImport(plugin, "msvcrt.dll", "malloc", reinterpret_cast<const void*>(&mallocFails));
    redirectImport(plugin, "msvcrt.dll", "calloc", reinterpret_cast<const void*>(&callocFails));
    redirectImport(plugin, "msvcrt.dll", "realloc", reinterpret_cast<const void*>(&reallocFails));
}

// The drive recorder's disk as the options have it: its file calls come here.
struct RecorderDisk {
    std::string kinds;      // as --recorder-disk names them
    std::wstring folder;    // the recorder's, with a trailing backslash
    DWORD room = 100000;    // bytes a full disk still takes
    bool anyWrite = false;  // the recorder has written

    bool is(const char* kind) const {
        return ("," + kinds + ",").find(std::string(",") + kind + ",") != std::string::npos;
    }
};
RecorderDisk recorderDisk;

bool refused(LPCWSTR path) {
    std::wstring_view name(path);
    if (name.starts_with(L"\\\\?\\")) name.remove_prefix(4);
    bool beside =
        name.size() >= recorderDisk.folder.size() &&
        _wcsnicmp(name.data(), recorderDisk.folder.c_str(), recorderDisk.folder.size()) == 0;
    return recorderDisk.is("refuse-all") || (beside && recorderDisk.is("refuse-beside")) ||
           (beside && recorderDisk.is("refuse-beside-ini") && name.ends_with(L".ini"));
}

HANDLE WINAPI recorderCreateFile(LPCWSTR path, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE templateFile) {
    if ((access & GENERIC_WRITE) != 0 && refused(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI recorderCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
    if (refused(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return CreateDirectoryW(path, security);
}

// A full disk takes what room it has left of a write, and fails it (one that fills after the
// first write has no room after it); a stalled one never returns.
BOOL WINAPI recorderWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                              LPOVERLAPPED overlapped) {
    if (recorderDisk.is("stall")) Sleep(INFINITE);
    if (recorderDisk.is("full-after-first-write") && std::exchange(recorderDisk.anyWrite, true)) {
        recorderDisk.room = 0;
    } else if (!recorderDisk.is("full")) {
        return WriteFile(file, data, size, written, overlapped);
    }
    DWORD taken = std::min(size, recorderDisk.room);
    recorderDisk.room -= taken;
    BOOL wrote = WriteFile(file, data, taken, written, overlapped);
    if (wrote && taken == size) return TRUE;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

// Puts the recorder on the disk the options ask for.
void redirectRecorderDisk(HMODULE recorder, const std::string& kinds) {
    recorderDisk.kinds = kinds;
    wchar_t name[MAX_PATH * 4];
    std::wstring_view path(name, GetModuleFileNameW(recorder, name, MAX_PATH * 4));
    recorderDisk.folder = std::wstring(path.substr(0, path.find_last_of(L'\\') + 1));
    redirectImport(recorder, "KERNEL32.dll", "CreateFileW",
                   reinterpret_cast<const void*>(&recorderCreateFile));
    redirectImport(recorder, "KERNEL32.dll", "CreateDirectoryW",
                   reinterpret_cast<const void*>(&recorderCreateDirectory));
    redirectImport(recorder, "KERNEL32.dll", "WriteFile",
                   reinterpret_cast<const void*>(&recorderWriteFile));
}

// The recorder's clock is the world's, as the plug-in's, but its reads are not the plug-in's.
DWORD WINAPI quietTickCount() {
    simulatedGame->setTraced(false);
    DWORD tick = simulatedGame->getTickCount();
    simulatedGame->setTraced(true);
    return tick;
}

// The recorder's writer waits for its wake alone: its timed rounds never come, so what it writes
// shows what woke it.
DWORD WINAPI untilWoken(HANDLE handle, DWORD) {
    return WaitForSingleObject(handle, INFINITE);
}

// Runs the recorder on the world's clock and its disk, its calls into the game untraced.
void attachRecorder(HMODULE recorder, GameStandIn& game, const Options& options) {
    redirectImport(recorder, "KERNEL32.dll", "GetTickCount",
                   reinterpret_cast<const void*>(&quietTickCount));
    if (options.recorderUntimed) {
        redirectImport(recorder, "KERNEL32.dll", "WaitForSingleObject",
                       reinterpret_cast<const void*>(&untilWoken));
    }
    redirectRecorderDisk(recorder, options.recorderDisk);
    game.answerQuietlyTo(recorder, headersOf(recorder)->OptionalHeader.SizeOfImage);
}

// The value after option on the wide command line: a path in any language, which the ANSI
// arguments would turn into '?'.
std::wstring wideArgumentAfter(const wchar_t* option) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring value;
    for (int i = 0; arguments != nullptr && i + 1 < count; ++i) {
        if (std::wcscmp(arguments[i], option) == 0) value = arguments[i + 1];
    }
    LocalFree(arguments);
    return value;
}

// Another plug-in's hook in memory of no module: the call now leads to a jump, in memory
// allocated on its own, to the game's routine.
bool hookFromAnonymousMemory() {
    auto* site = reinterpret_cast<std::uint8_t*>(gameAddress::frameCallSite);
    NearCall found;
    std::memcpy(found.bytes.data(), site, NearCall::length);
    auto* jump = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    if (jump == nullptr) return false;
    const auto at = reinterpret_cast<std::uint32_t>(jump);
    NearCall toRoutine = NearCall::to(at, found.target(gameAddress::frameCallSite));
    toRoutine.bytes[0] = 0xE9;  // JMP rel32: the same displacement as a near call
    std::memcpy(jump, toRoutine.bytes.data(), NearCall::length);
    DWORD previous = 0;
    if (!VirtualProtect(site, NearCall::length, PAGE_EXECUTE_READWRITE, &previous)) return false;
    std::memcpy(site, NearCall::to(gameAddress::frameCallSite, at).bytes.data(), NearCall::length);
    VirtualProtect(site, NearCall::length, previous, &previous);
    FlushInstructionCache(GetCurrentProcess(), site, NearCall::length);
    return true;
}

// The process and the game as the options have them before any plug-in loads: other modules,
// msvcrt's locale, the user's folder, another plug-in's hook. Answers what failed ("" if none).
std::string prepareProcess(const Options& options) {
    for (const std::string& other : options.preload) {
        if (LoadLibraryA(other.c_str()) == nullptr) return "cannot load " + other;
    }
    if (!options.locale.empty() && std::setlocale(LC_ALL, options.locale.c_str()) == nullptr) {
        return "msvcrt has no locale " + options.locale;
    }
    if (options.localAppData &&
        !SetEnvironmentVariableW(L"LOCALAPPDATA", wideArgumentAfter(L"--local-app-data").c_str())) {
        return "cannot set LOCALAPPDATA";
    }
    if (options.anonymousHook && !hookFromAnonymousMemory()) return "cannot hook the call";
    return "";
}

// What the host loaded; a name in failed when a load failed.
struct Loaded {
    HMODULE plugin = nullptr, recorder = nullptr, chain = nullptr;
    std::string failed;
};

// Loads the other plug-in, the recorder and ours in the order the options give, as a plug-in
// loader does.
Loaded loadPlugins(const Options& options, GameStandIn& game, Run& run) {
    Loaded loaded;
    if (options.chainFirst) loaded.chain = LoadLibraryA(options.chain.c_str());
    if (options.recorderFirst) loaded.recorder = LoadLibraryA(options.recorder.c_str());
    if (options.relocate && !occupyPreferredBase(options.plugin)) {
        run.fail("the plug-in's preferred base could not be taken");
    }
    std::atomic<bool> loading = true;
    std::string wrongWhileLoading;
    std::thread framesWhileLoading;
    if (options.framesWhileLoading) {
        framesWhileLoading = std::thread([&] { wrongWhileLoading = game.runFramesWhile(loading); });
    }
    if (!options.plugin.empty()) loaded.plugin = loadPlugin(options, run);
    loading = false;
    if (framesWhileLoading.joinable()) framesWhileLoading.join();
    if (!wrongWhileLoading.empty()) run.fail("while the plug-in loaded: " + wrongWhileLoading);
    if (loaded.plugin == nullptr && !options.plugin.empty()) {
        loaded.failed = options.plugin;
        return loaded;
    }
    if (!options.recorder.empty() && !options.recorderFirst) {
        loaded.recorder = LoadLibraryA(options.recorder.c_str());
    }
    if (loaded.recorder == nullptr && !options.recorder.empty()) {
        loaded.failed = options.recorder;
        return loaded;
    }
    // The loaded DLLs get a thread attach and a thread detach, unless they turned them off.
    if (options.threadAfterLoad) std::thread([] {}).join();
    if (!options.chain.empty() && !options.chainFirst) {
        loaded.chain = LoadLibraryA(options.chain.c_str());
    }
    if (!options.chain.empty() && loaded.chain == nullptr) loaded.failed = options.chain;
    return loaded;
}

// Runs the replay's frames through the game's call, checking the game's contract in each.
void runFrames(const Options& options, const std::vector<ReplayFrame>& frames, Loaded& loaded,
               bool hooked, GameStandIn& game, World& world, Run& run) {
    auto* chainCalls = loaded.chain != nullptr
                           ? reinterpret_cast<volatile std::uint32_t*>(
                                 GetProcAddress(loaded.chain, "chainedHookCalls"))
                           : nullptr;
    std::uint32_t hostExceptionsRaised = 0;
    for (const ReplayFrame& row : frames) {
        if (options.freeAt == row.frame) {
            const bool plugin = loaded.plugin != nullptr;
            FreeLibrary(plugin ? loaded.plugin : loaded.recorder);
            bool stillLoaded =
                GetModuleHandleA((plugin ? options.plugin : options.recorder).c_str()) != nullptr;
            if (stillLoaded != hooked) {
                run.fail(hooked ? "FreeLibrary unloaded the hooked plug-in"
                                : "an inert plug-in stayed loaded after FreeLibrary");
            }
        }
        if (options.freeChainAt == row.frame) {
            FreeLibrary(loaded.chain);
            loaded.chain = nullptr;
            chainCalls = nullptr;
        }
        std::uint32_t chainBefore = chainCalls != nullptr ? *chainCalls : 0;
        world.enterFrame(row);
        std::string wrong =
            game.runFrame(row, hooked && loaded.plugin != nullptr && row.suspend == 0 ? 1 : 0);
        if (chainCalls != nullptr && *chainCalls != chainBefore + 1) {
            wrong += "; the other plug-in's hook ran " + std::to_string(*chainCalls - chainBefore) +
                     " times";
        }
        if (!wrong.empty()) run.fail("frame " + std::to_string(row.frame) + ": " + wrong);
        bool catchingUp = options.catchUpFrom && row.frame >= *options.catchUpFrom;
        if (options.frameMs > 0 && !catchingUp) Sleep(options.frameMs);
        for (const ScheduledFault& fault : options.faults) {
            if (fault.fault == GameFault::HostException && fault.frame == row.frame) {
                hostExceptionsRaised++;
            }
        }
    }
    if (game.hostExceptionsHandled() != hostExceptionsRaised) {
        run.fail("the game's own exception reached its handler " +
                 std::to_string(game.hostExceptionsHandled()) + " of " +
                 std::to_string(hostExceptionsRaised) + " times");
    }
}

}  // namespace

extern "C" __declspec(dllexport) int hostMain(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (options.benchFrames > 0) return bench(options);
    std::vector<ReplayFrame> frames;
    try {
        std::ifstream in(options.replay, std::ios::binary);
        if (!in) throw std::runtime_error(options.replay + ": cannot be read");
        std::string warning;
        frames = readReplay(in, options.replay, &warning);
        if (!warning.empty()) std::fprintf(stderr, "ostrelle-host: warning: %s\n", warning.c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ostrelle-host: %s\n", error.what());
        return 2;
    }
    Run run;
    GameStandIn game(options.wrongBuild);
    game.schedule(options.faults);
    if (std::string failed = prepareProcess(options); !failed.empty()) {
        std::fprintf(stderr, "ostrelle-host: %s\n", failed.c_str());
        return 2;
    }
    const std::vector<std::uint8_t> callSite = game.callSiteBytes();
    Loaded loaded = loadPlugins(options, game, run);
    if (!loaded.failed.empty()) {
        std::fprintf(stderr, "ostrelle-host: cannot load %s\n", loaded.failed.c_str());
        return 2;
    }
    if (options.relocate &&
        reinterpret_cast<std::uintptr_t>(loaded.plugin) == preferredSpan(options.plugin).base) {
        run.fail("the plug-in was loaded at its preferred base");
    }
    // Inert: a game build it does not know, a pin that failed, a processor without SSE2, a call
    // that leads into memory of no module.
    const bool hookable =
        !options.wrongBuild && !options.failPin && !options.noSse2 && !options.anonymousHook;
    if (!hookable && game.callSiteBytes() != callSite) {
        run.fail("the call site changed, where the plug-in must stay inert");
    }

    std::ofstream traceFile;
    if (!options.trace.empty()) traceFile.open(options.trace, std::ios::binary);
    traceFile << std::unitbuf;  // the unload writes at ExitProcess, past any later flush
    // The folder as the plug-in names it (its short name where the ANSI name cannot hold it).
    static PathText pluginFolder;
    ansiFolderOf(loaded.plugin != nullptr ? loaded.plugin : loaded.recorder, pluginFolder);
    Trace trace(options.trace.empty() ? nullptr : &traceFile, std::string(pluginFolder.view()));
    World world(trace);
    game.answerFrom(world);
    simulatedGame = &world;
    if (loaded.plugin != nullptr) attach(loaded.plugin, world, trace);
    if (loaded.recorder != nullptr) attachRecorder(loaded.recorder, game, options);
    if (options.failAllocation) failAllocations(loaded.plugin);
    runFrames(options, frames, loaded, hookable, game, world, run);
    world.leaveFrames();
    std::printf("ostrelle-host: %zu frames, %u failures\n", frames.size(), run.failures);
    std::fflush(stdout);
    Sleep(options.exitAfter);
    ExitProcess(run.failures == 0 ? 0 : 1);
}
