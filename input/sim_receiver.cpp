#include "input/sim_receiver.h"

#include <chrono>

#include "input/dcf77_signal.h"
#include "timebase/millisecond_clock.h"

int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

SimulatedReceiver::SimulatedReceiver(MillisecondClock& clock, UtcSourceFn utcNow) : clock_(clock), utcNow_(utcNow) {}

bool SimulatedReceiver::Open(const std::string&) {
    anchorStamp_ = clock_.NowMs();
    anchorUtcMs_ = utcNow_();
    return true;
}

LineRead SimulatedReceiver::ReadLevel() {
    // Unsigned difference: the stamp may wrap while the device is open.
    const uint32_t elapsed = clock_.NowMs() - anchorStamp_;
    return LevelRead(dcf77::LineLevel(anchorUtcMs_ + elapsed, 0) != 0);
}
