// What the kernel tells about a line, in the sampler's terms: its stamps
// carried over to the edge clock, PPS captures and GPIO line events turned
// into edges in order, and the GPIO device string. Kept free of the devices
// themselves so the tests can play any kernel's answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "input/port_driver.h"

// The three clocks a kernel stamps with, read at one moment.
struct ClockReadings {
    int64_t edgeNs;       // CLOCK_BOOTTIME, the edge clock
    int64_t monotonicNs;  // CLOCK_MONOTONIC
    int64_t realtimeNs;   // CLOCK_REALTIME
};
// The edge clock is read before and after the others and taken halfway, so
// a preemption between the readings costs half of itself at most.
ClockReadings ReadClocks();

// An instant another clock stamped, carried over to the edge clock by the
// age it has on its own clock.
constexpr int64_t OnEdgeClock(int64_t stampNs, int64_t stampClockNowNs, int64_t edgeNowNs) {
    return edgeNowNs - (stampClockNowNs - stampNs);
}

// GPIO line events (character device, first API) are stamped with the real-
// time clock by kernels before 5.7 and with the monotonic clock since: the
// stamp is recent on its own clock and decades off on the other.
int64_t GpioStampOnEdgeClock(int64_t stampNs, const ClockReadings& now);

struct GpioKernelEvent {
    bool rising;      // the line went high
    int64_t stampNs;  // the kernel's stamp
};
// One batch of events as read, oldest first. Active-low is ours to apply: we
// take the line as it is, so a polled reading and the events agree.
void AddGpioEvents(const GpioKernelEvent* events, int count, bool activeLow, const ClockReadings& now,
                   LineWait& wait);

// A PPS source's last captures: assert (the line on, level 1) and clear
// (off, level 0), each with its count and its real-time stamp.
struct PpsCapture {
    uint64_t assertSequence = 0, clearSequence = 0;
    int64_t assertNs = 0, clearNs = 0;
};
// The captures in `now` newer than `seen`, in the order they happened; `seen`
// becomes `now`. A capture overwritten before it was fetched is lost: the
// newest of each edge is all the kernel keeps.
void AddPpsEvents(PpsCapture& seen, const PpsCapture& now, const ClockReadings& clocks, LineWait& wait);
// The level the latest capture left; Unchanged before the first.
LineRead PpsLevel(const PpsCapture& capture);

// gpio:/dev/gpiochipN:LINE[:active-low][:pull-up]
struct GpioDevice {
    std::string chip;
    unsigned line = 0;
    bool activeLow = false;
    bool pullUp = false;
};
std::optional<GpioDevice> ParseGpioDevice(std::string_view text);

inline constexpr std::string_view kPpsPrefix = "pps:";
inline constexpr std::string_view kGpioPrefix = "gpio:";
