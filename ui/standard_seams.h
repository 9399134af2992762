// Implementations of the dialog's seams that need no platform: a profile held
// in memory (the replay's settings), the version strings compiled into the
// program, the absent interface library, and the port sampler itself.
#pragma once

#include <map>
#include <string>

#include "clock/system_clock.h"
#include "input/port_driver.h"
#include "ui/dialog_seams.h"

class MemoryProfile final : public Profile {
public:
    std::map<std::string, std::string> keys;
    int32_t GetInt(const char* key, int32_t defaultValue) override;
    void WriteString(const char* key, const char* value) override { keys[key] = value; }
};

// Strings by name; the default table is the program's own version information.
class TableVersionStrings final : public VersionStrings {
public:
    TableVersionStrings();
    State state = State::HasData;
    std::map<std::string, std::string> strings;
    bool released = false;
    State Load() override { return state; }
    bool Get(const char* name, std::string& text) override;
    void Release() override { released = true; }
};

class NoInterfaceLibrary final : public InterfaceLibrary {
public:
    bool Load() override { return false; }
    bool FindEntry() override { return false; }
    TDcfState* GetDcfPtr(int32_t) override { return nullptr; }
    void Release() override {}
};

// OpenPort and ClosePort, handing the edges to `sink`.
class SamplerPortControl final : public PortControl {
public:
    explicit SamplerPortControl(EdgeSink& sink) : sink_(sink) {}
    bool Open(int32_t code) override;
    void Close() override;

private:
    EdgeSink& sink_;
};

// The clock as the port in use allows: while that port is the simulated
// receiver the times are made up, so they go to the dry-run clock; a leftover
// SIM mapping of another port changes nothing. `real` nullptr: always dry.
class PortFollowingClock final : public SystemClock {
public:
    explicit PortFollowingClock(SystemClock* real) : real_(real) {}
    ClockResult SetSystemClock(const SystemTime& utc) override;

private:
    SystemClock* real_;
    DryRunSystemClock dry_;
};
