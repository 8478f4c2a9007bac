// The x87 unit's precision and rounding, set for the span of a conversion. The C library's
// strtod does part of its arithmetic on the x87 unit on i686, so its result depends on the
// caller's x87 control word, and a game's frame thread may run with 24-bit precision (Direct3D
// sets it on its device thread unless told otherwise): "16777217e1" then reads 167772176.
#pragma once

#include <cstdint>

// While it lives, the x87 unit rounds to nearest at double precision (53 bits), Windows' default
// for a thread; the caller's control word comes back afterwards. Nothing on platforms whose
// floating point does not go through the x87 unit.
class DoubleX87Precision {
  public:
    DoubleX87Precision() {
#if defined(__i386__)
        asm volatile("fnstcw %0" : "=m"(saved));
        // Precision control (bits 8-9) 10: 53 bits; rounding control (bits 10-11) 00: nearest.
        std::uint16_t wanted = static_cast<std::uint16_t>((saved & ~0x0F00u) | 0x0200u);
        asm volatile("fldcw %0" : : "m"(wanted));
#endif
    }
    ~DoubleX87Precision() {
#if defined(__i386__)
        asm volatile("fldcw %0" : : "m"(saved));
#endif
    }
    DoubleX87Precision(const DoubleX87Precision&) = delete;
    DoubleX87Precision& operator=(const DoubleX87Precision&) = delete;

  private:
    [[maybe_unused]] std::uint16_t saved = 0;
};
