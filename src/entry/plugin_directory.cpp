#include "entry/plugin_directory.h"

std::string pluginDirectory = ".";
