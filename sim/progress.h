// A progress bar on stderr for runs that take more than a moment: shown only when stderr is a
// terminal, and only once half a second has passed, then redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstddef>

class Progress {
  public:
    explicit Progress(std::size_t total);
    ~Progress();  // clears the bar
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(std::size_t done);

  private:
    using Clock = std::chrono::steady_clock;

    std::size_t total;
    bool terminal;
    bool shown = false;
    Clock::time_point start = Clock::now();
    Clock::time_point lastDrawn = start;
};
