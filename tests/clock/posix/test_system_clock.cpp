#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "clock/message_box.h"
#include "clock/posix/system_clock_posix.h"
#include "clock/system_clock.h"

namespace {

// Stands in for clock_settime: the real one would change this machine's clock.
std::vector<timespec> settimeCalls;
int settimeResult = 0;

int FakeSettime(clockid_t clock, const timespec* time) {
    EXPECT_EQ(clock, CLOCK_REALTIME);
    settimeCalls.push_back(*time);
    if (settimeResult != 0) errno = EPERM;
    return settimeResult;
}

class PosixSystemClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        settimeCalls.clear();
        settimeResult = 0;
    }
    const PosixClockApi fake{&FakeSettime};
};

TEST_F(PosixSystemClockTest, SetsTheUtcSecondsOfTheFields) {
    EXPECT_EQ(SetSystemClockWith(fake, {2024, 2, 0, 29, 23, 30, 5, 0}), 0);
    ASSERT_EQ(settimeCalls.size(), 1u);
    EXPECT_EQ(settimeCalls[0].tv_sec, 1709249405);
    EXPECT_EQ(settimeCalls[0].tv_nsec, 0);

    EXPECT_EQ(SetSystemClockWith(fake, {1998, 1, 0, 1, 0, 0, 0, 250}), 0);
    ASSERT_EQ(settimeCalls.size(), 2u);
    EXPECT_EQ(settimeCalls[1].tv_sec, 883612800);
    EXPECT_EQ(settimeCalls[1].tv_nsec, 250000000);
}

TEST_F(PosixSystemClockTest, KernelRefusalIsCode4) {
    settimeResult = -1;
    EXPECT_EQ(SetSystemClockWith(fake, {2026, 12, 0, 6, 13, 5, 0, 0}), 4);
}

// timegm would normalise these into some other date; they must never reach the kernel.
TEST_F(PosixSystemClockTest, InvalidFieldsAreRefusedBeforeTheKernelCall) {
    const SystemTime invalid[] = {
        {2026, 14, 0, 1, 23, 30, 0, 0}, {2026, 2, 0, 29, 0, 0, 0, 0}, {0, 6, 0, 15, 11, 30, 0, 0},
        {2026, 6, 0, 15, 24, 0, 0, 0},  {2026, 6, 0, 15, 0, 60, 0, 0}, {2026, 6, 0, 15, 0, 0, 0, 1000},
    };
    for (const SystemTime& t : invalid) EXPECT_EQ(SetSystemClockWith(fake, t), 4);
    EXPECT_TRUE(settimeCalls.empty());
}

// The real clock, only with times it refuses before any system call.
TEST(PosixPlatformClock, RefusesInvalidFields) {
    EXPECT_EQ(SetSystemClockWith(RealPosixClockApi(), {2026, 13, 0, 1, 0, 0, 0, 0}), 4);
    EXPECT_EQ(PlatformSystemClock().SetSystemClock({2026, 4, 0, 31, 0, 0, 0, 0}), 4);
}

TEST(PosixMessageBoxes, WriteCaptionAndTextToStderr) {
    ::testing::internal::CaptureStderr();
    PlatformMessageBoxes().Show("Zeit kann nicht eingestellt werden!", "Fehler", kStopBox);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Fehler: Zeit kann nicht eingestellt werden!\n");
}

}  // namespace
