// A progress bar on standard error for long jobs: elapsed and remaining time, drawn only when
// standard error is a terminal and the job has run for about half a second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Jobs.h"

class ProgressBar {
  public:
    // label: what runs ("import kick.wav"); quiet: never draw.
    ProgressBar(std::string label, bool quiet);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Callbacks for a job.
    brelka::JobProgress Callbacks();
    // The text of the bar for block k of n after elapsed milliseconds (for the tests).
    static std::string Line(const std::string& label, int k, int n, uint32_t elapsedMs,
                            int width = 30);

  private:
    void Update(int k, int n);
    void Clear();

    std::string label_;
    bool enabled_;
    bool drawn_ = false;
    uint32_t start_ = 0;
    uint32_t lastDraw_ = 0;
    size_t shown_ = 0; // characters of the bar on the terminal now
};
