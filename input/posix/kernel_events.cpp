#include "input/posix/kernel_events.h"

#include <time.h>

#include <charconv>

namespace {

int64_t Read(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

int64_t Distance(int64_t a, int64_t b) { return a > b ? a - b : b - a; }

}  // namespace

ClockReadings ReadClocks() {
    const int64_t before = Read(CLOCK_BOOTTIME);
    ClockReadings now{0, Read(CLOCK_MONOTONIC), Read(CLOCK_REALTIME)};
    now.edgeNs = before + (Read(CLOCK_BOOTTIME) - before) / 2;
    return now;
}

int64_t GpioStampOnEdgeClock(int64_t stampNs, const ClockReadings& now) {
    const bool realtime = Distance(now.realtimeNs, stampNs) < Distance(now.monotonicNs, stampNs);
    return OnEdgeClock(stampNs, realtime ? now.realtimeNs : now.monotonicNs, now.edgeNs);
}

void AddGpioEvents(const GpioKernelEvent* events, int count, bool activeLow, const ClockReadings& now,
                   LineWait& wait) {
    for (int i = 0; i < count; ++i)
        wait.Add(events[i].rising != activeLow ? 1 : 0, GpioStampOnEdgeClock(events[i].stampNs, now));
}

void AddPpsEvents(PpsCapture& seen, const PpsCapture& now, const ClockReadings& clocks, LineWait& wait) {
    const bool asserted = now.assertSequence != seen.assertSequence;
    const bool cleared = now.clearSequence != seen.clearSequence;
    seen = now;
    const int64_t assertAt = OnEdgeClock(now.assertNs, clocks.realtimeNs, clocks.edgeNs);
    const int64_t clearAt = OnEdgeClock(now.clearNs, clocks.realtimeNs, clocks.edgeNs);
    const bool clearFirst = cleared && (!asserted || clearAt < assertAt);
    if (clearFirst) wait.Add(0, clearAt);
    if (asserted) wait.Add(1, assertAt);
    if (cleared && !clearFirst) wait.Add(0, clearAt);
}

LineRead PpsLevel(const PpsCapture& capture) {
    if (capture.assertSequence == 0 && capture.clearSequence == 0) return LineRead::Unchanged;
    return LevelRead(capture.assertNs > capture.clearNs);
}

std::optional<GpioDevice> ParseGpioDevice(std::string_view text) {
    if (!text.starts_with(kGpioPrefix)) return std::nullopt;
    text.remove_prefix(kGpioPrefix.size());
    GpioDevice device;
    const auto chipEnd = text.find(':');
    if (chipEnd == 0 || chipEnd == std::string_view::npos) return std::nullopt;
    device.chip = std::string(text.substr(0, chipEnd));
    text.remove_prefix(chipEnd + 1);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, device.line);
    if (error != std::errc{} || stop == text.data()) return std::nullopt;
    std::string_view options(stop, static_cast<size_t>(end - stop));
    while (!options.empty()) {
        if (options.starts_with(":active-low") && !device.activeLow) {
            device.activeLow = true;
            options.remove_prefix(11);
        } else if (options.starts_with(":pull-up") && !device.pullUp) {
            device.pullUp = true;
            options.remove_prefix(8);
        } else {
            return std::nullopt;
        }
    }
    return device;
}
