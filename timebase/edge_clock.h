// The clock the edges' own instants are counted on: nanoseconds, 64 bits,
// never stepped. A port that reports an edge with its instant (a kernel stamp,
// a reading taken the moment a wait returned) hands that instant on in this
// clock beside the millisecond stamp, for the time samples that need more than
// the stamp's millisecond.
#pragma once

#include <cstdint>

class EdgeClock {
public:
    virtual ~EdgeClock() = default;
    virtual int64_t NowNs() = 0;
    // Sleeps until NowNs() has reached `instantNs`; may return early when the
    // thread is woken (a stop), so callers look at the clock again.
    virtual void SleepUntil(int64_t instantNs) = 0;
};

// CLOCK_BOOTTIME on Linux (the millisecond clock's own source), the
// performance counter on Windows.
EdgeClock& SystemEdgeClock();

// The millisecond stamp of an instant on the edge clock: its age carried over
// to the millisecond clock, both read at once. Where the millisecond clock is
// the edge clock's whole milliseconds (Linux) this is exactly the stamp the
// millisecond clock showed at that instant.
inline uint32_t StampOfInstant(int64_t instantNs, int64_t edgeNowNs, uint32_t stampNow) {
    const int64_t age = edgeNowNs > instantNs ? edgeNowNs - instantNs : 0;
    const int64_t back = age - edgeNowNs % 1'000'000;  // from the start of the current millisecond
    return stampNow - static_cast<uint32_t>(back <= 0 ? 0 : (back + 999'999) / 1'000'000);
}
