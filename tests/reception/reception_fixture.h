// Puts reception back into its program-start state before each test and
// offers a receiver that sends whole minutes as second marks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "clock/clock_setting.h"
#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"

// 14:05 on Sunday 06.12.26, winter time: seconds 0 to 58 in order.
inline constexpr const char* kSunday1405 =
    "00000000000000000010110100000001010001100011101001011001000";

// Rewrites the BCD field at `first` (with `width` bits) and fixes its parity
// bit, so tests can derive other minutes from a known-good one.
inline void SetField(std::string& bits, int first, int width, int value, int parityBit) {
    static constexpr int kWeights[] = {1, 2, 4, 8, 10, 20, 40, 80};
    for (int i = width - 1; i >= 0; --i) {
        const bool set = value >= kWeights[i];
        if (set) value -= kWeights[i];
        bits[static_cast<std::size_t>(first + i)] = set ? '1' : '0';
    }
    if (parityBit < 0) return;
    int ones = 0;
    const int from = parityBit == 58 ? 36 : first;
    for (int i = from; i < parityBit; ++i) ones += bits[static_cast<std::size_t>(i)] == '1';
    bits[static_cast<std::size_t>(parityBit)] = (ones % 2) ? '1' : '0';
}

inline std::string MinuteAt(int hour, int minute) {
    std::string bits = kSunday1405;
    SetField(bits, 21, 7, minute, 28);
    SetField(bits, 29, 6, hour, 35);
    return bits;
}

class ReceptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetReception();
    }
    TDcfState& state() { return *dcfPtr; }

    // Level of an active mark and of the idle line for the record's polarity.
    uint8_t Active() const { return dcfPtr->polarity; }
    uint8_t Idle() const { return dcfPtr->polarity ? 0 : 1; }

    void Mark(int64_t startMs, int lengthMs) {
        DecodeEdge(Active(), static_cast<int32_t>(startMs));
        DecodeEdge(Idle(), static_cast<int32_t>(startMs + lengthMs));
    }

    // Sends the 59 marks of `bits` from `startMs` (second 0) on; the minute
    // mark that completes them is the first mark of the next call, or MinuteMark.
    void SendMinute(const std::string& bits, int64_t startMs) {
        for (std::size_t i = 0; i < bits.size(); ++i)
            Mark(startMs + static_cast<int64_t>(i) * 1000, bits[i] == '1' ? 200 : 100);
    }
    void MinuteMark(int64_t atMs) { DecodeEdge(Active(), static_cast<int32_t>(atMs)); }

    // Synchronises: one minute of marks whose end is a minute mark, after a
    // first mark that only counts a loss.
    int64_t Synchronise(int64_t startMs = 10000) {
        SendMinute(std::string(59, '0'), startMs);
        return startMs + 60000;
    }
};

// A generated signal replayed through the decoder, in the mode the flags set,
// the program going on after each setting. Every confirmation is judged by the
// time the clock would get (the minute named and the whole seconds since its
// mark) against the true time, to half a second.
struct Outcome {
    int right = 0, wrong = 0, firstRightMinute = -1;
};
inline Outcome ReplayJudged(const dcf77::EdgeStreamOptions& options) {
    ResetReception();
    StoreConfirmFlag(*dcfPtr);
    Outcome outcome;
    dcf77::GenerateEdges(options, [&](dcf77::SampledEdge e) {
        DecodeEdge(e.level, static_cast<int32_t>(e.stampMs));
        if (!timeConfirmed) return;
        timeConfirmed = 0;
        dcfPtr->telegramsStored = 2;
        const TDcfTelegram& t = dcfPtr->current;
        const int64_t set = dcf77::UtcMs(FourDigitYear(t.year), t.month, t.day, t.hour, t.minute) -
                            (t.summerTime ? 2 : 1) * dcf77::kHourMs + SecondsSinceMark(e.stampMs, t.markTime) * 1000;
        const int64_t truth = dcf77::StampUtcMs(options, e.stampMs);
        if (std::llabs(set - truth) >= 500) return void(++outcome.wrong);
        if (outcome.right++ == 0) {
            outcome.firstRightMinute = static_cast<int>((truth - options.startUtcMs) / dcf77::kMinuteMs);
        }
    });
    return outcome;
}
