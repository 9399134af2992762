#include "input/port_table.h"

#include <cctype>
#include <string_view>

#include "input/profile_reader.h"

namespace {

constexpr PortEntry kPorts[] = {
    {1, PortKind::Serial, "COM1", "COM1", "/dev/ttyS0"},
    {2, PortKind::Serial, "COM2", "COM2", "/dev/ttyS1"},
    {3, PortKind::Serial, "COM3", "COM3", "/dev/ttyS2"},
    {4, PortKind::Serial, "COM4", "COM4", "/dev/ttyS3"},
    {11, PortKind::Parallel, "LPT1", "LPT1", "/dev/parport0"},
    {12, PortKind::Parallel, "LPT2", "LPT2", "/dev/parport1"},
    {13, PortKind::Parallel, "LPT3", "LPT3", "/dev/parport2"},
    {14, PortKind::Parallel, "LPT4", "LPT4", "/dev/parport3"},
    {kGamePortCode, PortKind::Game, "GAME", "JOY1", "/dev/input/js0"},
};

// The kind must agree with the rule the dialog's stored codes follow: below 10
// serial, below 20 parallel, 20 the game port.
constexpr bool KindsFollowTheCodes() {
    for (const PortEntry& port : kPorts) {
        const PortKind byCode = port.code < 10 ? PortKind::Serial
                                : port.code < 20 ? PortKind::Parallel
                                                 : PortKind::Game;
        if (port.code <= 0 || port.kind != byCode || (port.kind == PortKind::Game) != (port.code == kGamePortCode))
            return false;
    }
    return true;
}
static_assert(KindsFollowTheCodes());

// Whether `text` starts with the upper-case `prefix`, letters compared without case.
bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::span<const PortEntry> PortTable() { return kPorts; }

const PortEntry* FindPort(int32_t portCode) {
    for (const PortEntry& port : kPorts) {
        if (port.code == portCode) return &port;
    }
    return nullptr;
}

std::string DeviceForPort(int32_t portCode, const ProfileReader* profile) {
    const PortEntry* port = FindPort(portCode);
    if (!port) return "";
    std::string device;
    if (profile && profile->ReadString(kPortsSection, port->name, device)) {
        // Profiles written by hand carry stray blanks around the value.
        const auto first = device.find_first_not_of(" \t");
        const auto last = device.find_last_not_of(" \t\r");
        device = first == std::string::npos ? std::string() : device.substr(first, last - first + 1);
    }
    if (device.empty()) device = DefaultPortDevice(*port);
    if (IsSimulatedDevice(device)) return kSimulatedDevice;
    return PlatformDeviceName(device);
}

bool IsSimulatedDevice(const std::string& device) {
    return device.size() == 3 && StartsWithNoCase(device, kSimulatedDevice);
}

std::string WindowsDeviceName(const std::string& name) {
    // "COM10" and above open only through the device namespace; COM1..COM9 and
    // LPTn keep the names the port buttons show.
    if (name.size() < 5 || !StartsWithNoCase(name, "COM")) return name;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return name;
    }
    return "\\\\.\\" + name;
}
