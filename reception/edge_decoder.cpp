#include "reception/edge_decoder.h"

#include "reception/robust_reception.h"
#include "reception/signal_quality.h"
#include "reception/strict_confirmation.h"
#include "reception/telegram_decoder.h"

namespace {

// Thresholds in hundredths of a second.
constexpr int32_t kMinSecondSpacing = 50;   // starts of marks closer than this are glitches
constexpr int32_t kOneBitPulse = 12;        // a longer mark is a 1
constexpr int32_t kMinuteGap = 130;         // a longer gap is the missing second 59
constexpr int32_t kOneDay = 8640000;
constexpr int kMaxBits = 60;
constexpr uint32_t kLongPauseMs = 3600000;

// The decoder's private times: zero at program start and never reset, so the
// first edge after a sampling pause is measured against the last one before it.
struct EdgeDecoderState {
    bool lastActive;
    int32_t lastEdgeTime;
    int32_t markStartTime;
    int32_t markEndTime;
    // Beside the original decoder, for strict confirmation only.
    int32_t previousMarkStartTime;
    MinuteFrame minute;
    SecondStart second;
    bool anyEdge;
    uint32_t lastEdgeMs;
    uint32_t pauses;
};
EdgeDecoderState decoder{};

// Differences of hundredth stamps wrap like the 32-bit arithmetic they model
// instead of overflowing (only possible for stamps near the signed limits).
int32_t Difference(int32_t later, int32_t earlier) {
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

void LoseSynchronisation(TDcfState& state) {
    ClearBits();
    // Robust reception keeps its minute on its own grid.
    if (!robustReception) state.current.markTime = 0;
    state.syncAttempts = state.syncAttempts + 1u;
}

}  // namespace

void ResetReception() {
    ownDcfState = TDcfState{};
    dcfPtr = &ownDcfState;
    timeConfirmed = 0;
    decoder = EdgeDecoderState{};
    strict::Reset();
    robust::Reset();
    quality::Reset();
}

const MinuteFrame& LastMinuteFrame() { return decoder.minute; }

const SecondStart& LastSecondStart() { return decoder.second; }

uint32_t EdgePauses() { return decoder.pauses; }

void AppendBit(uint8_t bit) {
    TBitBuffer& buffer = dcfPtr->buffer;
    const int index = buffer.bitCount;
    // A lent block can hold any count; never write outside the two words.
    if (index < 0 || index > 63) return;
    const unsigned word = static_cast<unsigned>(index) >> 5;
    const unsigned position = static_cast<unsigned>(index) & 31u;
    uint32_t value = buffer.bits[word];
    value &= ~(uint32_t{1} << position);
    value |= static_cast<uint32_t>(bit) << position;
    buffer.bits[word] = value;
    buffer.bitCount = static_cast<int8_t>(index + 1);
}

void ClearBits() {
    TBitBuffer& buffer = dcfPtr->buffer;
    buffer.bitCount = 0;
    buffer.bits[0] = 0;
    buffer.bits[1] = 0;
}

int TestBit(const TBitBuffer& buffer, int index) {
    if (index < 0 || index > 63) return 0;
    const unsigned word = static_cast<unsigned>(index) >> 5;
    const unsigned position = static_cast<unsigned>(index) & 31u;
    return static_cast<int>((buffer.bits[word] >> position) & 1u);
}

int GetBit(int index) { return TestBit(dcfPtr->buffer, index); }

void DecodeEdge(uint8_t level, int32_t stampMs) {
    TDcfState& state = *dcfPtr;
    decoder.second.started = false;
    const bool active = level == state.polarity;
    if (active == decoder.lastActive) return;
    decoder.lastActive = active;

    const auto stamp = static_cast<uint32_t>(stampMs);
    // Unsigned: a step back in time reads as a pause far beyond the limit.
    if (decoder.anyEdge && stamp - decoder.lastEdgeMs > kLongPauseMs) ++decoder.pauses;
    decoder.anyEdge = true;
    decoder.lastEdgeMs = stamp;

    const int32_t now = stampMs / 10;
    int32_t sinceLast = Difference(now, decoder.lastEdgeTime);
    if (sinceLast < 0) sinceLast += kOneDay;

    if (!active) {
        decoder.markEndTime = now;
    } else if (sinceLast >= kMinSecondSpacing) {
        // Start of a new second: only now are both ends of the previous mark known.
        const int32_t pulse = Difference(decoder.markEndTime, decoder.markStartTime);
        decoder.second = {true, pulse};
        if (state.buffer.bitCount >= kMaxBits) {
            LoseSynchronisation(state);
            state.statusChanged = 1;
        } else {
            AppendBit(pulse > kOneBitPulse ? 1 : 0);
            state.bitsChanged = 1;
        }
        const int32_t gap = Difference(now, decoder.markEndTime);
        if (gap > kMinuteGap) {
            if (state.buffer.bitCount == 59) {
                if (!robustReception) state.current.markTime = now;
                decoder.minute.lastMarkToMinute = Difference(now, decoder.markStartTime);
                decoder.minute.lastMarkSpacing =
                    Difference(decoder.markStartTime, decoder.previousMarkStartTime);
                decoder.minute.markMs = stamp;
                DecodeTelegram();
                ClearBits();
            } else {
                LoseSynchronisation(state);
            }
            state.statusChanged = 1;
        }
        decoder.previousMarkStartTime = decoder.markStartTime;
        decoder.markStartTime = now;
    }
    decoder.lastEdgeTime = now;
    if (robustReception) robust::OnEdge(state, level, stampMs);
}
