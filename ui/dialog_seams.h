// The rest of what the dialog reaches outside itself: the profile, the
// version strings, the interface library and the port. Each is drawn where
// the platforms differ; tests put fakes behind them.
#pragma once

#include <cstdint>
#include <string>

#include "reception/dcf_state.h"

// The profile section "CHRONVK" with the semantics of GetProfileIntA and
// WriteProfileStringA.
class Profile {
public:
    virtual ~Profile() = default;
    // The key's value as an integer (ProfileIntFromText), `defaultValue` when
    // the key is missing or empty.
    virtual int32_t GetInt(const char* key, int32_t defaultValue) = 0;
    // Takes a key's new value; Save writes what was given since the last one.
    virtual void WriteString(const char* key, const char* value) = 0;
    // Writes the keys in one go; false when they could not all be written.
    // The profile tells the user why where it can; the dialog only remembers.
    virtual bool Save() { return true; }
};

// The program's version information, read once at set-up.
class VersionStrings {
public:
    enum class State { NoData, HasData, NoTranslationTable };
    virtual ~VersionStrings() = default;
    virtual State Load() = 0;
    // The string of that name ("ProductName", ...); false when it is missing.
    virtual bool Get(const char* name, std::string& text) = 0;
    virtual void Release() = 0;
};

// The optional interface library that lends its own record block.
class InterfaceLibrary {
public:
    virtual ~InterfaceLibrary() = default;
    // Looks for the library file and loads it; false when absent or unloadable.
    virtual bool Load() = 0;
    // Looks up the GETDCFPTR entry of the loaded library.
    virtual bool FindEntry() = 0;
    // Calls GETDCFPTR: 1 lends the block (null: none), -1 takes it back.
    virtual TDcfState* GetDcfPtr(int32_t request) = 0;
    virtual void Release() = 0;
};

// The port sampler as the dialog drives it: OpenPort and ClosePort with the
// dialog's window wired in by the front-end.
class PortControl {
public:
    virtual ~PortControl() = default;
    virtual bool Open(int32_t code) = 0;
    virtual void Close() = 0;
};
