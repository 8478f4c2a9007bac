#include "standins/game-exe/game_stand_in_win32.h"

#include <windows.h>
#include <x86intrin.h>

#include <cstring>
#include <string_view>

#include "entry/near_call.h"
#include "host/game_addresses.h"
#include "host/vehicle_record.h"

namespace {

World* world = nullptr;
bool gameRoutineCalled = true;  // false for a game build without the frame call
std::vector<ScheduledFault> faults;
std::uint32_t currentFrame = 0;

constexpr std::uint32_t frameReturn = gameAddress::frameCallSite + 5;
// The game's object and argument for its frame routine; the registers its caller keeps.
constexpr std::uint32_t gameObject = 0x00C0FFEE;
constexpr std::uint32_t frameArgumentBase = 0xA5000000;
constexpr std::uint32_t hostExceptionCode = 0xE0484F53;  // an application code: bit 29 set

extern "C" {
// Shared with runGameFrame below.
std::uint32_t frameArgument, frameEspShift, callerEsp, espAtCall;
std::uint32_t seenAfter[5];  // EBX, ESI, EDI, EBP, ESP back at the caller
void runGameFrame();
void gameFrameReturned();
}
constexpr std::uint32_t keptEbx = 0xB0B0B0B0, keptEsi = 0x51515151, keptEdi = 0xD1D1D1D1,
                        keptEbp = 0xBE0000BE;

// The caller of the game's frame call: it loads ECX with the game's object, pushes one argument,
// puts known values in EBX, ESI, EDI and EBP, moves ESP by frameEspShift, and jumps to the call
// site. The code after the call jumps back to gameFrameReturned, which records the registers.
extern "C" __attribute__((naked)) void runGameFrame() {
    asm(R"(
    .intel_syntax noprefix
    pushad
    mov DWORD PTR [_callerEsp], esp
    sub esp, DWORD PTR [_frameEspShift]
    push DWORD PTR [_frameArgument]
    mov DWORD PTR [_espAtCall], esp
    mov ecx, 0x00C0FFEE
    mov ebx, 0xB0B0B0B0
    mov esi, 0x51515151
    mov edi, 0xD1D1D1D1
    mov ebp, 0xBE0000BE
    mov eax, 0x4A5DAA
    jmp eax
    .globl _gameFrameReturned
_gameFrameReturned:
    mov DWORD PTR [_seenAfter], ebx
    mov DWORD PTR [_seenAfter+4], esi
    mov DWORD PTR [_seenAfter+8], edi
    mov DWORD PTR [_seenAfter+12], ebp
    mov DWORD PTR [_seenAfter+16], esp
    mov esp, DWORD PTR [_callerEsp]
    popad
    ret
    .att_syntax prefix
)");
}

// What the game's routine saw in the current frame.
struct RoutineSeen {
    std::uint32_t calls = 0;
    std::uint32_t object = 0, argument = 0, returnAddress = 0;
    std::uint32_t pluginCallsBefore = 0;
};
RoutineSeen routineSeen;
std::uint32_t queryActorCalls = 0;  // in the current frame
std::uintptr_t quietBase = 0, quietEnd = 0;

bool fromQuietModule(void* returnAddress) {
    auto address = reinterpret_cast<std::uintptr_t>(returnAddress);
    return address >= quietBase && address < quietEnd;
}

// The world's answer, untraced for a call from the quiet module. Only around the world's own call,
// which never faults: a fault the game raises on purpose must not leave the trace muted.
template <typename Answer>
auto answer(bool quiet, Answer ask) {
    world->setTraced(!quiet);
    auto result = ask();
    world->setTraced(true);
    return result;
}
std::uint32_t hostExceptions = 0;

bool faultNow(GameFault fault) {
    for (const ScheduledFault& f : faults) {
        if (f.fault == fault && f.frame == currentFrame) return true;
    }
    return false;
}

void* noAccessPage() {
    static void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    return page;
}

int recurse(int depth) {
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    if (depth < 0) return 0;  // never: the stack ends first
    return recurse(depth + 1) + page[0];
}

volatile std::uint32_t zero = 0;

// The game's own per-frame routine: a member function taking one argument.
void __thiscall gameFrameRoutine(void* object, std::uint32_t argument) {
    routineSeen.calls++;
    routineSeen.object = reinterpret_cast<std::uint32_t>(object);
    routineSeen.argument = argument;
    routineSeen.returnAddress = reinterpret_cast<std::uint32_t>(__builtin_return_address(0));
    routineSeen.pluginCallsBefore = queryActorCalls;
    if (faultNow(GameFault::HostException)) RaiseException(hostExceptionCode, 0, 0, nullptr);
}

LONG CALLBACK handleHostException(EXCEPTION_POINTERS* exception) {
    if (exception->ExceptionRecord->ExceptionCode != hostExceptionCode) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    hostExceptions++;
    return EXCEPTION_CONTINUE_EXECUTION;
}

HostAddress __cdecl gameQueryActor() {
    bool quiet = fromQuietModule(__builtin_return_address(0));
    if (!quiet) queryActorCalls++;
    return answer(quiet, [] { return world->queryActor(); });
}

HostAddress __cdecl gameQueryVehicle() {
    bool quiet = fromQuietModule(__builtin_return_address(0));
    if (faultNow(GameFault::RecordNoAccess)) return reinterpret_cast<HostAddress>(noAccessPage());
    if (faultNow(GameFault::VehicleDivideByZero)) return 1 / zero;
    if (faultNow(GameFault::StackOverflow)) return recurse(0);
    return answer(quiet, [] { return world->queryVehicle(); });
}

float __cdecl gameFindRoofZ(float x, float y, float z, std::uint8_t* found) {
    bool quiet = fromQuietModule(__builtin_return_address(0));
    if (faultNow(GameFault::RoofAccessViolation)) {
        return static_cast<float>(*static_cast<volatile int*>(noAccessPage()));
    }
    return answer(quiet, [&] { return world->findRoofZ(x, y, z, found); });
}

std::uint32_t wrongAudioObjects = 0;

void __thiscall gameSetRadioVolume(void* object, std::uint32_t volume) {
    if (reinterpret_cast<std::uint32_t>(object) != gameAddress::audioObject) wrongAudioObjects++;
    if (faultNow(GameFault::VolumeRaises)) RaiseException(0xE0000001, 0, 0, nullptr);
    world->setRadioVolume(volume);
}

std::uint8_t* at(std::uint32_t address) {
    return reinterpret_cast<std::uint8_t*>(address);
}

// JMP rel32 at address to target.
void writeJump(std::uint32_t address, const void* target) {
    std::uint32_t displacement = reinterpret_cast<std::uint32_t>(target) - (address + 5);
    at(address)[0] = 0xE9;
    std::memcpy(at(address) + 1, &displacement, 4);
}

// MOV EAX, imm32; JMP EAX: back to the caller's code after the frame call.
void writeJumpThroughEax(std::uint32_t address, const void* target) {
    std::uint32_t absolute = reinterpret_cast<std::uint32_t>(target);
    at(address)[0] = 0xB8;
    std::memcpy(at(address) + 1, &absolute, 4);
    at(address)[5] = 0xFF;
    at(address)[6] = 0xE0;
}

// Puts execute-read back on the pages of the game's code once it is written.
void protectCode(std::uint32_t address) {
    DWORD previous = 0;
    VirtualProtect(at(address), 16, PAGE_EXECUTE_READ, &previous);
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%#x", value);
    return text;
}

}  // namespace

