// Which device each port code opens: the optional profile section
// CHRONVK-PORTS (keys COM1..COM4, LPT1..LPT4, GAME) or the platform's default.
#pragma once

#include <cstdint>
#include <string>

class ProfileReader;

constexpr const char* kPortsSection = "CHRONVK-PORTS";
constexpr const char* kSimulatedDevice = "SIM";

// The profile key of a port button code ("COM1" .. "LPT4", "GAME"); "" otherwise.
const char* PortKey(int32_t portCode);

// The platform's device for a port button code when the profile names none.
std::string DefaultPortDevice(int32_t portCode);

// The device to open for a port button code, as the platform wants it named.
std::string DeviceForPort(int32_t portCode, const ProfileReader* profile);

bool IsSimulatedDevice(const std::string& device);

// True when any port button would open the simulated receiver; the program
// then never sets the clock for real.
bool AnyPortSimulated(const ProfileReader* profile);

// Windows needs the \\.\ prefix for COM ports numbered 10 and above.
std::string WindowsDeviceName(const std::string& name);

// The name as the platform's open call wants it (Windows prefixing, or as is).
std::string PlatformDeviceName(const std::string& name);
