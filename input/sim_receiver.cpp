#include "input/sim_receiver.h"

#include <algorithm>
#include <chrono>

#include "input/dcf77_signal.h"
#include "timebase/edge_clock.h"
#include "timebase/millisecond_clock.h"

namespace {
// A stop is seen within this much even where nothing wakes the sleep.
constexpr int64_t kSleepSliceNs = 50'000'000;
constexpr int64_t kNsPerMs = 1'000'000;
}  // namespace

int64_t SystemUtcNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

SimulatedReceiver::SimulatedReceiver(MillisecondClock& clock, UtcSourceFn utcNow, EdgeClock* events)
    : clock_(clock), utcNow_(utcNow), events_(events) {}

bool SimulatedReceiver::Open(const std::string&) {
    anchorStamp_ = clock_.NowMs();
    // The calendar read between two readings of the edge clock, taken halfway.
    const int64_t before = events_ ? events_->NowNs() : 0;
    anchorUtcNs_ = utcNow_();
    if (events_) anchorInstantNs_ = before + (events_->NowNs() - before) / 2;
    anchorUtcMs_ = dcf77::FloorDiv(anchorUtcNs_, kNsPerMs);
    lastEdgeUtcMs_ = anchorUtcMs_;
    interrupted_ = false;
    return true;
}

int64_t SimulatedReceiver::SignalNs() { return anchorUtcNs_ + (events_->NowNs() - anchorInstantNs_); }

LineRead SimulatedReceiver::ReadLevel() {
    if (events_) return LevelRead(dcf77::LineLevel(dcf77::FloorDiv(SignalNs(), kNsPerMs), 0) != 0);
    // Unsigned difference: the stamp may wrap while the device is open.
    const uint32_t elapsed = clock_.NowMs() - anchorStamp_;
    return LevelRead(dcf77::LineLevel(anchorUtcMs_ + elapsed, 0) != 0);
}

void SimulatedReceiver::WaitLine(LineWait& wait) {
    if (!events_) return PortDriver::WaitLine(wait);
    const int64_t edgeUtcMs = dcf77::NextEdgeUtcMs(lastEdgeUtcMs_);
    const int64_t instant = anchorInstantNs_ + (edgeUtcMs * kNsPerMs - anchorUtcNs_);
    for (int64_t now = events_->NowNs(); now < instant; now = events_->NowNs()) {
        if (interrupted_.load()) return;
        events_->SleepUntil(std::min(instant, now + kSleepSliceNs));
    }
    lastEdgeUtcMs_ = edgeUtcMs;
    wait.Add(dcf77::LineLevel(edgeUtcMs, 0), instant);
}
