// The x87 unit's state for the span of a conversion. The C library's strtod does part of its
// arithmetic on the x87 unit on i686, so its result depends on the caller's x87 control word, and
// a game's frame thread may run with 24-bit precision (Direct3D sets it on its device thread
// unless told otherwise): "16777217e1" then reads 167772176. A thread may also have unmasked the
// x87 exceptions, to catch its own bugs: msvcrt's strtod then raises one on a subnormal
// ("4.9e-324" raises a denormal operand exception under Wine).
#pragma once

#include <cstdint>

// While it lives, the x87 unit rounds to nearest at double precision (53 bits), Windows' default
// for a thread, with every exception masked. Afterwards the flags the work raised are cleared
// (with an exception unmasked, a flag left set raises it at the caller's next x87 instruction)
// and the caller's control word comes back. Nothing on platforms whose floating point does not
// go through the x87 unit.
class DoubleX87Precision {
  public:
    DoubleX87Precision() {
#if defined(__i386__)
        asm volatile("fnstcw %0" : "=m"(saved) : : "memory");
        // Exception masks (bits 0-5) all set; precision control (bits 8-9) 10: 53 bits; rounding
        // control (bits 10-11) 00: nearest.
        std::uint16_t wanted = static_cast<std::uint16_t>((saved & ~0x0F3Fu) | 0x023Fu);
        asm volatile("fldcw %0" : : "m"(wanted) : "memory");
#endif
    }
    ~DoubleX87Precision() {
#if defined(__i386__)
        asm volatile("fnclex\n\tfldcw %0" : : "m"(saved) : "memory");
#endif
    }
    DoubleX87Precision(const DoubleX87Precision&) = delete;
    DoubleX87Precision& operator=(const DoubleX87Precision&) = delete;

  private:
    [[maybe_unused]] std::uint16_t saved = 0;
};
