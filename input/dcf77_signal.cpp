#include "input/dcf77_signal.h"

#include "timebase/civil_days.h"

#include <climits>

namespace dcf77 {

uint64_t EncodeMinute(int64_t utcMinuteStart) {
    return TelegramDescribing(FloorDiv(utcMinuteStart, kMinuteMs) * kMinuteMs + kMinuteMs);
}

uint8_t LineLevel(int64_t utcMs, uint8_t polarity) {
    const int64_t minuteStart = FloorDiv(utcMs, kMinuteMs) * kMinuteMs;
    const int64_t intoMinute = utcMs - minuteStart;
    const int second = static_cast<int>(intoMinute / kSecondMs);
    const int64_t intoSecond = intoMinute % kSecondMs;
    const bool active = intoSecond < MarkLengthMs(EncodeMinute(minuteStart), second);
    return active ? polarity : static_cast<uint8_t>(polarity == 0 ? 1 : 0);
}

int64_t NextEdgeUtcMs(int64_t utcMs) {
    for (int64_t start = FloorDiv(utcMs, kSecondMs) * kSecondMs;; start += kSecondMs) {
        const int64_t minuteStart = FloorDiv(start, kMinuteMs) * kMinuteMs;
        const int length = MarkLengthMs(EncodeMinute(minuteStart), static_cast<int>((start - minuteStart) / kSecondMs));
        if (length == 0) continue;  // second 59
        if (start > utcMs) return start;
        if (start + length > utcMs) return start + length;
    }
}

EdgeStreamOptions OptionsForMinutes(int64_t utcMinuteStart, int minutes) {
    EdgeStreamOptions options;
    options.startUtcMs = utcMinuteStart - kLeadInMs;
    options.durationMs = kLeadInMs + minutes * kMinuteMs + kTailMs;
    return options;
}

namespace {

// splitmix64: tiny, fast, and the same sequence on every platform (the standard
// library's distributions are not).
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform in [low, high].
    int64_t Between(int64_t low, int64_t high) {
        return low + static_cast<int64_t>(Next() % static_cast<uint64_t>(high - low + 1));
    }

private:
    uint64_t state_;
};

// The active intervals of one second, in milliseconds into the second.
struct SecondPlan {
    int64_t markBegin = 0;  // the mark is [markBegin, markEnd)
    int64_t markEnd = 0;
    int64_t spikeBegin = 0;
    int64_t spikeEnd = 0;
    bool Active(int64_t ms) const {
        return (ms >= markBegin && ms < markEnd) || (ms >= spikeBegin && ms < spikeEnd);
    }
};

// Changes the planned marks of second `second` of the minute whose telegram
// starts at `minuteStart` as the interference does.
void Interfere(const Interference& what, int64_t minuteStart, int second, SecondPlan& plan) {
    using Kind = Interference::Kind;
    auto disturbed = [&](int64_t minute) { return what.every > 0 && FloorDiv(minute, kMinuteMs) % what.every == 0; };
    switch (what.kind) {
        case Kind::None: return;
        case Kind::LateLastMark:
        case Kind::GlitchAfterLastMark:
            if (second == 0 && disturbed(minuteStart - kMinuteMs)) plan.markEnd = plan.markBegin;
            if (second != 58 || !disturbed(minuteStart)) return;
            if (what.kind == Kind::LateLastMark) {
                plan.markBegin += what.lateMs;
                plan.markEnd += what.lateMs;
            } else {
                // Too soon after the mark to count as one, late enough to end the gap early.
                plan.spikeBegin = 480;
                plan.spikeEnd = 520;
            }
            return;
        case Kind::SummerBitsSwapped:
            if (second == 17 || second == 18) plan.markEnd = plan.markBegin + (second == 17 ? 200 : 100);
            return;
        case Kind::LongPair:
            if (second == what.first || second == what.second) plan.markEnd = plan.markBegin + 200;
            return;
    }
}

constexpr int kA2 = 19;  // announces a leap second
constexpr int64_t kLeapSecondMs = 1000;

// Where the signal stands at instant `t` of the stream's own time line (the
// one its stamps follow): the minute whose telegram is sent and the second in
// it, 60 inside a leap second.
void SignalSecond(const EdgeStreamOptions& options, int64_t t, int64_t& minuteStart, int& second) {
    const int64_t leap = options.leapSecondUtcMs;
    if (leap != 0 && t >= leap && t < leap + kLeapSecondMs) {
        minuteStart = leap - kMinuteMs;
        second = 60;
        return;
    }
    int64_t utc = leap != 0 && t >= leap ? t - kLeapSecondMs : t;
    if (options.jumpAtUtcMs != 0 && utc >= options.jumpAtUtcMs) utc += options.jumpByMs;
    minuteStart = FloorDiv(utc, kMinuteMs) * kMinuteMs;
    second = static_cast<int>((utc - minuteStart) / kSecondMs);
}

}  // namespace

