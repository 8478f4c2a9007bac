// Points the plug-in's view of the game (hostApi) and its clock at one World for as long as the
// object lives: the simulator and the unit tests drive the plug-in through the same world. Linux
// and the browser only; the Windows host binds its stubs at the game's fixed addresses instead.
#pragma once

#include "standins/world/world.h"

class WorldBinding {
  public:
    explicit WorldBinding(World& world);
    ~WorldBinding();  // hostApi empty again, the clock the system's
    WorldBinding(const WorldBinding&) = delete;
    WorldBinding& operator=(const WorldBinding&) = delete;
};
