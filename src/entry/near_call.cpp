#include "entry/near_call.h"

NearCall NearCall::to(std::uint32_t site, std::uint32_t target) {
    std::uint32_t displacement = target - (site + length);
    NearCall call;
    call.bytes[0] = opcode;
    for (std::uint32_t i = 0; i < 4; ++i) {
        call.bytes[1 + i] = static_cast<std::uint8_t>(displacement >> (8 * i));
    }
    return call;
}

std::uint32_t NearCall::displacement() const {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < 4; ++i) value |= std::uint32_t{bytes[1 + i]} << (8 * i);
    return value;
}

std::uint32_t NearCall::target(std::uint32_t site) const {
    return site + length + displacement();
}

bool shouldRedirect(bool madeWritable, const NearCall& found) {
    return madeWritable && found.isNearCall();
}
