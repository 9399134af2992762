// The DCF77 time signal as a receiver module would show it: German legal time
// encoded into 59-bit minutes, the line level at any millisecond, and the edge
// stream a 25 ms sampler would post. The simulated receiver and the tests use it.
//
// All instants are UTC milliseconds since 1970-01-01 00:00 (signed 64 bits).
//
// One rule shapes every name here: the telegram transmitted during a minute
// describes the *next* minute, which becomes valid at the minute mark (the start
// of second 0) that ends the transmission.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "timebase/legal_time.h"

namespace dcf77 {
// The 59 bits sent during the minute that starts at utcMinuteStart (any instant
// inside that minute works too); bit i is the bit of second i. They describe the
// minute that starts at utcMinuteStart + 1 min. A1 (bit 16) is set in every
// telegram sent during the hour before a switch of legal time.
uint64_t EncodeMinute(int64_t utcMinuteStart);

// Length of the mark that starts second `second` (0..59) of a telegram: 100 ms
// for a 0, 200 ms for a 1, none in second 59.
inline int MarkLengthMs(uint64_t bits, int second) {
    return second >= 59 ? 0 : (TelegramBit(bits, second) ? 200 : 100);
}

// The receiver's line level at UTC millisecond t. A mark is the active level,
// and the active level equals `polarity`: with polarity 0 marks read as 0 and the
// idle line as 1.
uint8_t LineLevel(int64_t utcMs, uint8_t polarity);

// The first instant after `utcMs` at which the line changes: a mark's start
// or end, always a whole millisecond.
int64_t NextEdgeUtcMs(int64_t utcMs);

// One level change as the sampler posts it.
struct SampledEdge {
    uint8_t level;
    uint32_t stampMs;  // the multimedia clock; wraps modulo 2^32
};

// Interference in step with the signal, as a machine switching with the
// minute makes it. Every kind but None misleads the plain three-telegram rule:
// the first two close a minute with its mark of second 1 (a second late), the
// others keep the parity and shift the summer time or the time.
struct Interference {
    enum class Kind : uint8_t {
        None,
        LateLastMark,         // in every `every`th minute mark 58 starts `lateMs` late
        GlitchAfterLastMark,  // ... or a glitch follows it, ending 0.52 s after its start;
                              // either way the next minute loses its mark 0
        SummerBitsSwapped,    // marks 17 always long, 18 always short
        LongPair,             // the marks of seconds `first` and `second` always long
    };
    Kind kind = Kind::None;
    int first = 0, second = 0;
    int every = 5;
    int lateMs = 300;
};

// "late-mark[:MS]", "glitch", "summer-bits", "long-marks:A,B" (seconds 1..58)
// or "none"; false for anything else.
bool ParseInterference(std::string_view text, Interference& interference);

// What a periodic 25 ms sampler reading the line would post.
struct EdgeStreamOptions {
    int64_t startUtcMs = 0;    // the signal time at which sampling begins (before the phase)
    int64_t durationMs = 0;    // samples are taken in [start + phase, start + duration)
    uint8_t polarity = 0;
    uint32_t phaseMs = 0;      // offset of the sample grid against the signal, 0..24
    uint32_t firstStampMs = 10000;  // stamp of the first sample; later stamps wrap modulo 2^32
    uint8_t initialLevel = 0;  // the sampler's remembered level before the first sample
    // Noise, each a probability per second (0..1), decided independently per second:
    double glitchRate = 0;     // a short active spike (10..45 ms) somewhere in the idle part
    double dropoutRate = 0;    // the second's mark is missing
    double flipRate = 0;       // the mark has the other bit's length
    uint32_t jitterMs = 0;     // each edge's stamp is late by 0..jitterMs (kept in order)
    uint64_t seed = 1;         // the same seed and options give the same stream

    // Interference in step with the signal (below); the random noise comes on top.
    struct Interference interference;

    // A positive leap second inserted at this UTC instant, the end of a day
    // (e.g. 2027-01-01 00:00); 0: none. A2 is sent during the hour before it,
    // the minute before it has 61 seconds (second 59 a 0, second 60 no mark),
    // and from then on the signal runs a second behind the stamps.
    int64_t leapSecondUtcMs = 0;

    // A sender whose time steps by `jumpByMs` from the UTC instant `jumpAtUtcMs`
    // on (a whole number of minutes: an hour, a day, or one back, which sends
    // a minute twice); 0: never. The stamps and the true time go on unmoved.
    int64_t jumpAtUtcMs = 0;
    int64_t jumpByMs = 0;
    // The carrier without its marks for `stuckForMs` from `stuckFromUtcMs` on:
    // the line stays idle.
    int64_t stuckFromUtcMs = 0;
    int64_t stuckForMs = 0;
};

// The UTC instant (leap seconds not counted) of the moment a stamp of the
// stream stands for; inside the leap second itself, its end.
int64_t StampUtcMs(const EdgeStreamOptions& options, uint32_t stampMs);

// Options for a log that lets a decoder lock on: sampling begins 5 s before the
// minute mark at utcMinuteStart (so that mark synchronises the decoder) and ends
// 1 s after the minute mark `minutes` minutes later, so the telegrams of all
// `minutes` minutes are decoded.
EdgeStreamOptions OptionsForMinutes(int64_t utcMinuteStart, int minutes);
constexpr int64_t kLeadInMs = 5 * kSecondMs;
constexpr int64_t kTailMs = 1 * kSecondMs;

using EdgeSinkFn = void (*)(void* context, SampledEdge edge);

// Calls sink once per edge, in order. Allocates nothing.
void GenerateEdges(const EdgeStreamOptions& options, EdgeSinkFn sink, void* context);

template <typename Sink>
void GenerateEdges(const EdgeStreamOptions& options, Sink&& sink) {
    GenerateEdges(
        options,
        [](void* context, SampledEdge edge) { (*static_cast<std::remove_reference_t<Sink>*>(context))(edge); },
        const_cast<void*>(static_cast<const void*>(std::addressof(sink))));
}

std::vector<SampledEdge> GenerateEdgeVector(const EdgeStreamOptions& options);

}  // namespace dcf77
