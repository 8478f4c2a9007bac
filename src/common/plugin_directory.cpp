#include "common/plugin_directory.h"

constinit PathText pluginDirectory{"."};

std::string_view folderOfModule(std::string_view moduleName) {
    std::size_t separator = moduleName.find_last_of("\\/");
    if (separator == std::string_view::npos) return ".";
    return {moduleName.data(), separator};
}