bool parseScheduledFault(const std::string& text, ScheduledFault& fault) {
    static constexpr struct {
        std::string_view name;
        GameFault fault;
    } names[] = {
        {"record-noaccess", GameFault::RecordNoAccess},
        {"roof-access-violation", GameFault::RoofAccessViolation},
        {"vehicle-divide-by-zero", GameFault::VehicleDivideByZero},
        {"volume-raises", GameFault::VolumeRaises},
        {"host-exception", GameFault::HostException},
        {"stack-overflow", GameFault::StackOverflow},
    };
    std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    for (const auto& n : names) {
        if (text.compare(0, colon, n.name) == 0) {
            fault = {n.fault, static_cast<std::uint32_t>(std::stoul(text.substr(colon + 1)))};
            return true;
        }
    }
    return false;
}

GameStandIn::GameStandIn(bool wrongBuild) {
    gameRoutineCalled = !wrongBuild;
    DWORD previous = 0;
    VirtualProtect(at(gameAddress::frameCallSite), 0x600000, PAGE_EXECUTE_READWRITE, &previous);
    if (wrongBuild) {
        std::memset(at(gameAddress::frameCallSite), 0x90, 5);  // five NOPs: no call to redirect
    } else {
        NearCall call = NearCall::to(gameAddress::frameCallSite,
                                     reinterpret_cast<std::uint32_t>(&gameFrameRoutine));
        std::memcpy(at(gameAddress::frameCallSite), call.bytes.data(), NearCall::length);
    }
    writeJumpThroughEax(frameReturn, reinterpret_cast<const void*>(&gameFrameReturned));
    writeJump(gameAddress::queryActor, reinterpret_cast<const void*>(&gameQueryActor));
    writeJump(gameAddress::queryVehicle, reinterpret_cast<const void*>(&gameQueryVehicle));
    writeJump(gameAddress::findRoofZ, reinterpret_cast<const void*>(&gameFindRoofZ));
    writeJump(gameAddress::setRadioVolume, reinterpret_cast<const void*>(&gameSetRadioVolume));
    for (std::uint32_t code :
         {gameAddress::frameCallSite, gameAddress::queryActor, gameAddress::queryVehicle,
          gameAddress::findRoofZ, gameAddress::setRadioVolume}) {
        protectCode(code);
    }
    FlushInstructionCache(GetCurrentProcess(), nullptr, 0);
    AddVectoredExceptionHandler(1, handleHostException);
}

