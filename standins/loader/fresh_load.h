// What a fresh load of Ostrelle.dll gives the plug-in. A game runs the plug-in once per process;
// the simulator, the tests, the benchmarks and the fuzzers run it many times in one, and start each
// run here instead of resetting the plug-in's globals each in its own way.
#pragma once

#include <string>

// Every global of the plug-in at its value when the library has just been loaded and its attach
// handler has recorded pluginFolder as the plug-in's folder: not started, default settings, no
// sound open, the random generator unused. The game's functions and the clock are left as bound.
void loadPluginAfresh(const std::string& pluginFolder);
