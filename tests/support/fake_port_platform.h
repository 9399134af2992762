// A scripted port platform: its drivers answer as a test tells them, every call
// lands in one trace, and a call a real device would punish (on a driver that
// is not open, or a second device at once) fails the test. Its timer fires only
// when the test says so, optionally once from inside StartTimer: the worst case
// of a window thread preempted right after starting the timer.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "input/port_sampler.h"

class FakePortPlatform final : public PortPlatform, public EdgeSink {
public:
    struct Post { uint8_t level; uint32_t stamp; };

    // Script.
    bool openFails = false, timerStarts = true, postSucceeds = true;
    std::function<void()> insideStart;  // runs in StartTimer once the timer runs
    LineRead line = LineRead::Low;

    // Trace: "open", "on", "read", "off", "close", "timer", "cancel".
    std::vector<std::string> calls;
    std::vector<Post> posts;
    bool deviceOpen = false;

    std::unique_ptr<PortDriver> MakeDriver(PortKind) override { return std::make_unique<Driver>(*this); }
    uint32_t StartTimer() override {
        calls.push_back("timer");
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

    // The timer's tick, if a timer runs.
    void Tick() {
        if (timer_ != 0) SamplerTick();
    }

    // The window's side: records what the sampler posts.
    bool PostEdge(uint8_t level, uint32_t stamp) override {
        posts.push_back({level, stamp});
        return postSucceeds;
    }

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
    SamplerSeams(PortPlatform* platform, MillisecondClock* clock, const ProfileReader* profile = nullptr) {
        SetPortPlatform(platform);
        SetSamplerClock(clock);
        SetPortProfile(profile);
    }
    ~SamplerSeams() {
        ClosePort();
        SetPortPlatform(nullptr);
        SetSamplerClock(nullptr);
        SetPortProfile(nullptr);
        SetSimulatedUtc(nullptr);
    }
};
