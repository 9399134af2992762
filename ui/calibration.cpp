#include "ui/calibration.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr std::size_t kFewestMarks = 50;  // most of one minute
constexpr int kTimeError = 5;  // sys/timex.h's TIME_ERROR, here for the portable part

double Ms(int64_t ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace

void DelayCalibration::OnEdge(uint8_t level, int64_t instantNs) {
    int64_t phase = RealTimeOfInstant(realTime_, edges_, instantNs).nanoseconds;
    if (phase >= kNsPerSecond / 2) phase -= kNsPerSecond;
    phasesNs_[level & 1].push_back(phase);
}

// The edges that start the marks are those that come at the same place
// every second; the others move by 100 ms with each bit.
std::optional<DelayCalibration::Result> DelayCalibration::Finish() const {
    std::optional<Result> best;
    for (uint8_t level = 0; level < 2; ++level) {
        std::vector<int64_t> phases = phasesNs_[level];
        const std::size_t n = phases.size();
        if (n < kFewestMarks) continue;
        std::sort(phases.begin(), phases.end());
        const double median = n % 2 != 0 ? Ms(phases[n / 2]) : (Ms(phases[n / 2 - 1]) + Ms(phases[n / 2])) / 2;
        const Result result{level, n, median, Ms(phases[3 * n / 4] - phases[n / 4])};
        if (!best || result.spreadMs < best->spreadMs) best = result;
    }
    return best;
}

std::optional<std::string> WhyClockUnsynchronised(int state) {
    if (state != kTimeError) return std::nullopt;
    return "the kernel says the system clock is unsynchronised (TIME_ERROR, STA_UNSYNC): the delay is "
           "measured against it, so let an NTP daemon keep it first";
}

std::string CalibrationReport(const DelayCalibration::Result& result, double minutes,
                              const std::optional<RefclockSetting>& door) {
    char text[640];
    const double offset = result.medianMs / 1000;
    const bool shm = door && door->kind == RefclockSetting::Kind::Shm;
    const int unit = shm ? door->unit : 2;
    const std::string source = shm ? "SHM " + std::to_string(unit)
                                   : "SOCK " + (door ? door->path : std::string("/run/chrony/chronvk.sock"));
    std::snprintf(text, sizeof text,
                  "%zu second marks in %.1f minutes, each starting with level %d\n"
                  "the receiver shows the second %.3f ms late (median); the middle half of the marks lies within %.3f ms\n"
                  "chrony:  refclock %s refid DCF poll 4 filter 16 precision 0.001 offset %.6f\n"
                  "ntpd:    fudge 127.127.28.%d refid DCF time1 %.6f\n"
                  "NTPsec:  refclock shm unit %d refid DCF time1 %.6f\n",
                  result.marks, minutes, result.level, result.medianMs, result.spreadMs, source.c_str(), offset, unit,
                  offset, unit, offset);
    return text;
}
