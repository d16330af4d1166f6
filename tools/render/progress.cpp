#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace tesk::render {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

} // namespace

ProgressBar::ProgressBar(bool wanted)
    : enabled_(wanted && isatty(STDERR_FILENO) != 0), start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

void ProgressBar::update(std::int64_t done, std::int64_t total, double rate) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietStart || now - lastDraw_ < kRedrawEvery) return;
    lastDraw_ = now;
    double fraction =
        total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 1.0;
    int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    if (done <= total) {
        std::fprintf(stderr, "\r[%s] %3d%%  %.1f of %.1f s ", bar.c_str(),
                     static_cast<int>(fraction * 100.0), static_cast<double>(done) / rate,
                     static_cast<double>(total) / rate);
    } else {
        std::fprintf(stderr, "\r[%s] tail %.1f s           ", bar.c_str(),
                     static_cast<double>(done - total) / rate);
    }
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 30, "");
    std::fflush(stderr);
    drawn_ = false;
}

} // namespace tesk::render
