// Fuzz target: arbitrary bytes as the game's program, as bass.dll and as Ostrelle.dll. Beyond what
// the sanitizers catch (every read of the PE reader is bounds-checked), it checks what a player
// is promised: a file that is not the game build gets a reason, on one line, and a file taken for
// the game build really has its image base and a near call at the call site.
#include <string>
#include <string_view>

#include "checks/check_game.h"
#include "checks/pe_file.h"
#include "fuzz_support.h"
#include "host/game_addresses.h"

namespace {

void requireOneLine(const std::string& problem, const char* what) {
    require(problem.find('\n') == std::string::npos, std::string(what) + " is one line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const PeFile pe(bytes);
    pe.version();
    pe.exportNames();

    const std::string game = gameBuildProblem(bytes);
    requireOneLine(game, "the game build's problem");
    if (game.empty()) {
        const std::optional<std::size_t> site =
            pe.fileOffset(gameAddress::frameCallSite - 0x400000u, 5);
        require(pe.error().empty() && pe.imageBase() == 0x400000u && site && pe.u8(*site) == 0xE8,
                "a file taken for the game build has its image base and the near call");
    }
    requireOneLine(audioLibraryProblem(bytes), "the audio library's problem");
    return 0;
}
