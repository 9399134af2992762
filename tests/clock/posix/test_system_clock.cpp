#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "clock/posix/system_clock_posix.h"

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

TEST(PosixSystemClock, SetsTheUtcInstantAndRefusesWithCode4) {
    const PosixClockApi fake{&FakeSettime};
    EXPECT_EQ(SetSystemClockWith(fake, {2024, 2, 0, 29, 23, 30, 5, 250}), ClockResult::kSet);
    ASSERT_EQ(settimeCalls.size(), 1u);
    EXPECT_EQ(settimeCalls[0].tv_sec, 1709249405);
    EXPECT_EQ(settimeCalls[0].tv_nsec, 250000000);
    // timegm would normalise these into other dates: they never reach the kernel.
    EXPECT_EQ(SetSystemClockWith(fake, {2026, 14, 0, 1, 23, 30, 0, 0}), ClockResult::kTimeRefused);
    EXPECT_EQ(SetSystemClockWith(fake, {2026, 2, 0, 29, 0, 0, 0, 0}), ClockResult::kTimeRefused);
    EXPECT_EQ(settimeCalls.size(), 1u);
    settimeResult = -1;  // no CAP_SYS_TIME
    EXPECT_EQ(SetSystemClockWith(fake, {2026, 12, 0, 6, 13, 5, 0, 0}), ClockResult::kTimeRefused);
}

}  // namespace
