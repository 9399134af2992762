// chronvk-decode's chart of a replayed log (--svg): the length of every mark
// over time, each minute coloured by what became of it, the clock's settings
// marked, and the counters. One self-contained SVG that browsers and
// rsvg-convert render. The marks are drawn per minute and length, shaded by
// how many there were, not one by one: a day's log stays readable, and small.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reception/signal_quality.h"

class QualityChart {
public:
    // After each edge: takes over the minutes the quality figures have closed.
    void Collect();
    // The document, with the minute under way when something became of it;
    // `source` names the log in the heading.
    std::string Render(const std::string& source) const;

private:
    std::vector<quality::Minute> minutes_;
    uint64_t taken_ = 0;
};
