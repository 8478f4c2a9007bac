// The game as the unit tests play it: the simulator's own World, bound to the plug-in, answering
// from a row that a test sets field by field between frames. Every host call goes into the call
// log ("queryActor()", "findRoofZ(1,2,4)", "setRadioVolume(20)") and is counted; a test can make
// the next call of a host function fault, or the vehicle's record go stale.
#pragma once

#include <cstdint>
#include <memory>

#include "host/host_api.h"
#include "standins/world/replay.h"

class Trace;
class World;
class WorldBinding;

// Fault injection: the next call of that host function reads unmapped memory.
struct TestGameFaults {
    bool inQueryVehicle = false;
    bool inFindRoofZ = false;
    bool inSetRadioVolume = false;
};

// The calls that show which path a frame took, counted whether or not the log is on.
struct TestGameCalls {
    std::uint64_t roofProbes = 0;   // findRoofZ
    std::uint64_t radioPushes = 0;  // setRadioVolume
};

class TestGame {
  public:
    static constexpr std::uint32_t car = 1, otherCar = 2;  // vehicle ids

    // hostApi and the clock bound to the world: the actor in the car, in the open, at tick 100000.
    TestGame();
    ~TestGame();  // unbound again
    TestGame(const TestGame&) = delete;
    TestGame& operator=(const TestGame&) = delete;

    // What the game answers from the next enter() on.
    ReplayFrame row;
    TestGameFaults faults;

    // The world takes row: what the plug-in's next frame sees.
    void enter();
    // enter(), then one frame of the plug-in.
    void frame();

    // The current vehicle's record as the game lays it out (after enter()), or 0 on foot.
    HostAddress record() const;
    // From now on the vehicle query answers a record that can no longer be read (or, with false,
    // the current one again).
    void staleRecord(bool stale);

    const TestGameCalls& calls() const { return counted; }

  private:
    std::unique_ptr<Trace> trace;
    std::unique_ptr<World> world;
    std::unique_ptr<WorldBinding> binding;
    TestGameCalls counted;
};

// An address whose page can be neither read nor written, for records that have gone stale.
HostAddress unreadableAddress();
