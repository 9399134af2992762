// Time samples for an NTP daemon's reference-clock driver: the behaviour
// reports each edge it has decoded, and while a confirmed time holds every
// second mark becomes one sample (reference time against the moment the
// machine's real-time clock saw the mark), handed to an output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "reception/dcf_state.h"
#include "timebase/edge_clock.h"
#include "timebase/millisecond_clock.h"

// A moment on the real-time (UTC) scale.
struct RealTime {
    int64_t seconds = 0;
    int32_t nanoseconds = 0;  // 0..999999999
    friend bool operator==(const RealTime&, const RealTime&) = default;
};

// The machine's real-time clock, read only.
class RealTimeClock {
public:
    virtual ~RealTimeClock() = default;
    virtual RealTime Now() = 0;
};

// The moment on the real-time scale of `instantNs` on the edge clock: its age,
// both clocks read at once, carried over.
RealTime RealTimeOfInstant(RealTimeClock& realTime, EdgeClock& edges, int64_t instantNs);

struct TimeSample {
    RealTime reference;  // what the signal says the mark was
    RealTime receive;    // when this machine's clock saw it
    int leap = 0;        // 0: no warning, 1: a second is inserted at the end of the UTC day;
                         // never 3, which daemons read as unsynchronised
    int precision = -6;  // log2 of the sample's uncertainty in seconds
};

// Where samples go (a shared-memory segment, a daemon's socket).
class TimeSampleOutput {
public:
    virtual ~TimeSampleOutput() = default;
    virtual void Send(const TimeSample& sample) = 0;
};

// The sampler thread reads the line every 25 ms, so an edge is seen between
// 0 and 25 ms after it happened: 12.5 ms late on average.
inline constexpr int32_t kHalfSamplingPeriodNs = 12'500'000;
// An edge with its own instant (event mode) is good to far better than a
// millisecond; what the receiver module adds, the daemon measures itself.
inline constexpr int kInstantPrecision = -10;

class RefclockSamples {
public:
    RefclockSamples(MillisecondClock& milliseconds, RealTimeClock& realTime, TimeSampleOutput& output,
                    EdgeClock& edges = SystemEdgeClock())
        : milliseconds_(milliseconds), realTime_(realTime), output_(output), edges_(edges) {}

    // After the edge stamped `stampMs` went through the decoder; `confirmed`:
    // it was a minute mark that confirmed the record's current telegram.
    // `instantNs`: the edge's own instant on the edge clock (event mode),
    // which then times the sample in place of the stamp. True when a sample
    // went out.
    bool AfterEdge(const TDcfState& state, bool confirmed, uint32_t stampMs,
                   std::optional<int64_t> instantNs = std::nullopt);

    bool Running() const { return running_; }

private:
    void Emit(int64_t referenceSeconds, uint32_t stampMs, int leap);

    MillisecondClock& milliseconds_;
    RealTimeClock& realTime_;
    TimeSampleOutput& output_;
    EdgeClock& edges_;
    std::optional<int64_t> instantNs_;  // the edge being handled
    bool running_ = false;
    int64_t minuteUtc_ = 0;      // seconds since 1970 of the confirmed minute's mark
    uint32_t minuteStamp_ = 0;   // that mark's millisecond stamp
    int second_ = 0;             // the last second sampled
    int leap_ = 0;               // the confirmed minute's leap indicator
};

// Seconds since 1970-01-01 of a UTC calendar date and time (proleptic Gregorian).
int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second);

// The UTC start of the confirmed minute in `state.current`; nothing when the
// telegram holds no real time.
std::optional<int64_t> ConfirmedMinuteUtc(const TDcfState& state);

// Where the samples go: "shm:N" (NTP shared-memory unit N) or "sock:PATH"
// (chrony's SOCK refclock), the path short enough for a socket address.
// Anything else is not a setting.
inline constexpr std::size_t kMaxSocketPath = 107;  // sun_path's 108 bytes, less the terminating zero
struct RefclockSetting {
    enum class Kind { Shm, Sock } kind = Kind::Shm;
    int unit = 0;
    std::string path;
};
std::optional<RefclockSetting> ParseRefclockSetting(std::string_view text);
