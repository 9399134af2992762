#include "tools/decode/decode_session.h"

#include <cstdio>
#include <cstring>

#include "reception/dcf_state.h"
#include "reception/display_texts.h"
#include "reception/edge_decoder.h"

namespace {

void AppendNumber(std::string& out, uint64_t value) {
    char digits[24];
    out += text_detail::FormatDecimal(static_cast<int64_t>(value), digits);
}

void AppendLine(std::string& out, uint64_t index, const char* label, std::string_view text) {
    AppendNumber(out, index);
    out += ' ';
    out += label;
    out += ' ';
    out += text;
    out += '\n';
}

void AppendRecord(std::string& out, uint64_t index, const TDcfState& state) {
    static constexpr char kHex[] = "0123456789abcdef";
    unsigned char bytes[sizeof(TDcfState)];
    std::memcpy(bytes, &state, sizeof bytes);
    AppendNumber(out, index);
    out += " record ";
    for (unsigned char b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    out += '\n';
}

// "<n> set 2026-12-06 13:05:00 UTC", or "refused" when the clock would not take it.
void AppendClockSetting(std::string& out, uint64_t index, const SystemTime& utc, bool set) {
    char text[64];
    std::snprintf(text, sizeof text, " %s %04u-%02u-%02u %02u:%02u:%02u UTC\n",
                  set ? "set" : "refused", unsigned{utc.wYear}, unsigned{utc.wMonth},
                  unsigned{utc.wDay}, unsigned{utc.wHour}, unsigned{utc.wMinute},
                  unsigned{utc.wSecond});
    AppendNumber(out, index);
    out += text;
}

}  // namespace

DecodeSession::DecodeSession(const DecodeOptions& options) : options_(options) {
    ResetReception();
    TDcfState& state = *dcfPtr;
    state.polarity = options.polarity;
    state.receptionTest = options.receptionTest ? 1 : 0;
    state.setUtc = options.utc ? 1 : 0;
    state.logEnabled = 0;
    state.serverEnabled = 0;
    state.autoEnd = 0;
    StoreConfirmFlag(state);
}

void DecodeSession::OnEdge(uint8_t level, uint32_t stamp, std::string& out) {
    const uint64_t n = ++edgeCount_;
    TDcfState& state = *dcfPtr;

    // The window message carries the stamp whole; reception reads it signed.
    DecodeEdge(level, static_cast<int32_t>(stamp));

    const bool confirmed = timeConfirmed != 0;
    if (confirmed) {
        state.telegramsStored = 3;
        edgeClock_.stamp = stamp;
        const unsigned before = dryRunClock_.RequestCount();
        ApplyConfirmedTime(state, clock_);
        if (dryRunClock_.RequestCount() != before) {
            AppendClockSetting(out, n, dryRunClock_.LastRequest(),
                               dryRunClock_.LastResult() == ClockResult::kSet);
        }
    }
    timeConfirmed = 0;

    if (state.bitsChanged) {
        state.bitsChanged = 0;
        BuildBitLine(state);
        AppendLine(out, n, "bits", bitLine.view());
    }
    if (state.statusChanged) {
        state.statusChanged = 0;
        state.bitsChanged = 0;
        BuildStatusLines(state);
        AppendLine(out, n, "telegram", telegramLine.view());
        AppendLine(out, n, "statistics", statisticsLine.view());
        AppendLine(out, n, "setting", lastSettingLine.view());
    }
    // With no setting pause the window resumes at once, redrawing at the next edge.
    if (confirmed) {
        state.telegramsStored = 2;
        state.statusChanged = 1;
    }
    if (options_.dump) AppendRecord(out, n, state);
}
