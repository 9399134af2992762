// The receiver's delay, from its edges' own instants against the real-time
// clock; the kernel's word on whether that clock may serve; the daemon lines.
#include <gtest/gtest.h>

#include <utility>

#include "tests/support/fake_clock.h"
#include "ui/calibration.h"

namespace {

constexpr int64_t kMs = 1'000'000;

struct RealTimeAt final : RealTimeClock {
    int64_t ns = 0;
    RealTime Now() override { return {ns / (1000 * kMs), static_cast<int32_t>(ns % (1000 * kMs))}; }
};

TEST(DelayCalibration, TheMarksThatStartAtOnePlaceEverySecondGiveTheDelay) {
    FakeMachineClocks edges{0};
    RealTimeAt real;
    DelayCalibration calibration(real, edges);
    // Real time runs 1.8e9 s and a fraction ahead of the edge clock; marks
    // start 31.4 ms after the second (0.5 ms of jitter either way) and end
    // 100 or 200 ms later; each edge is handled 3 ms after it came.
    const int64_t realAhead = 1'800'000'000'123'456'789;
    for (int64_t second = 1; second <= 120; ++second) {
        const int64_t start = second * 1000 * kMs + 31'400'000 + (second % 3 - 1) * 500'000 - realAhead;
        for (const auto& [level, at] : {std::pair{0, start}, std::pair{1, start + (second % 2 + 1) * 100 * kMs}}) {
            edges.ns = at + 3 * kMs;
            real.ns = edges.ns + realAhead;
            calibration.OnEdge(static_cast<uint8_t>(level), at);
        }
        EXPECT_EQ(calibration.Finish().has_value(), second >= 50) << second;
    }
    const auto result = calibration.Finish();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->level, 0);
    EXPECT_EQ(result->marks, 120u);
    EXPECT_NEAR(result->medianMs, 31.4, 1e-6);
    EXPECT_NEAR(result->spreadMs, 1.0, 1e-6);

    const std::string sock = CalibrationReport(*result, 2, std::nullopt);
    EXPECT_NE(sock.find("refclock SOCK /run/chrony/chronvk.sock refid DCF poll 4 filter 16 precision 0.001 offset 0.031400\n"), std::string::npos) << sock;
    const std::string shm = CalibrationReport(*result, 2, ParseRefclockSetting("shm:3"));
    for (const char* line : {"refclock SHM 3 ", "fudge 127.127.28.3 refid DCF time1 0.031400", "shm unit 3 "})
        EXPECT_NE(shm.find(line), std::string::npos) << line << "\n" << shm;
}

// TIME_OK .. TIME_WAIT serve; TIME_ERROR (nobody keeps the clock) is refused.
TEST(DelayCalibration, OnlyAClockTheKernelCallsSynchronisedServes) {
    for (int state = 0; state <= 5; ++state) EXPECT_EQ(WhyClockUnsynchronised(state).has_value(), state == 5) << state;
}

}  // namespace
