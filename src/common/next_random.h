// The process's one pseudo-random generator: a 32-bit linear congruential generator that starts at
// state 1 and is never reseeded, so a run's choices of impact sound and duck time are repeatable.
#pragma once

#include <cstdint>

// The generator's state; 1 before the first draw. Tests put it back to 1 between cases.
extern std::uint32_t randomState;

// Advances the state (state * 214013 + 2531011, modulo 2^32) and answers its bits 16 to 30:
// 0 to 32767. The first draw is 41.
std::uint32_t nextRandom();
