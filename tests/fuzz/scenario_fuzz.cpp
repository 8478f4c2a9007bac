// Fuzz target: the scenario parser on arbitrary bytes. It gives frames that a replay could hold,
// or throws an InputError that says where; anything else escaping it, a crash or a hang is a
// finding.
#include <string>
#include <string_view>

#include "drives/scenario.h"
#include "fuzz_support.h"
#include "input_error_check.h"

namespace {

// In a folder of its own, so that a settings file named relative to it is never found.
const std::string fileName = "no-such-folder/drive.toml";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Scenario scenario;
    try {
        scenario = parseScenario(text, fileName);
    } catch (const InputError& error) {
        checkInputError(error, text, fileName);
        return 0;
    }
    require(scenario.frames.size() <= maxReplayFrames, "a scenario fits in a replay");
    for (std::size_t i = 0; i < scenario.frames.size(); ++i) {
        require(scenario.frames[i].frame == i, "a scenario's frames count up from 0 by one");
    }
    return 0;
}
