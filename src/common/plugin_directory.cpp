#include "common/plugin_directory.h"

std::string pluginDirectory = ".";

std::string folderOfModule(std::string_view moduleName) {
    std::size_t separator = moduleName.find_last_of("\\/");
    if (separator == std::string_view::npos) return ".";
    return std::string(moduleName.substr(0, separator));
}
