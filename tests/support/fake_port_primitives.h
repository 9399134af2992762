// A scripted port layer: it answers as a test tells it, records every call,
// and notices calls that a real device would punish (a call on a handle that
// is not open, or of the wrong kind for it). Its timer fires only when the test
// says so, optionally once from inside StartTimer, the worst case of a window
// thread preempted right after starting the timer.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "input/port_primitives.h"
#include "input/port_sampler.h"

class FakePortPrimitives final : public PortPrimitives {
public:
    struct Call {
        std::string what;  // "open", "close", "dtr", "status", "write", "lasterror", "joyopen", ...
        DeviceHandle device;
        int value;
    };
    struct Post {
        NotifyWindow window;
        uint8_t level;
        uint32_t stamp;
    };

    // Script.
    std::set<std::string> missingDevices;   // OpenDevice fails for these names
    bool joystickPresent = true;
    bool joystickReadFails = false;
    uint32_t joystickButtons = 0;
    ModemRead modemResult = ModemRead::Ok;
    uint32_t modemStatus = 0;
    bool writeSucceeds = true;
    uint32_t lastErrorValue = 0;
    bool timerStarts = true;
    bool tickInsideStart = false;
    bool postSucceeds = true;

    // Record.
    std::vector<Call> calls;
    std::vector<Post> posts;
    std::vector<std::string> violations;
    uint32_t runningTimer = 0;

    DeviceHandle OpenDevice(const std::string& name, PortKind kind) override {
        calls.push_back({"open:" + name, kInvalidDevice, static_cast<int>(kind)});
        if (missingDevices.count(name) || name.empty()) return kInvalidDevice;
        const DeviceHandle h = nextHandle_++;
        open_[h] = kind;
        return h;
    }
    void CloseDevice(DeviceHandle device) override {
        Use(device, "close", 0, PortKind::None);
        open_.erase(device);
    }
    void SetDtr(DeviceHandle device, bool on) override { Use(device, "dtr", on ? 1 : 0, PortKind::Serial); }
    ModemRead ReadModemStatus(DeviceHandle device, uint32_t& status) override {
        Use(device, "status", 0, PortKind::Serial);
        status = modemStatus;
        return modemResult;
    }
    bool WriteByte(DeviceHandle device, uint8_t value) override {
        Use(device, "write", value, PortKind::Parallel);
        return writeSucceeds;
    }
    uint32_t LastError() override {
        calls.push_back({"lasterror", kInvalidDevice, 0});
        return lastErrorValue;
    }
    DeviceHandle OpenJoystick(const std::string& name) override {
        calls.push_back({"joyopen:" + name, kInvalidDevice, 0});
        if (!joystickPresent) return kInvalidDevice;
        const DeviceHandle h = nextHandle_++;
        open_[h] = PortKind::Game;
        return h;
    }
    bool ReadJoystickButtons(DeviceHandle joystick, uint32_t& buttons) override {
        Use(joystick, "joyread", 0, PortKind::Game);
        buttons = joystickButtons;
        return !joystickReadFails;
    }
    void CloseJoystick(DeviceHandle joystick) override {
        Use(joystick, "joyclose", 0, PortKind::Game);
        open_.erase(joystick);
    }
    uint32_t StartTimer(NotifyWindow) override {
        calls.push_back({"timer", kInvalidDevice, 0});
        if (!timerStarts) return 0;
        runningTimer = ++timerIds_;
        if (tickInsideStart) SamplerTick();
        return runningTimer;
    }
    void CancelTimer(uint32_t timer) override {
        calls.push_back({"cancel", kInvalidDevice, static_cast<int>(timer)});
        if (timer != runningTimer) violations.push_back("cancel of a timer that is not running");
        runningTimer = 0;
    }
    bool PostEdge(NotifyWindow window, uint8_t level, uint32_t stamp) override {
        posts.push_back({window, level, stamp});
        return postSucceeds;
    }

    // The timer's tick, if a timer runs.
    void Tick() {
        if (runningTimer != 0) SamplerTick();
    }

    size_t OpenCount() const { return open_.size(); }
    std::vector<Call> CallsNamed(const std::string& what) const {
        std::vector<Call> found;
        for (const Call& c : calls)
            if (c.what == what) found.push_back(c);
        return found;
    }
    std::vector<int> Writes() const {
        std::vector<int> values;
        for (const Call& c : calls)
            if (c.what == "write") values.push_back(c.value);
        return values;
    }

private:
    void Use(DeviceHandle device, const char* what, int value, PortKind needed) {
        calls.push_back({what, device, value});
        const auto it = open_.find(device);
        if (it == open_.end()) {
            violations.push_back(std::string(what) + " on a handle that is not open");
        } else if (needed != PortKind::None && it->second != needed) {
            violations.push_back(std::string(what) + " on a device of another kind");
        }
    }

    std::map<DeviceHandle, PortKind> open_;
    DeviceHandle nextHandle_ = 100;
    uint32_t timerIds_ = 0;
};
