// The folder of the plug-in file, without a trailing separator: "." until the load handler sets
// it. The settings file and the sounds are looked for there first.
#pragma once

#include <string_view>

#include "common/path_text.h"

extern PathText pluginDirectory;

// The folder part of a module's file name: the text before its last '\' or '/', whichever comes
// last. A name with neither (or an empty one) gives ".", so look-ups go to the current folder; a
// name whose only separator is its first character gives "", and the look-ups start at the root.
// The answer is part of moduleName, or ".".
std::string_view folderOfModule(std::string_view moduleName);
