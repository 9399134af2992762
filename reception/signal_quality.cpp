#include "reception/signal_quality.h"

#include <algorithm>
#include <cmath>

#include "reception/display_texts.h"
#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"

namespace quality {
namespace {

constexpr uint32_t kMinuteMs = 60000;
constexpr uint32_t kSecondMs = 1000;
// A minute runs from half a minute before its mark to half a minute after:
// a mark a little early or late stays in its own minute. Re-anchored at a
// mark, a minute can last up to a minute and a half.
constexpr uint32_t kLongestMinuteMs = kMinuteMs + kMinuteMs / 2;

struct QualityState {
    bool started = false;
    bool anyStart = false;  // the first second's "mark before it" is the decoder's zero
    bool haveRef = false;
    uint16_t phaseRef = 0;
    // The phase of the last mark and its stamp: a phase carried on by the
    // stamps' difference keeps its place when the 32-bit stamps wrap.
    uint32_t lastPhase = 0;
    uint32_t lastStartMs = 0;
    uint32_t endMs = 0;  // of the open minute
    Minute open;
    Minute closed[kHistoryMinutes];
    int newest = kHistoryMinutes - 1;
    uint64_t closedCount = 0;
    Counters totals;
};
QualityState q;

// A difference of phases in the machine's second, as -500..499 ms.
int Around(int difference) { return ((difference % 1000) + 1500) % 1000 - 500; }

void Raise(Outcome& outcome, Outcome to) {
    if (to > outcome) outcome = to;
}

void CloseMinute() {
    Minute& minute = q.open;
    if (minute.outcome == Outcome::None) minute.outcome = Outcome::NoMinuteMark;
    // The next minute measures from this one's mean: the machine's clock
    // walks away from the signal's by a few milliseconds a minute.
    if (minute.marks != 0) {
        const double mean = static_cast<double>(minute.phaseSum) / minute.marks;
        q.phaseRef = static_cast<uint16_t>((minute.phaseRef + static_cast<int>(std::lround(mean)) + 1000) % 1000);
    }
    q.newest = (q.newest + 1) % kHistoryMinutes;
    q.closed[q.newest] = minute;
    ++q.closedCount;
    q.open = Minute{};
    q.open.phaseRef = q.phaseRef;
}

// Pools the minutes' phases: the spread within each minute, the means
// around the newest minute's.
class PhasePool {
public:
    void Add(const Minute& minute) {
        if (minute.marks == 0) return;
        const double marks = minute.marks;
        const double mean = minute.phaseRef + minute.phaseSum / marks;
        if (marks_ == 0) anchor_ = mean;
        const double offset = mean - anchor_;
        offsets_ += marks * (offset - 1000.0 * std::round(offset / 1000.0));
        squares_ += static_cast<double>(minute.phaseSquares) - minute.phaseSum * (minute.phaseSum / marks);
        marks_ += marks;
    }
    Phase Result() const {
        Phase phase;
        if (marks_ == 0) return phase;
        phase.known = true;
        phase.meanMs = static_cast<int>(std::lround(anchor_ + offsets_ / marks_)) % 1000;
        if (phase.meanMs < 0) phase.meanMs += 1000;
        phase.spreadMs = static_cast<int>(std::lround(std::sqrt(std::max(0.0, squares_ / marks_))));
        return phase;
    }

private:
    double anchor_ = 0, offsets_ = 0, squares_ = 0, marks_ = 0;
};

void AppendNumber(std::string& text, int64_t value) {
    char digits[24];
    text += text_detail::FormatDecimal(value, digits);
}

}  // namespace

Before Snapshot(const TDcfState& state) { return {state.telegramCount, state.validCount, state.confirmedCount}; }

void AdvanceTo(uint32_t nowMs) {
    // A receiver that never sends an edge still has its minutes counted.
    if (!q.started) {
        q.started = true;
        q.endMs = nowMs + kMinuteMs;
        return;
    }
    for (int i = 0; i < kHistoryMinutes && static_cast<int32_t>(nowMs - q.endMs) >= 0; ++i) {
        CloseMinute();
        q.endMs += kMinuteMs;
    }
    // After more than an hour of silence, or a clock that stepped back, the
    // minutes start afresh from here.
    if (static_cast<int32_t>(nowMs - q.endMs) >= 0 || q.endMs - nowMs > kLongestMinuteMs) q.endMs = nowMs + kMinuteMs;
}

void AfterEdge(const TDcfState& state, const Before& before, uint32_t stampMs, bool setting, bool sample) {
    AdvanceTo(stampMs);
    Minute& minute = q.open;
    const SecondStart& second = LastSecondStart();
    if (second.started) {
        if (q.anyStart && second.pulse >= 0) {
            const int32_t bin = second.pulse / (kPulseBinMs / 10);  // hundredths
            uint8_t& count = minute.pulses[bin < kPulseBins ? bin : kPulseBins - 1];
            if (count != UINT8_MAX) ++count;
        }
        q.anyStart = true;
        const uint32_t since = (stampMs - q.lastStartMs) % kSecondMs;
        const uint32_t phase = q.haveRef ? (q.lastPhase + since) % kSecondMs : stampMs % kSecondMs;
        q.lastPhase = phase;
        q.lastStartMs = stampMs;
        if (!q.haveRef) {
            q.haveRef = true;
            q.phaseRef = minute.phaseRef = static_cast<uint16_t>(phase);
        }
        if (minute.marks != UINT16_MAX) {
            const int offset = Around(static_cast<int>(phase) - minute.phaseRef);
            ++minute.marks;
            minute.phaseSum += offset;
            minute.phaseSquares += int64_t{offset} * offset;
        }
    }
    if (state.telegramCount != before.telegrams) {
        const bool wellFormed = state.validCount != before.valid;
        ++q.totals.minutes;
        if (!wellFormed) ++q.totals.malformed;
        Raise(minute.outcome, wellFormed ? Outcome::Good : Outcome::Malformed);
        q.endMs = stampMs + kMinuteMs / 2;
    }
    if (state.confirmedCount != before.confirmed) {
        ++q.totals.confirmations;
        Raise(minute.outcome, Outcome::Confirmed);
        const TDcfTelegram& time = state.current;
        if (time.hour >= 0 && time.hour < 24 && time.minute >= 0 && time.minute < 60) {
            minute.hour = static_cast<int8_t>(time.hour);
            minute.minute = static_cast<int8_t>(time.minute);
        }
    }
    if (setting) {
        ++q.totals.settings;
        minute.setting = true;
    }
    if (sample) ++q.totals.samples;
}

const Minute& ClosedMinute(int age) {
    static const Minute kNone;
    if (age < 0 || age >= kHistoryMinutes || static_cast<uint64_t>(age) >= q.closedCount) return kNone;
    return q.closed[(q.newest - age + kHistoryMinutes) % kHistoryMinutes];
}

uint64_t MinutesClosed() { return q.closedCount; }

const Minute& OpenMinute() { return q.open; }

void PulseDistribution(uint32_t (&bins)[kPulseBins]) {
    for (int bin = 0; bin < kPulseBins; ++bin) {
        bins[bin] = q.open.pulses[bin];
        for (int age = 0; age < kPulseMinutes - 1; ++age) bins[bin] += ClosedMinute(age).pulses[bin];
    }
}

Phase PhaseOf(const Minute* minutes, int count) {
    PhasePool pool;
    for (int i = count - 1; i >= 0; --i) pool.Add(minutes[i]);
    return pool.Result();
}

Phase PhaseOfMarks() {
    PhasePool pool;
    pool.Add(q.open);
    for (int age = 0; age < kHistoryMinutes - 1; ++age) pool.Add(ClosedMinute(age));
    return pool.Result();
}

void Reset() { q = QualityState{}; }

char Symbol(Outcome outcome) {
    switch (outcome) {
        case Outcome::None: break;
        case Outcome::NoMinuteMark: return '.';
        case Outcome::Malformed: return 'x';
        case Outcome::Good: return '+';
        case Outcome::Confirmed: return '#';
    }
    return ' ';
}

const char* Name(Outcome outcome) {
    switch (outcome) {
        case Outcome::None: break;
        case Outcome::NoMinuteMark: return "ohne Minutenmarke";
        case Outcome::Malformed: return "Form.fehl.";
        case Outcome::Good: return "fehlerfrei";
        case Outcome::Confirmed: return "bestaet.";
    }
    return "";
}

std::string HistoryText() {
    std::string text;
    for (int age = kHistoryMinutes - 2; age >= 0; --age) text += Symbol(ClosedMinute(age).outcome);
    // The minute under way shows as soon as its mark has brought something.
    return text + Symbol(q.open.outcome);
}

std::string CountersText() {
    const Counters& totals = q.totals;
    std::string text = "Telegr. ";
    AppendNumber(text, totals.minutes);
    text += " / Form.fehl. ";
    AppendNumber(text, totals.malformed);
    text += " / bestaet. ";
    AppendNumber(text, totals.confirmations);
    text += " / gestellt ";
    AppendNumber(text, totals.settings);
    text += " / Proben ";
    AppendNumber(text, totals.samples);
    return text;
}

std::string PhaseText(const Phase& phase) {
    if (!phase.known) return "Phase -";
    std::string text = "Phase ";
    AppendNumber(text, phase.meanMs);
    text += " ms, Streuung ";
    AppendNumber(text, phase.spreadMs);
    text += " ms";
    return text;
}

std::string SummaryText() { return CountersText() + " / " + PhaseText(PhaseOfMarks()); }

std::string ConfidenceText() {
    if (!robustReception) return "robust: aus";
    const robust::Status status = robust::CurrentStatus();
    if (status.phase == robust::Phase::Searching) return "robust: sucht";
    char percent[24];
    return std::string(status.phase == robust::Phase::Locked ? "robust: fest " : "robust: sammelt ") +
           text_detail::FormatPercent(status.percent, percent);
}

}  // namespace quality
