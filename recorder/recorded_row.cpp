#include "recorder/recorded_row.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

char* put(char* out, std::uint32_t value) {
    return std::to_chars(out, out + 10, value).ptr;
}

// The shortest round-trip form; a value with no number as the replay reader spells it.
char* put(char* out, float value) {
    if (std::isnan(value)) {
        const char* text = std::signbit(value) ? "-nan" : "nan";
        std::size_t length = std::strlen(text);
        std::memcpy(out, text, length);
        return out + length;
    }
    return std::to_chars(out, out + 15, value).ptr;
}

}  // namespace

std::size_t formatRow(const RecordedRow& row, char* out) {
    char* at = out;
    auto field = [&](auto value) {
        at = put(at, value);
        *at++ = ',';
    };
    field(row.frame);
    field(row.tick);
    field(std::uint32_t{row.suspend});
    field(row.actor);
    field(row.vehicle);
    field(std::uint32_t{row.status});
    field(row.health);
    field(row.impact);
    field(row.x);
    field(row.y);
    field(row.z);
    field(std::uint32_t{row.roofFound});
    at = put(at, row.roofZ);
    *at++ = '\n';
    return static_cast<std::size_t>(at - out);
}

std::uint32_t VehicleNumbers::numberOf(HostAddress address) {
    // Fibonacci hashing: records lie at multiples of their size, so the low bits alone would
    // crowd into a few slots.
    std::size_t slot = static_cast<std::uint32_t>(address * 2654435769u) % slots;
    while (table[slot].address != 0) {
        if (table[slot].address == address) return table[slot].number;
        slot = (slot + 1) % slots;
    }
    if (count == maxRecordedVehicles) return 0;
    table[slot] = {address, ++count};
    return count;
}
