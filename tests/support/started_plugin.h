// The plug-in started against the unit tests' doubles with their call log off, as the benchmarks
// and the allocation test need it: a temporary plug-in folder (also the current directory) holding
// a settings file and the sounds, the test game with one eligible vehicle standing in the
// open, and the first frame run, the one that reads the settings and opens the sounds and so may
// allocate.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/support/test_game.h"

class StartedPlugin {
  public:
    // The settings file's values that decide which path a frame takes.
    static constexpr float impactIntensity = 250.0f;  // impactForce above this is an impact
    static constexpr std::uint32_t shortestDuckMs = 2000;
    static constexpr std::uint32_t longestDuckMs = 5000;

    StartedPlugin();
    // Shuts the plug-in down, points it back at the folder it had before and turns the log on.
    ~StartedPlugin();
    StartedPlugin(const StartedPlugin&) = delete;
    StartedPlugin& operator=(const StartedPlugin&) = delete;

    // Whether the first frame started the plug-in with our settings and all three sounds open;
    // when not, the frames would take other paths than the ones named, and play nothing.
    bool ready() const;

    TestGame& game() { return testGame; }

  private:
    TempFolder folder;
    std::string previousPluginDirectory;
    TestGame testGame;
};