void GenerateEdges(const EdgeStreamOptions& options, EdgeSinkFn sink, void* context) {
    constexpr int64_t kTickMs = 25;
    // Noise and jitter draw from separate streams, so switching jitter on does
    // not move the glitches, drop-outs and flips of a given seed.
    Random noise(options.seed);
    Random jitter(options.seed ^ 0x5DEECE66Du);

    const uint8_t activeLevel = options.polarity;
    const uint8_t idleLevel = options.polarity == 0 ? 1 : 0;
    const int64_t first = options.startUtcMs + options.phaseMs;
    const int64_t end = options.startUtcMs + options.durationMs;

    int64_t planSecond = INT64_MIN;
    int64_t planMinute = INT64_MIN;
    uint64_t bits = 0;
    SecondPlan plan;
    uint8_t lastLevel = options.initialLevel;
    int64_t lastOffset = 0;
    const int64_t leap = options.leapSecondUtcMs;

    for (int64_t t = first; t < end; t += kTickMs) {
        // Seconds are counted on the stream's own time line, which a leap
        // second does not interrupt.
        const int64_t second = FloorDiv(t, kSecondMs);
        if (second != planSecond) {
            planSecond = second;
            int64_t minute = 0;
            int s = 0;
            SignalSecond(options, second * kSecondMs, minute, s);
            if (minute != planMinute) {
                planMinute = minute;
                bits = EncodeMinute(minute);
                if (leap != 0 && minute >= leap - kHourMs && minute < leap) bits |= uint64_t{1} << kA2;
            }
            // Always the same draws per second, whichever knobs are on.
            const bool flip = noise.Unit() < options.flipRate;
            const bool dropout = noise.Unit() < options.dropoutRate;
            const bool glitch = noise.Unit() < options.glitchRate;
            const int64_t spikeAt = noise.Between(300, 940);
            const int64_t spikeWidth = noise.Between(10, 45);
            plan = SecondPlan{};
            // The leap minute's second 59 carries a 0; its second 60 none.
            plan.markEnd = leap != 0 && minute == leap - kMinuteMs && s == 59 ? 100 : MarkLengthMs(bits, s);
            Interfere(options.interference, minute, s, plan);
            if (flip && plan.markEnd > plan.markBegin) plan.markEnd = plan.markBegin + 300 - (plan.markEnd - plan.markBegin);
            if (dropout) plan.markEnd = plan.markBegin;
            if (glitch) {
                plan.spikeBegin = spikeAt;
                plan.spikeEnd = spikeAt + spikeWidth;
            }
            const int64_t stuck = second * kSecondMs - options.stuckFromUtcMs;
            if (options.stuckForMs != 0 && stuck >= 0 && stuck < options.stuckForMs) plan = SecondPlan{};
        }
        const uint8_t level = plan.Active(t - second * kSecondMs) ? activeLevel : idleLevel;
        if (level == lastLevel) continue;
        lastLevel = level;
        int64_t offset = t - first;
        if (options.jitterMs != 0) offset += jitter.Between(0, options.jitterMs);
        if (offset < lastOffset) offset = lastOffset;  // a late stamp never overtakes the next edge
        lastOffset = offset;
        sink(context, SampledEdge{level, options.firstStampMs + static_cast<uint32_t>(offset)});
    }
}

bool ParseInterference(std::string_view text, Interference& interference) {
    using Kind = Interference::Kind;
    Interference parsed;
    auto number = [](std::string_view digits, int low, int high, int& out) {
        int value = 0;
        if (digits.empty() || digits.size() > 4) return false;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        out = value;
        return value >= low && value <= high;
    };
    if (text == "none") {
        parsed.kind = Kind::None;
    } else if (text == "glitch") {
        parsed.kind = Kind::GlitchAfterLastMark;
    } else if (text == "summer-bits") {
        parsed.kind = Kind::SummerBitsSwapped;
    } else if (text == "late-mark" || text.starts_with("late-mark:")) {
        parsed.kind = Kind::LateLastMark;
        if (text.size() > 9 && !number(text.substr(10), 1, 800, parsed.lateMs)) return false;
    } else if (text.starts_with("long-marks:")) {
        parsed.kind = Kind::LongPair;
        const std::string_view pair = text.substr(11);
        const std::size_t comma = pair.find(',');
        if (comma == std::string_view::npos || !number(pair.substr(0, comma), 1, 58, parsed.first) ||
            !number(pair.substr(comma + 1), 1, 58, parsed.second))
            return false;
    } else {
        return false;
    }
    interference = parsed;
    return true;
}

int64_t StampUtcMs(const EdgeStreamOptions& options, uint32_t stampMs) {
    const int64_t t = options.startUtcMs + options.phaseMs + static_cast<uint32_t>(stampMs - options.firstStampMs);
    const int64_t leap = options.leapSecondUtcMs;
    if (leap == 0 || t < leap) return t;
    return t < leap + kLeapSecondMs ? leap : t - kLeapSecondMs;
}

std::vector<SampledEdge> GenerateEdgeVector(const EdgeStreamOptions& options) {
    std::vector<SampledEdge> edges;
    // About two edges a second; one reservation covers the usual case.
    if (options.durationMs > 0) edges.reserve(static_cast<size_t>(options.durationMs / 500 + 16));
    GenerateEdges(options, [&edges](SampledEdge edge) { edges.push_back(edge); });
    return edges;
}

}  // namespace dcf77
