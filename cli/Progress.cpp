#include "Progress.h"

#include <cstdio>

#include "Terminal.h"
#include "TickCount.h"

namespace {
constexpr uint32_t kDelayMs = 500; // nothing is drawn for shorter jobs
constexpr uint32_t kRefreshMs = 100;

std::string Clock(uint32_t ms) {
    char text[32];
    const uint32_t s = ms / 1000;
    std::snprintf(text, sizeof text, "%u:%02u", s / 60, s % 60);
    return text;
}
} // namespace

ProgressBar::ProgressBar(std::string label, bool quiet)
    : label_(std::move(label)), enabled_(!quiet && platform::StderrIsTerminal()) {}

ProgressBar::~ProgressBar() {
    Clear();
}

brelka::JobProgress ProgressBar::Callbacks() {
    brelka::JobProgress p;
    p.started = [this](int) { start_ = lastDraw_ = platform::TickCount(); };
    p.block = [this](int k, int n) {
        Update(k + 1, n);
        return false;
    };
    p.closing = [this] { Clear(); };
    return p;
}

std::string ProgressBar::Line(const std::string& label, int k, int n, uint32_t elapsedMs,
                              int width) {
    const double done = n > 0 ? static_cast<double>(k) / n : 1.0;
    const int filled = static_cast<int>(done * width);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(static_cast<size_t>(width), '-');
    const uint32_t left =
        k > 0 ? static_cast<uint32_t>(static_cast<double>(elapsedMs) * (n - k) / k) : 0;
    char pct[16];
    std::snprintf(pct, sizeof pct, "%3d%%", static_cast<int>(done * 100));
    return label + " [" + bar + "] " + pct + "  " + Clock(elapsedMs) + " elapsed  " + Clock(left) +
           " left";
}

void ProgressBar::Update(int k, int n) {
    if (!enabled_) return;
    const uint32_t now = platform::TickCount();
    if (now - start_ < kDelayMs || (drawn_ && now - lastDraw_ < kRefreshMs && k < n)) return;
    lastDraw_ = now;
    drawn_ = true;
    std::fprintf(stderr, "\r%s\033[K", Line(label_, k, n, now - start_).c_str());
    std::fflush(stderr);
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
}
