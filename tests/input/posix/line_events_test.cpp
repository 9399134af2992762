// What the kernel reports of a line, as edges: stamps of either clock carried
// to the edge clock, PPS captures and GPIO batches in their order, active-low,
// the GPIO device strings; and, where the hardware is there, the real thing.
#include <glob.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "eventloop/posix/event_loop.h"
#include "input/port_sampler.h"
#include "input/posix/kernel_events.h"
#include "tests/support/count_edges.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/memory_port_profile.h"

namespace {

constexpr int64_t kMs = 1'000'000;
// Edge clock, monotonic clock, real-time clock (a 2027 date).
constexpr ClockReadings kNow{50'000 * kMs, 40'000 * kMs, 1'800'000'000'000 * kMs};

std::string Levels(const LineWait& wait) {
    std::string levels;
    for (uint8_t i = 0; i < wait.count; ++i) levels += static_cast<char>('0' + wait.events[i].level);
    return levels;
}

TEST(KernelEvents, GpioBatchesKeepTheirOrderOnTheEdgeClockWhicheverClockStampedThem) {
    for (const int64_t kernelNow : {kNow.monotonicNs, kNow.realtimeNs}) {  // since 5.7, before
        const GpioKernelEvent batch[3] = {{true, kernelNow - 30 * kMs}, {false, kernelNow - 20 * kMs}, {true, kernelNow - 10 * kMs}};
        for (const bool activeLow : {false, true}) {
            LineWait wait;
            AddGpioEvents(batch, 3, activeLow, kNow, wait);
            EXPECT_EQ(Levels(wait), activeLow ? "010" : "101");
            for (int i = 0; i < 3; ++i) EXPECT_EQ(wait.events[i].instantNs, kNow.edgeNs - (3 - i) * 10 * kMs);
        }
    }
}

TEST(KernelEvents, PpsCapturesOfBothEdgesComeInTheOrderTheyHappened) {
    const int64_t real = kNow.realtimeNs;
    const PpsCapture seen{5, 5, real - 900 * kMs, real - 800 * kMs};
    const struct { PpsCapture now; const char* levels; int64_t firstAgoMs; LineRead after; } cases[] = {
        {seen, "", 0, LineRead::Low},
        {{6, 5, real - 100 * kMs, seen.clearNs}, "1", 100, LineRead::High},
        {{5, 6, seen.assertNs, real - 100 * kMs}, "0", 100, LineRead::Low},
        {{6, 6, real - 300 * kMs, real - 200 * kMs}, "10", 300, LineRead::Low},
        {{6, 6, real - 200 * kMs, real - 300 * kMs}, "01", 300, LineRead::High},
    };
    for (const auto& c : cases) {
        PpsCapture before = seen;
        LineWait wait;
        AddPpsEvents(before, c.now, kNow, wait);
        EXPECT_EQ(Levels(wait), c.levels);
        EXPECT_EQ(wait.events[0].instantNs, wait.count > 0 ? kNow.edgeNs - c.firstAgoMs * kMs : 0);
        EXPECT_EQ(before.assertSequence, c.now.assertSequence);
        EXPECT_EQ(PpsLevel(c.now), c.after);
    }
    EXPECT_EQ(PpsLevel({}), LineRead::Unchanged);
}

TEST(KernelEvents, GpioDeviceStrings) {
    const auto both = ParseGpioDevice("gpio:/dev/gpiochip1:4:pull-up:active-low").value_or(GpioDevice{});
    EXPECT_TRUE(both.chip == "/dev/gpiochip1" && both.line == 4 && both.activeLow && both.pullUp);
    const auto plain = ParseGpioDevice("gpio:/dev/gpiochip0:17").value_or(GpioDevice{});
    EXPECT_TRUE(plain.chip == "/dev/gpiochip0" && plain.line == 17 && !plain.activeLow && !plain.pullUp);
    for (const char* bad : {"gpio:", "gpio:/dev/gpiochip0", "gpio::3", "gpio:/dev/gpiochip0:x", "gpio:/dev/gpiochip0:-1",
                            "gpio:/dev/gpiochip0:3:active-high", "gpio:/dev/gpiochip0:3:pull-up:pull-up", "pps:/dev/pps0"})
        EXPECT_FALSE(ParseGpioDevice(bad)) << bad;
}

// Four edges with their instants from the port whose device is `device`,
// through the machine's waiting thread; `pull` toggles a simulated line.
void ExpectLiveEdges(const std::string& device, const std::string& pull) {
    MemoryPortProfile profile;
    profile.ports = {{"COM1", device}};
    SamplerSeams seams{nullptr, nullptr, &profile};
    SetPortEvents(true);
    EventLoop loop;
    CountEdges edges;
    loop.SetEdgeHandler(&edges);
    ASSERT_TRUE(OpenPort(loop, 1)) << device;
    const uint32_t start = SystemMillisecondClock().NowMs();
    while (edges.instants.size() < 4 && SystemMillisecondClock().NowMs() - start < 20'000) {
        if (!pull.empty()) std::ofstream(pull) << (edges.levels.size() % 2 == 0 ? "pull-up" : "pull-down");
        loop.RunOnce(100);
    }
    ClosePort();
    EXPECT_GE(edges.instants.size(), 4u) << device << ": levels " << edges.levels;
}

TEST(LineHardware, AReceiverOnTheNamedSerialPort) {
    const char* port = std::getenv("CHRONVK_TEST_SERIAL");
    if (port == nullptr) GTEST_SKIP() << "CHRONVK_TEST_SERIAL names no serial port with a receiver";
    ExpectLiveEdges(port, "");
}

// Line 0 of a gpio-sim chip, pulled up and down through its sysfs file.
TEST(LineHardware, AGpioSimLine) {
    glob_t found{};
    const std::string pull = glob("/sys/bus/platform/devices/gpio-sim.*/gpiochip*/sim_gpio0/pull", 0, nullptr, &found) == 0 ? found.gl_pathv[0] : "";
    globfree(&found);
    if (pull.empty()) GTEST_SKIP() << "no gpio-sim chip here (the gpio-sim module is not loaded)";
    const std::string chip = pull.substr(0, pull.rfind("/sim_gpio0"));
    ExpectLiveEdges("gpio:/dev/" + chip.substr(chip.rfind('/') + 1) + ":0", pull);
}

}  // namespace
