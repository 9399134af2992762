// What only Windows has: the exported timer callback, the console's control
// handler, and the waiting thread that the multimedia timer replaces.

#include <windows.h>

#include <gtest/gtest.h>


#include "input/live_receiver.h"
#include "input/win32/live_receiver_win32.h"
#include "tests/support/count_edges.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/test_thread.h"
#include "tests/support/waiting_platform.h"

namespace {

TEST(Win32Ports, TheExecutableExportsTcb) {
    EXPECT_NE(GetProcAddress(GetModuleHandleA(nullptr), "TCB"), nullptr);
}

// Windows ends the process when the handler returns from a closed console, a
// log-off or a shutdown: the receiver must be switched off by then.
TEST(Win32Ports, ClosingTheConsoleReturnsOnlyOnceThePortIsClosed) {
    FakePortPlatform fake;
    SamplerSeams seams{&fake, nullptr};
    TestThread console;
    bool openWhenHandled = true;
    fake.insideStart = [&] {
        console = TestThread([&] {
            OnConsoleControl(CTRL_CLOSE_EVENT);
            openWhenHandled = fake.deviceOpen;
        });
    };
    CountEdges ignore;
    EXPECT_EQ(ReceiveLive(1, ignore), LiveResult::Interrupted);
    console.Join();
    EXPECT_FALSE(openWhenHandled);
}

// Waits as the serial driver waits beside WaitCommEvent: on an event that
// Interrupt sets.
struct EventWait {
    EventWait() : event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~EventWait() { CloseHandle(event); }
    void Block() { WaitForSingleObject(event, INFINITE); }
    void Wake() { SetEvent(event); }
    HANDLE event;
};

TEST(Win32Ports, ClosingEndsTheWaitAndTheMultimediaTimerTakesOverFromARefusedOne) {
    ExpectClosingEndsTheWaitAndTicksFollowARefusal<EventWait>();
}

}  // namespace