void GameStandIn::answerQuietlyTo(const void* base, std::uint32_t size) {
    quietBase = reinterpret_cast<std::uintptr_t>(base);
    quietEnd = quietBase + size;
}

void GameStandIn::answerFrom(World& game) {
    world = &game;
}

void GameStandIn::schedule(const std::vector<ScheduledFault>& scheduled) {
    faults = scheduled;
}

std::string GameStandIn::runFrame(const ReplayFrame& row, std::uint32_t pluginCalls) {
    currentFrame = row.frame;
    *at(gameAddress::suspendFlag) = row.suspend;
    routineSeen = {};
    queryActorCalls = 0;
    wrongAudioObjects = 0;
    frameArgument = frameArgumentBase + row.frame;
    frameEspShift = (row.frame % 4) * 4;  // ESP modulo 16 varies from frame to frame
    runGameFrame();

    std::string wrong;
    auto expect = [&](bool ok, const std::string& what) {
        if (!ok) wrong += (wrong.empty() ? "" : "; ") + what;
    };
    expect(routineSeen.calls == (gameRoutineCalled ? 1u : 0u),
           "the game's routine ran " + std::to_string(routineSeen.calls) + " times");
    expect(routineSeen.calls == 0 || routineSeen.object == gameObject,
           "ECX was " + hex(routineSeen.object));
    expect(routineSeen.calls == 0 || routineSeen.argument == frameArgument,
           "the argument was " + hex(routineSeen.argument));
    expect(routineSeen.calls == 0 || routineSeen.returnAddress == frameReturn,
           "the routine returned to " + hex(routineSeen.returnAddress));
    expect(routineSeen.pluginCallsBefore == pluginCalls,
           "the plug-in ran " + std::to_string(routineSeen.pluginCallsBefore) +
               " times before the game's routine");
    expect(seenAfter[0] == keptEbx && seenAfter[1] == keptEsi && seenAfter[2] == keptEdi &&
               seenAfter[3] == keptEbp,
           "EBX/ESI/EDI/EBP came back as " + hex(seenAfter[0]) + "/" + hex(seenAfter[1]) + "/" +
               hex(seenAfter[2]) + "/" + hex(seenAfter[3]));
    // The routine removes its one argument; without the call, nothing does.
    std::uint32_t espBack = espAtCall + (gameRoutineCalled ? 4 : 0);
    expect(seenAfter[4] == espBack,
           "ESP came back off by " + std::to_string(int(seenAfter[4] - espBack)));
    expect(wrongAudioObjects == 0, "setRadioVolume was called on another object");
    return wrong;
}

std::string GameStandIn::runFramesWhile(const std::atomic<bool>& going) {
    *at(gameAddress::suspendFlag) = 1;  // a plug-in that lands meanwhile asks the game nothing
    routineSeen = {};
    frameEspShift = 0;
    std::uint32_t frames = 0, registersLost = 0;
    do {
        frameArgument = frameArgumentBase + frames;
        runGameFrame();
        ++frames;
        if (seenAfter[0] != keptEbx || seenAfter[1] != keptEsi || seenAfter[2] != keptEdi ||
            seenAfter[3] != keptEbp || seenAfter[4] != espAtCall + 4) {
            registersLost++;
        }
    } while (going);
    *at(gameAddress::suspendFlag) = 0;
    std::string wrong;
    if (routineSeen.calls != frames) {
        wrong = "the game's routine ran " + std::to_string(routineSeen.calls) + " times in " +
                std::to_string(frames) + " frames";
    }
    if (registersLost != 0) {
        wrong += (wrong.empty() ? "" : "; ") + std::to_string(registersLost) +
                 " frames lost the caller's registers or stack";
    }
    return wrong;
}

std::uint64_t GameStandIn::cyclesOfFrames(std::uint32_t count, bool withFloor,
                                          std::uint32_t (*tickCount)()) {
    using Query = HostAddress(__cdecl*)();
    using RoofQuery = float(__cdecl*)(float, float, float, std::uint8_t*);
    [[maybe_unused]] static volatile float sink;
    std::uint64_t start = __rdtsc();
    for (std::uint32_t frame = 0; frame < count; ++frame) {
        runGameFrame();
        if (withFloor && *at(gameAddress::suspendFlag) == 0) {
            reinterpret_cast<Query>(gameAddress::queryActor)();
            VehicleRecord record(reinterpret_cast<Query>(gameAddress::queryVehicle)());
            sink = record.health() + record.impactForce() + record.status() +
                   static_cast<float>(tickCount());
            std::uint8_t found = 0;
            Position position = record.position();
            sink = reinterpret_cast<RoofQuery>(gameAddress::findRoofZ)(position.x, position.y,
                                                                       position.z + 1, &found);
        }
    }
    return __rdtsc() - start;
}

std::vector<std::uint8_t> GameStandIn::callSiteBytes() const {
    return {at(gameAddress::frameCallSite), at(gameAddress::frameCallSite) + 5};
}

std::uint32_t GameStandIn::hostExceptionsHandled() const {
    return hostExceptions;
}
