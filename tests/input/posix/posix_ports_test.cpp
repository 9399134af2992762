// The Linux sampling thread against a full pipe to the event loop, the
// serial driver's exclusive mode and its refusal of line waits, the waiting
// thread's stop, and the joystick driver's refusal of what is no joystick.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <string>
#include <thread>

#include "input/port_sampler.h"
#include "eventloop/posix/event_loop.h"
#include "tests/support/count_edges.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/memory_port_profile.h"
#include "tests/support/test_thread.h"
#include "tests/support/waiting_platform.h"

namespace {

TEST(PosixPorts, TheSamplingThreadNeverWaitsOnAFullPipe) {
    RacingClock clock;
    MemoryPortProfile profile;
    profile.ports = {{"COM1", "SIM"}};
    EventLoop loop;
    CountEdges collect;
    SamplerSeams seams{nullptr, &clock, &profile};
    // A window thread that stops reading: the pipe fills and posting fails, never waits.
    ASSERT_TRUE(loop.PostEdge(1, 0xFFFFFFFFu));
    size_t filled = 1;
    while (loop.PostEdge(0, 0)) ++filled;
    ASSERT_TRUE(OpenPort(loop, 1));
    const uint32_t target = clock.reads.load() + 40;  // two seconds of signal: marks that cannot fit
    while (clock.reads.load() < target) std::this_thread::yield();
    ClosePort();  // returns: the sampler never waited on the pipe
    loop.SetEdgeHandler(&collect);
    while (loop.RunOnce(0) > 0) {
    }
    EXPECT_EQ(collect.levels, "1" + std::string(filled - 1, '0'));  // what fit, in order, and no more
    EXPECT_EQ(collect.stamps[0], -1);  // stamps are read signed
}

TEST(PosixPorts, ASerialPortIsNoLongerExclusiveOnceClosed) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const auto driver = MachinePortPlatform().MakeDriver(PortKind::Serial, "", false);
    ASSERT_TRUE(driver->Open(ptsname(master)));
    driver->Close();
    const int again = open(ptsname(master), O_RDWR | O_NOCTTY);
    int exclusive = -1;
    EXPECT_TRUE(ioctl(again, TIOCGEXCL, &exclusive) == 0 && exclusive == 0);
    close(again);
    close(master);
}

// Waits as TIOCMIWAIT does: in the kernel (a read of a pipe nobody writes),
// until a signal ends the call; Interrupt alone cannot end it.
struct KernelWait {
    KernelWait() { EXPECT_EQ(pipe(fds), 0); }
    ~KernelWait() {
        close(fds[0]);
        close(fds[1]);
    }
    void Block() {
        char byte = 0;
        EXPECT_EQ(read(fds[0], &byte, 1), -1);
    }
    void Wake() {}
    int fds[2] = {-1, -1};
};

TEST(PosixPorts, ClosingWakesTheThreadWaitingInTheKernelAndARefusedWaitIsSampled) {
    ExpectClosingEndsTheWaitAndTicksFollowARefusal<KernelWait>();
}

// A pty, like a cp210x adapter, answers TIOCMIWAIT with ENOTTY.
TEST(PosixPorts, ASerialPortWithoutLineWaitsIsSampledAndSaysSo) {
    struct Notices final : EdgeSink {
        bool PostEdge(uint8_t, uint32_t) override { return true; }
        void Notice(std::string_view text) override {
            said = std::string(text);
            ++count;
        }
        std::string said;
        std::atomic<int> count{0};
    } sink;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    MemoryPortProfile profile;
    profile.ports = {{"COM1", ptsname(master)}};
    SamplerSeams seams{nullptr, nullptr, &profile};
    SetPortEvents(true);
    ASSERT_TRUE(OpenPort(sink, 1));
    while (sink.count.load() == 0) TestThread::GiveWay();
    ClosePort();
    close(master);
    EXPECT_EQ(sink.count.load(), 1);
    EXPECT_NE(sink.said.find("sampling it every 25 ms instead"), std::string::npos) << sink.said;
}

TEST(PosixPorts, TheGamePortRefusesADeviceThatIsNoJoystick) {
    MemoryPortProfile profile;
    profile.ports = {{"GAME", "/dev/zero"}};
    SamplerSeams seams{nullptr, nullptr, &profile};
    EventLoop loop;
    EXPECT_FALSE(OpenPort(loop, kGamePortCode));
}

}  // namespace
