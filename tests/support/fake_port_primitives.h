// A scripted port layer: it answers as a test tells it, records every call,
// and fails the test on a call a real device would punish (on a handle that is
// not open, or of the wrong kind for it). Its timer fires only when the test
// says so, optionally once from inside StartTimer: the worst case of a window
// thread preempted right after starting the timer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/port_primitives.h"
#include "input/port_sampler.h"

class FakePortPrimitives final : public PortPrimitives {
public:
    struct Post { NotifyWindow window; uint8_t level; uint32_t stamp; };

    // Script.
    bool openFails = false, timerStarts = true, tickInsideStart = false, postSucceeds = true;
    ModemRead modemResult = ModemRead::Ok;
    uint32_t modemStatus = 0, lastErrorValue = 0, joystickButtons = 0;
    bool writeSucceeds = true, joystickReadFails = false;

    // Record: "open", "dtr1", "status", "write1", "lasterror", "joyread", "timer", "cancel", ...
    std::vector<std::string> calls;
    std::vector<Post> posts;

    DeviceHandle OpenDevice(const std::string&, PortKind kind) override { return Open("open", kind); }
    void CloseDevice(DeviceHandle d) override { Use(d, "close", PortKind::None); }
    void SetDtr(DeviceHandle d, bool on) override { Use(d, on ? "dtr1" : "dtr0", PortKind::Serial); }
    ModemRead ReadModemStatus(DeviceHandle d, uint32_t& status) override {
        Use(d, "status", PortKind::Serial);
        status = modemStatus;
        return modemResult;
    }
    bool WriteByte(DeviceHandle d, uint8_t value) override {
        Use(d, "write" + std::to_string(value), PortKind::Parallel);
        return writeSucceeds;
    }
    uint32_t LastError() override {
        calls.push_back("lasterror");
        return lastErrorValue;
    }
    DeviceHandle OpenJoystick(const std::string&) override { return Open("joyopen", PortKind::Game); }
    bool ReadJoystickButtons(DeviceHandle d, uint32_t& buttons) override {
        Use(d, "joyread", PortKind::Game);
        buttons = joystickButtons;
        return !joystickReadFails;
    }
    void CloseJoystick(DeviceHandle d) override { Use(d, "joyclose", PortKind::Game); }
    uint32_t StartTimer(NotifyWindow) override {
        calls.push_back("timer");
        if (!timerStarts) return 0;
        timer_ = ++timerIds_;
        if (tickInsideStart) SamplerTick();
        return timer_;
    }
    void CancelTimer(uint32_t timer) override {
        calls.push_back("cancel");
        EXPECT_EQ(timer, timer_) << "cancel of a timer that is not running";
        timer_ = 0;
    }
    bool PostEdge(NotifyWindow window, uint8_t level, uint32_t stamp) override {
        posts.push_back({window, level, stamp});
        return postSucceeds;
    }

    // The timer's tick, if a timer runs.
    void Tick() {
        if (timer_ != 0) SamplerTick();
    }
    bool DeviceOpen() const { return device_ != kInvalidDevice; }

private:
    // The sampler has one device open at most; each gets a handle of its own.
    DeviceHandle Open(const char* what, PortKind kind) {
        calls.push_back(what);
        EXPECT_FALSE(DeviceOpen()) << "a second device opened";
        if (openFails) return kInvalidDevice;
        kind_ = kind;
        return device_ = ++lastHandle_;
    }
    void Use(DeviceHandle d, const std::string& what, PortKind needed) {
        calls.push_back(what);
        const char* fault = d != device_ || d == kInvalidDevice               ? " on a handle that is not open"
                            : needed != PortKind::None && needed != kind_ ? " on a device of another kind"
                                                                          : nullptr;
        if (fault) ADD_FAILURE() << what << fault;
        if (what == "close" || what == "joyclose") device_ = kInvalidDevice;
    }

    DeviceHandle device_ = kInvalidDevice, lastHandle_ = 100;
    PortKind kind_ = PortKind::None;
    uint32_t timerIds_ = 0, timer_ = 0;
};

// Points the sampler at a test's doubles for one scope, with the level and the
// active port forgotten; leaves it closed and on its defaults, even after a
// failed assertion.
class SamplerSeams {
public:
    SamplerSeams(PortPrimitives* primitives, MillisecondClock* clock, const ProfileReader* profile = nullptr) {
        SetPortPrimitives(primitives);
        SetSamplerClock(clock);
        SetPortProfile(profile);
        lastLevel = 0;
        activePort = 0;
    }
    ~SamplerSeams() {
        ClosePort();
        SetPortPrimitives(nullptr);
        SetSamplerClock(nullptr);
        SetPortProfile(nullptr);
    }
};
