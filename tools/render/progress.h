// The progress bar on stderr.
#pragma once

#include <chrono>
#include <cstdint>

namespace tesk::render {

/// A one-line bar on stderr, drawn only on a terminal and only once a render has
/// taken a second: short renders stay silent.
class ProgressBar {
  public:
    /// A bar that draws when `wanted` and stderr is a terminal.
    explicit ProgressBar(bool wanted);
    /// Shows `done` of `total` frames; past `total` (an open-ended tail) it counts the tail.
    void update(std::int64_t done, std::int64_t total, double rate);
    /// Clears the bar's line if it was drawn.
    void finish();

  private:
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

} // namespace tesk::render
