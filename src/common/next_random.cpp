#include "common/next_random.h"

std::uint32_t randomState = 1;

std::uint32_t nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return (randomState >> 16) & 0x7FFFu;
}
