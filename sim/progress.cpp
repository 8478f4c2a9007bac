#include "sim/progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

constexpr auto quietTime = std::chrono::milliseconds(500);
constexpr auto redrawTime = std::chrono::milliseconds(100);
constexpr std::size_t barWidth = 40;

}  // namespace

Progress::Progress(std::size_t total) : total(total), terminal(isatty(STDERR_FILENO) != 0) {}

Progress::~Progress() {
    if (shown) std::fprintf(stderr, "\r%*s\r", static_cast<int>(barWidth + 8), "");
}

void Progress::update(std::size_t done) {
    if (!terminal || total == 0) return;
    Clock::time_point now = Clock::now();
    if (now - start < quietTime || now - lastDrawn < redrawTime) return;
    lastDrawn = now;
    shown = true;
    std::size_t filled = done * barWidth / total;
    std::string bar(filled, '#');
    bar.resize(barWidth, '.');
    std::fprintf(stderr, "\r[%s] %3zu%%", bar.c_str(), done * 100 / total);
    std::fflush(stderr);
}
