#include "tests/support/call_log.h"

std::vector<std::string>& callLog() {
    static std::vector<std::string> log;
    return log;
}

void logCall(const std::string& name, const std::vector<std::string>& args) {
    std::string line = name + "(";
    for (std::size_t i = 0; i < args.size(); ++i) line += (i ? "," : "") + args[i];
    callLog().push_back(line + ")");
}
