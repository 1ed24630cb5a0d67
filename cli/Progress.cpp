#include "Progress.h"

#include <cstdio>
#include <iostream>

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
// Characters of UTF-8 text (its bytes other than continuation bytes).
size_t Columns(const std::string& text) {
    size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
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
    // Back to the start of the line and over the last bar, with blanks where it was longer: no
    // terminal control sequences, which a Windows console shows as text.
    const std::string line = Line(label_, k, n, now - start_);
    const size_t width = Columns(line);
    std::cerr << '\r' << line << std::string(width < shown_ ? shown_ - width : 0, ' ')
              << std::flush;
    shown_ = width;
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    std::cerr << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
    drawn_ = false;
    shown_ = 0;
}
