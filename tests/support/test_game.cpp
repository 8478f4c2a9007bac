#include "tests/support/test_game.h"

#include <sys/mman.h>

#include "controller/controller.h"
#include "standins/world/trace.h"
#include "standins/world/world.h"
#include "standins/world/world_binding.h"
#include "tests/support/call_log.h"

namespace {

void touchUnmapped() {
    volatile std::uint8_t* nowhere = reinterpret_cast<volatile std::uint8_t*>(unreadableAddress());
    *nowhere = 1;
}

}  // namespace

TestGame::TestGame()
    : trace(std::make_unique<Trace>(nullptr, "")), world(std::make_unique<World>(*trace)) {
    row.vehicle = car;
    row.tick = 100000;
    world->listen([this](const HostCall& call) {
        switch (call.kind) {
            case HostCall::Kind::queryActor:
                if (callLogging) logCall("queryActor");
                break;
            case HostCall::Kind::queryVehicle:
                if (callLogging) logCall("queryVehicle");
                if (faults.inQueryVehicle) touchUnmapped();
                break;
            case HostCall::Kind::findRoofZ:
                ++counted.roofProbes;
                if (callLogging) {
                    logCall("findRoofZ", {floatText(call.x), floatText(call.y), floatText(call.z)});
                }
                if (faults.inFindRoofZ) touchUnmapped();
                break;
            case HostCall::Kind::setRadioVolume:
                ++counted.radioPushes;
                if (callLogging) logCall("setRadioVolume", {std::to_string(call.volume)});
                if (faults.inSetRadioVolume) touchUnmapped();
                break;
        }
    });
    enter();
    binding = std::make_unique<WorldBinding>(*world);
}

TestGame::~TestGame() = default;

void TestGame::enter() {
    world->enterFrame(row);
}

void TestGame::frame() {
    enter();
    onFrame();
}

HostAddress TestGame::record() const {
    return world->recordAddress();
}

void TestGame::staleRecord(bool stale) {
    world->answerStaleRecord(stale ? unreadableAddress() : 0);
}

HostAddress unreadableAddress() {
    static void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return reinterpret_cast<HostAddress>(page);
}
