// The receiver module's delay: where its second marks fall against a system
// clock an NTP daemon keeps right, measured from the edges' own instants,
// and the lines that hand it to chronyd (offset) and ntpd (time1).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "timebase/edge_clock.h"
#include "ui/refclock_samples.h"

class DelayCalibration {
public:
    DelayCalibration(RealTimeClock& realTime, EdgeClock& edges) : realTime_(realTime), edges_(edges) {}

    // An edge at its own instant on the edge clock, handled now.
    void OnEdge(uint8_t level, int64_t instantNs);

    struct Result {
        uint8_t level;      // the level the marks start with
        std::size_t marks;  // second marks measured
        double medianMs;    // how late the marks come; negative: early
        double spreadMs;    // the middle half of the marks lies within it
    };
    // Nothing while fewer than a minute's worth of marks came in.
    std::optional<Result> Finish() const;
    std::size_t Edges() const { return phasesNs_[0].size() + phasesNs_[1].size(); }

private:
    RealTimeClock& realTime_;
    EdgeClock& edges_;
    std::vector<int64_t> phasesNs_[2];  // by level: nanoseconds from the nearest whole second
};

// The kernel's word on the system clock (the state ntp_gettime returns,
// which only reads): why it cannot be the reference, or nothing when it is
// kept. TIME_ERROR stands for STA_UNSYNC (or a clock fault).
std::optional<std::string> WhyClockUnsynchronised(int state);

// The measurement and the ready daemon lines, for `door` (the REFCLOCK
// setting, when there is one).
std::string CalibrationReport(const DelayCalibration::Result& result, double minutes,
                              const std::optional<RefclockSetting>& door);
