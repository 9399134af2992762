// The ports a receiver can be wired to, in one table: the code the dialog
// stores, the name of its button (also the profile key of its device), and
// the device each platform opens when the profile names none.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class ProfileReader;

// The kind of port: how the receiver is powered and its line read.
enum class PortKind : uint8_t { Serial, Parallel, Game };

struct PortEntry {
    int32_t code;               // 1-4 COM1-COM4, 11-14 LPT1-LPT4, 20 the game port
    PortKind kind;
    const char* name;           // "COM1" .. "LPT4", "GAME"
    const char* windowsDevice;  // the joystick service names no device; its entry is only a label
    const char* posixDevice;
};

constexpr int32_t kGamePortCode = 20;
constexpr const char* kPortsSection = "CHRONVK-PORTS";
constexpr const char* kSimulatedDevice = "SIM";

std::span<const PortEntry> PortTable();
// The entry of a port button code; nullptr for 0 and every code no button stands for.
const PortEntry* FindPort(int32_t portCode);
inline bool IsPortButtonCode(int32_t portCode) { return FindPort(portCode) != nullptr; }

// The device to open for a port button code, as the platform wants it named:
// the profile's entry in CHRONVK-PORTS or the platform's default; "SIM" for
// the simulated receiver; "" for a code no button stands for.
std::string DeviceForPort(int32_t portCode, const ProfileReader* profile);

bool IsSimulatedDevice(const std::string& device);

// Windows needs the \\.\ prefix for COM ports numbered 10 and above.
std::string WindowsDeviceName(const std::string& name);

// Per platform (input/<platform>/port_drivers_<platform>.cpp): the default
// column of the table, and the name as the platform's open call wants it.
const char* DefaultPortDevice(const PortEntry& port);
std::string PlatformDeviceName(const std::string& name);
