#include "ui/refclock_samples.h"

#include <algorithm>
#include <charconv>

#include "clock/clock_setting.h"
#include "clock/system_time.h"
#include "reception/robust_reception.h"
#include "timebase/civil_days.h"

namespace {

constexpr int kLastMarkedSecond = 58;  // second 59 has no mark
// A mark further than this from its expected place in the minute means the
// decoder counted a glitch as a second: the numbering can no longer be trusted.
constexpr int64_t kMarkToleranceMs = 200;
constexpr int32_t kNanosecondsPerSecond = 1'000'000'000;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int kLeapInsert = 1;

RealTime Less(RealTime time, int64_t nanoseconds) {
    int64_t ns = time.nanoseconds - nanoseconds % kNanosecondsPerSecond;
    time.seconds -= nanoseconds / kNanosecondsPerSecond;
    while (ns < 0) {
        ns += kNanosecondsPerSecond;
        time.seconds -= 1;
    }
    time.nanoseconds = static_cast<int32_t>(ns);
    return time;
}

}  // namespace

RealTime RealTimeOfInstant(RealTimeClock& realTime, EdgeClock& edges, int64_t instantNs) {
    const RealTime now = realTime.Now();
    return Less(now, std::max<int64_t>(0, edges.NowNs() - instantNs));
}

int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
    const int64_t days = DaysFromCivil(year, month, day);
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<int64_t> ConfirmedMinuteUtc(const TDcfState& state) {
    const TDcfTelegram& current = state.current;
    int year = current.year;
    int day = current.day;
    int hour = current.hour;
    int month = current.month;
    LocalToUtc(state, year, day, hour, month);
    const SystemTime utc = BuildSystemTime(current, year, month, day, hour, current.minute, 0);
    if (!IsValidSystemTime(utc)) return std::nullopt;
    return UtcSeconds(utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, 0);
}

namespace {

// A2 is sent for an hour before a leap second: the daemon is warned from the
// first confirmed minute that carries it. Not in the minute the leap second
// ends, though: a daemon takes its samples in late, and one still warned after
// midnight would insert another second at the end of the new day.
int LeapIndicator(int64_t minuteUtc, bool announced) {
    const bool leapMinute = (minuteUtc + 60) % kSecondsPerDay == 0;
    return announced && !leapMinute ? kLeapInsert : 0;
}

}  // namespace

bool RefclockSamples::AfterEdge(const TDcfState& state, bool confirmed, uint32_t stampMs,
                                std::optional<int64_t> instantNs) {
    instantNs_ = instantNs;
    if (robustReception) {
        // Every second mark on the grid of a locked time is a sample.
        const robust::GridMark& mark = robust::MarkOfLastEdge();
        if (mark.valid) {
            const int64_t minute = mark.utcSecond - mark.utcSecond % 60;
            Emit(mark.utcSecond, stampMs, LeapIndicator(minute, mark.leapAnnounced));
        }
        return mark.valid;
    }
    if (confirmed) {
        const std::optional<int64_t> minute = ConfirmedMinuteUtc(state);
        running_ = minute.has_value();
        if (!running_) return false;
        minuteUtc_ = *minute;
        minuteStamp_ = stampMs;
        leap_ = LeapIndicator(minuteUtc_, state.current.leapAnnounce != 0);
        second_ = 0;
        Emit(minuteUtc_, stampMs, leap_);
        return true;
    }
    if (!running_) return false;
    if (state.current.markTime == 0) {  // synchronisation lost
        running_ = false;
        return false;
    }
    const int count = state.buffer.bitCount;
    if (count == second_) return false;  // not a second mark: the end of a mark, a glitch
    // A mark starting second N completes bit N-1. Anything but the next
    // second (a minute mark that did not confirm, lost synchronisation)
    // ends the chain until the next confirmation.
    const int64_t elapsed = static_cast<uint32_t>(stampMs - minuteStamp_);
    const int64_t misplaced = elapsed - int64_t{count} * 1000;
    if (count != second_ + 1 || count > kLastMarkedSecond || misplaced > kMarkToleranceMs || misplaced < -kMarkToleranceMs) {
        running_ = false;
        return false;
    }
    second_ = count;
    Emit(minuteUtc_ + count, stampMs, leap_);
    return true;
}

void RefclockSamples::Emit(int64_t referenceSeconds, uint32_t stampMs, int leap) {
    TimeSample sample;
    sample.reference = {referenceSeconds, 0};
    if (instantNs_) {
        // An edge's own instant needs no guess at when it was seen.
        sample.receive = RealTimeOfInstant(realTime_, edges_, *instantNs_);
        sample.precision = kInstantPrecision;
    } else {
        // Read both clocks together: the edge's age on the monotonic clock
        // carries its stamp over to the real-time scale.
        const RealTime now = realTime_.Now();
        const uint32_t age = milliseconds_.NowMs() - stampMs;
        sample.receive = Less(now, int64_t{age} * 1'000'000 + kHalfSamplingPeriodNs);
    }
    sample.leap = leap;
    output_.Send(sample);
}

std::optional<RefclockSetting> ParseRefclockSetting(std::string_view text) {
    RefclockSetting setting;
    if (text.starts_with("shm:")) {
        const std::string_view digits = text.substr(4);
        const char* end = digits.data() + digits.size();
        const auto [stop, error] = std::from_chars(digits.data(), end, setting.unit);
        // The daemons number units from 0; keys beyond 255 are nobody's.
        if (digits.empty() || error != std::errc{} || stop != end || setting.unit < 0 ||
            setting.unit > 255) {
            return std::nullopt;
        }
        return setting;
    }
    if (text.starts_with("sock:") && text.size() > 5 && text.size() - 5 <= kMaxSocketPath) {
        setting.kind = RefclockSetting::Kind::Sock;
        setting.path = std::string(text.substr(5));
        return setting;
    }
    return std::nullopt;
}
