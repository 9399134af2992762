// What only Windows has: the exported timer callback and the console's
// control handler.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "input/live_receiver.h"
#include "input/port_sampler.h"
#include "input/win32/live_receiver_win32.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/memory_profile.h"

namespace {

// The Windows builds have no std::thread (their thread model keeps the
// programs loadable on XP): a thread of the system's own, joined when it goes.
class Thread {
public:
    explicit Thread(std::function<void()> body) : body_(std::move(body)) {
        handle_ = CreateThread(nullptr, 0, &Thread::Run, this, 0, nullptr);
    }
    ~Thread() { Join(); }
    void Join() {
        if (handle_ == nullptr) return;
        WaitForSingleObject(handle_, INFINITE);
        CloseHandle(handle_);
        handle_ = nullptr;
    }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

private:
    static DWORD WINAPI Run(LPVOID self) {
        static_cast<Thread*>(self)->body_();
        return 0;
    }
    std::function<void()> body_;
    HANDLE handle_ = nullptr;
};

TEST(Win32Ports, TheExecutableExportsTcb) {
    EXPECT_NE(GetProcAddress(GetModuleHandleA(nullptr), "TCB"), nullptr);
}

class Ignore final : public EdgeHandler {
public:
    void OnEdge(uint8_t, int32_t) override {}
};

// Windows ends the process when the handler returns from a closed console, a
// log-off or a shutdown: the receiver must be switched off by then.
TEST(Win32Ports, ClosingTheConsoleReturnsOnlyOnceThePortIsClosed) {
    FakePortPlatform fake;
    SamplerSeams seams{&fake, nullptr};
    std::unique_ptr<Thread> console;
    bool openWhenHandled = true;
    fake.insideStart = [&] {
        console = std::make_unique<Thread>([&] {
            OnConsoleControl(CTRL_CLOSE_EVENT);
            openWhenHandled = fake.deviceOpen;
        });
    };
    Ignore ignore;
    EXPECT_EQ(ReceiveLive(1, ignore), LiveResult::Interrupted);
    console->Join();
    EXPECT_FALSE(openWhenHandled);
}

class CountEdges final : public EdgeHandler {
public:
    void OnEdge(uint8_t level, int32_t) override {
        levels += static_cast<char>('0' + level);
        count = static_cast<int>(levels.size());
    }
    std::string levels;
    std::atomic<int> count{0};
};

// The simulated receiver through the multimedia timer, TCB and the edge
// message to a window, stopped from another thread as the console's handler
// would.
TEST(Win32Ports, TheMultimediaTimerDeliversEdgesAsWindowMessages) {
    RacingClock clock;
    MemoryProfile profile;
    profile.ports = {{"COM1", "SIM"}};
    SetSamplerClock(&clock);
    SetPortProfile(&profile);
    CountEdges edges;
    Thread stopper([&edges] {
        while (edges.count.load() < 4) SwitchToThread();
        StopLiveReception();
    });
    EXPECT_EQ(ReceiveLive(1, edges), LiveResult::Interrupted);
    stopper.Join();
    SetPortProfile(nullptr);
    SetSamplerClock(nullptr);
    ASSERT_GE(edges.levels.size(), 4u);
    for (size_t i = 1; i < edges.levels.size(); ++i) EXPECT_NE(edges.levels[i], edges.levels[i - 1]) << i;
}

}  // namespace
