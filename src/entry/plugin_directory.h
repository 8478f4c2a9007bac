// The folder of the plug-in file, without a trailing separator: "." until the load handler sets
// it. The settings file and the sounds are looked for there first.
#pragma once

#include <string>

extern std::string pluginDirectory;
