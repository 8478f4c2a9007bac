// The game as the plug-in meets it on Windows: code at the game's fixed addresses (the per-frame
// call, the three queries, the radio volume setter, the suspend flag) written into the host
// image's arena, answering from a World, with the calling conventions of the real game. Every
// frame goes through the call site the plug-in redirects, from a caller that checks afterwards
// that the game's registers and stack came back as they left.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "standins/world/world.h"

// Misbehaviour of the game in one frame, to show that the plug-in survives it.
enum class GameFault {
    RecordNoAccess,       // queryVehicle answers a record in a page that cannot be read
    RoofAccessViolation,  // findRoofZ reads a page that cannot be read
    VehicleDivideByZero,  // queryVehicle divides by zero
    VolumeRaises,         // setRadioVolume raises an exception with RaiseException
    HostException,        // the game's own frame routine raises an exception and handles it
    StackOverflow,        // queryVehicle recurses until the stack runs out
};

struct ScheduledFault {
    GameFault fault;
    std::uint32_t frame;
};

// Parses "record-noaccess:12" and the like; false when it is not one.
bool parseScheduledFault(const std::string& text, ScheduledFault& fault);

class GameStandIn {
  public:
    // Writes the game's code into the arena; wrongBuild leaves something other than a near call
    // at the call site, as a game build the plug-in does not know would.
    explicit GameStandIn(bool wrongBuild);

    // From now on the game's functions answer from world.
    void answerFrom(World& world);

    void schedule(const std::vector<ScheduledFault>& faults);

    // Calls from code in [base, base + size), another plug-in's, are answered as any other but
    // neither traced nor counted as the plug-in's.
    void answerQuietlyTo(const void* base, std::uint32_t size);

    // Runs one frame of the game through the call site. Answers what went wrong with the game's
    // contract ("" when nothing did): the game's routine run once, with the game's object,
    // argument and return address, and the caller's stack and registers intact afterwards.
    // pluginCalls is how often the plug-in must have asked queryActor before the game's routine.
    std::string runFrame(const ReplayFrame& row, std::uint32_t pluginCalls);

    // Runs frames one after another, with the game paused, for as long as going holds (at least
    // one): what another thread sees while the plug-in loads. Answers what went wrong ("" when
    // nothing did): every frame must run the game's routine once and give back the registers.
    std::string runFramesWhile(const std::atomic<bool>& going);

    // Processor cycles (rdtsc) of count frames through the call site, unchecked. withFloor adds
    // to each the calls every frame of the plug-in must make, made directly: the suspend byte,
    // the two queries, three fields of the record, one tick read (tickCount) and one roof query.
    std::uint64_t cyclesOfFrames(std::uint32_t count, bool withFloor, std::uint32_t (*tickCount)());

    // The five bytes at the call site.
    std::vector<std::uint8_t> callSiteBytes() const;

    // How often the game's own exception reached the game's handler.
    std::uint32_t hostExceptionsHandled() const;
};
