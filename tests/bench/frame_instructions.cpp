// Instructions per frame of the floor and of the controller's three everyday paths, counted by
// callgrind: the same for the same binary and inputs whatever else the machine is doing, unlike
// time. Run under `valgrind --tool=callgrind --collect-atstart=no` (tests/bench/count-instructions
// does, for make bench): each path's frames are collected alone and dumped under the path's name.
#include <valgrind/callgrind.h>

#include <cstdio>

#include "controller/controller.h"
#include "tests/bench/frame_paths.h"
#include "tests/support/started_plugin.h"

namespace {

constexpr int frames = 10000;

template <typename Frame>
void count(const char* name, Frame frame) {
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < frames; ++i) frame();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(name);
}

}  // namespace

int main() {
    if (!RUNNING_ON_VALGRIND) {
        std::fputs("frame_instructions: run it under valgrind --tool=callgrind (make bench does)\n",
                   stderr);
        return 2;
    }
    {
        StartedPlugin plugin;
        count("floorFrame", [] { [[maybe_unused]] volatile FloorReads reads = floorFrame(); });
    }
    for (const FramePath& path : framePaths) {
        StartedPlugin plugin;
        path.enter(plugin);
        const PathCalls before = callsSoFar(plugin);
        count(path.name, onFrame);
        if (!plugin.ready() ||
            !tookPath(callsBetween(before, callsSoFar(plugin)), path.perFrame, frames)) {
            std::fprintf(stderr, "frame_instructions: %s took another path\n", path.name);
            return 1;
        }
    }
    std::printf("%d\n", frames);  // frames per path, for the script that divides
    return 0;
}
