// Fuzz target: the replay reader on arbitrary bytes. It reads them or throws an InputError that
// says where; what it reads, written back, reads as the same frames.
#include <bit>
#include <cmath>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "input_error_check.h"
#include "standins/world/replay.h"

namespace {

const std::string fileName = "drive.csv";

constexpr float ReplayFrame::*floatFields[] = {&ReplayFrame::health, &ReplayFrame::impact,
                                               &ReplayFrame::x,      &ReplayFrame::y,
                                               &ReplayFrame::z,      &ReplayFrame::roofZ};

// Equal field by field, floats to the bit (so -0 is not 0), any NaN matching any NaN: the text of
// a NaN keeps no payload.
bool sameFrame(ReplayFrame a, ReplayFrame b) {
    for (float ReplayFrame::*field : floatFields) {
        const bool bothNan = std::isnan(a.*field) && std::isnan(b.*field);
        if (!bothNan &&
            std::bit_cast<std::uint32_t>(a.*field) != std::bit_cast<std::uint32_t>(b.*field)) {
            return false;
        }
        a.*field = b.*field = 0.0f;
    }
    return a == b;
}

std::vector<ReplayFrame> read(const std::string& text) {
    std::istringstream in(text);
    return readReplay(in, fileName);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ReplayFrame> frames;
    try {
        frames = read(text);
    } catch (const InputError& error) {
        checkInputError(error, text, fileName);
        return 0;
    }
    std::ostringstream written;
    writeReplay(written, frames);
    const std::vector<ReplayFrame> again = read(written.str());
    require(again.size() == frames.size(), "a written replay keeps its frames");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        require(sameFrame(frames[i], again[i]),
                "a written replay reads back as the same values, frame " + std::to_string(i));
    }
    return 0;
}
