// The five-byte near call in the game's code that the frame hook redirects: opcode 0xE8 and a
// 32-bit little-endian displacement counted from the next instruction. The arithmetic is modulo
// 2^32, as the processor does it, so a negative displacement reaches below the call.
#pragma once

#include <array>
#include <cstdint>

struct NearCall {
    static constexpr std::uint8_t opcode = 0xE8;  // CALL rel32
    static constexpr std::uint32_t length = 5;    // opcode + displacement

    std::array<std::uint8_t, length> bytes{};

    // The call at site that reaches target.
    static NearCall to(std::uint32_t site, std::uint32_t target);

    bool isNearCall() const { return bytes[0] == opcode; }
    std::uint32_t displacement() const;
    // Where the call at site goes: the next instruction plus the displacement.
    std::uint32_t target(std::uint32_t site) const;
};

// Whether the load handler may redirect the call it found: only on the game build it was made for
// (a near call at the site) and only once the page could be made writable. Otherwise the plug-in
// stays inert and the game runs untouched.
bool shouldRedirect(bool madeWritable, const NearCall& found);
