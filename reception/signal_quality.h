// How good the signal is, in figures: what became of each of the last hour's
// minutes, how long the marks of the last minutes were, how steady the second
// marks come, and counters since the start. The first thing anyone with a new
// receiver asks is where the antenna should go; the window's three counters
// say that something is wrong, these say what.
//
// The dialog's edge handler feeds it at every edge, in constant time and
// without allocating; the terminal's panel, the headless summary and
// chronvk-decode's chart read it. Minutes are counted on the edges' own
// clock and follow the minute marks, so a replay sees what the program saw.
#pragma once

#include <cstdint>
#include <string>

#include "reception/dcf_state.h"

namespace quality {

// The best that happened in a minute. None: the minute lies before the start.
enum class Outcome : uint8_t { None, NoMinuteMark, Malformed, Good, Confirmed };

inline constexpr int kHistoryMinutes = 60;
// Mark lengths in bins of 10 ms; the last bin holds every mark of 300 ms or more.
inline constexpr int kPulseBins = 31;
inline constexpr int kPulseBinMs = 10;
// The distribution shown covers the last so many minutes.
inline constexpr int kPulseMinutes = 10;

struct Minute {
    Outcome outcome = Outcome::None;
    bool setting = false;             // the clock was set in it
    uint8_t pulses[kPulseBins] = {};  // marks per length bin, saturating
    // Where in the machine's second the marks started, as offsets from
    // phaseRef (the minute before's mean): the mean and spread of one minute
    // without the slow walk of the machine's clock between minutes.
    uint16_t phaseRef = 0;
    uint16_t marks = 0;
    int32_t phaseSum = 0;
    int64_t phaseSquares = 0;
    // The confirmed time (legal time) that began at its minute mark; -1: none.
    int8_t hour = -1;
    int8_t minute = -1;
};

struct Counters {
    uint32_t minutes = 0;  // telegrams received: 59 bits at a minute mark
    uint32_t malformed = 0;
    uint32_t confirmations = 0;
    uint32_t settings = 0;
    uint32_t samples = 0;  // sent to an NTP daemon
};

// The record's counters before an edge went through the decoder: what they
// moved by tells what the edge brought.
struct Before {
    uint32_t telegrams = 0, valid = 0, confirmed = 0;
};
Before Snapshot(const TDcfState& state);

// After the edge stamped `stampMs` went through the decoder: `setting`, the
// clock is set for it; `sample`, a time sample went out.
void AfterEdge(const TDcfState& state, const Before& before, uint32_t stampMs, bool setting, bool sample);

// Closes the minutes that have ended by `nowMs` on the edges' clock, so a
// receiver that fell silent shows as minutes without a minute mark.
void AdvanceTo(uint32_t nowMs);

// The closed minutes, 0 the newest (None beyond what was seen), and how many
// have been closed since the start.
const Minute& ClosedMinute(int age);
uint64_t MinutesClosed();
// The minute under way.
const Minute& OpenMinute();

// The marks of the last kPulseMinutes minutes (the one under way included) per bin.
void PulseDistribution(uint32_t (&bins)[kPulseBins]);

// Mean (0..999 ms in the machine's second) and spread (standard deviation)
// of where the second marks started over the last hour.
struct Phase {
    bool known = false;
    int meanMs = 0;
    int spreadMs = 0;
};
Phase PhaseOfMarks();
// The same for the given minutes only.
Phase PhaseOf(const Minute* minutes, int count);

// Forgets everything: a fresh start.
void Reset();

// ---- the texts, the same in the panel, the summary line and the chart ----
// Windows-1252, as the program's other texts.

// One character per outcome, and its name.
char Symbol(Outcome outcome);
const char* Name(Outcome outcome);
// The last hour's minutes, oldest first, one character each; the last is
// the minute under way.
std::string HistoryText();
// "Telegr. 58 / Form.fehl. 2 / bestaet. 55 / gestellt 1 / Proben 0"
std::string CountersText();
// "Phase 437 ms, Streuung 4 ms"
std::string PhaseText(const Phase& phase);
// The counters and the last hour's phase, as one line.
std::string SummaryText();
// Robust reception's progress: "robust: sucht", "robust: sammelt  42 %",
// "robust: fest  98 %"; "robust: aus" without it.
std::string ConfidenceText();

}  // namespace quality
