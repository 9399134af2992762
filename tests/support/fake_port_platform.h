// A scripted port platform: its drivers answer as a test tells them, every call
// lands in one trace, and a call a real device would punish (on a driver that
// is not open, or a second device at once) fails the test. Its timer fires only
// when the test says so, optionally once from inside StartTimer: the worst case
// of a window thread preempted right after starting the timer. Its waiting
// thread, too, waits only when the test says so, and finds what it is told.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "input/port_sampler.h"

class FakePortPlatform final : public PortPlatform, public EdgeSink {
public:
    struct Post { uint8_t level; uint32_t stamp; int64_t instant = -1; };

    // Script.
    bool openFails = false, timerStarts = true, postSucceeds = true;
    std::function<void()> insideStart;  // runs in StartTimer once the timer runs
    LineRead line = LineRead::Low;
    LineWait wait;  // what each wait finds

    // Trace: "open", "on", "read", "off", "close", "timer", "cancel", "waiter", "wait", "interrupt".
    std::vector<std::string> calls;
    std::vector<Post> posts;
    std::vector<std::string> notices;
    bool deviceOpen = false;

    std::unique_ptr<PortDriver> MakeDriver(PortKind, const std::string&, bool) override {
        return std::make_unique<Driver>(*this);
    }
    uint32_t StartWaiter() override { return Start("waiter"); }
    uint32_t StartTimer() override { return Start("timer"); }
    uint32_t Start(const char* what) {
        calls.push_back(what);
        if (!timerStarts) return 0;
        timer_ = ++timerIds_;
        if (insideStart) insideStart();
        return timer_;
    }
    void CancelTimer(uint32_t timer) override {
        calls.push_back("cancel");
        EXPECT_EQ(timer, timer_) << "cancel of a timer that is not running";
        timer_ = 0;
    }

    // The timer's tick, if a timer runs; the waiting thread's wait.
    void Tick() {
        if (timer_ != 0) SamplerTick();
    }
    bool Wait() { return timer_ != 0 && SamplerWait(); }

    // The window's side: records what the sampler posts.
    bool PostEdge(uint8_t level, uint32_t stamp) override {
        posts.push_back({level, stamp});
        return postSucceeds;
    }
    bool PostEdgeAt(uint8_t level, uint32_t stamp, int64_t instant) override {
        posts.push_back({level, stamp, instant});
        return postSucceeds;
    }
    void Notice(std::string_view text) override { notices.emplace_back(text); }

private:
    class Driver final : public PortDriver {
    public:
        explicit Driver(FakePortPlatform& platform) : p_(platform) {}
        bool Open(const std::string&) override {
            p_.calls.push_back("open");
            EXPECT_FALSE(p_.deviceOpen) << "a second device opened";
            open_ = !p_.openFails;
            p_.deviceOpen |= open_;
            return open_;
        }
        void Power(bool on) override { Use(on ? "on" : "off"); }
        LineRead ReadLevel() override {
            Use("read");
            return p_.line;
        }
        void Close() override {
            Use("close");
            open_ = p_.deviceOpen = false;
        }
        void WaitLine(LineWait& wait) override {
            Use("wait");
            wait = p_.wait;
        }
        void Interrupt() override { Use("interrupt"); }

    private:
        void Use(const char* what) {
            p_.calls.push_back(what);
            if (!open_) ADD_FAILURE() << what << " on a device that is not open";
        }
        FakePortPlatform& p_;
        bool open_ = false;
    };

    uint32_t timerIds_ = 0, timer_ = 0;
};

// Points the sampler at a test's doubles for one scope, with the level and the
// active port forgotten; leaves it closed and on its defaults, even after a
// failed assertion.
class SamplerSeams {
public:
    SamplerSeams(PortPlatform* platform, MillisecondClock* clock, const ProfileReader* profile = nullptr,
                 EdgeClock* edges = nullptr) {
        SetPortPlatform(platform);
        SetSamplerClock(clock);
        SetPortProfile(profile);
        SetSamplerEdgeClock(edges);
    }
    ~SamplerSeams() {
        ClosePort();
        SetPortPlatform(nullptr);
        SetSamplerClock(nullptr);
        SetPortProfile(nullptr);
        SetSimulatedUtc(nullptr);
        SetSamplerEdgeClock(nullptr);
        SetPortEvents(false);
    }
};
