#include "input/port_devices.h"

#include <cctype>
#include <string_view>

#include "input/port_sampler.h"
#include "input/profile_reader.h"

namespace {
// Whether `text` starts with the upper-case `prefix`, letters compared without case.
bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}
}  // namespace

const char* PortKey(int32_t portCode) {
    if (portCode == kGamePortCode) return "GAME";
    if (!IsPortButtonCode(portCode)) return "";
    return portDeviceNames[portCode <= 10 ? portCode : portCode - 6];
}

std::string DeviceForPort(int32_t portCode, const ProfileReader* profile) {
    std::string device;
    const char* key = PortKey(portCode);
    if (profile && *key && profile->ReadString(kPortsSection, key, device)) {
        // Profiles written by hand carry stray blanks around the value.
        const auto first = device.find_first_not_of(" \t");
        const auto last = device.find_last_not_of(" \t\r");
        device = first == std::string::npos ? std::string() : device.substr(first, last - first + 1);
    }
    if (device.empty()) device = DefaultPortDevice(portCode);
    if (IsSimulatedDevice(device)) return kSimulatedDevice;
    return PlatformDeviceName(device);
}

bool IsSimulatedDevice(const std::string& device) {
    return device.size() == 3 && StartsWithNoCase(device, kSimulatedDevice);
}

bool AnyPortSimulated(const ProfileReader* profile) {
    for (int32_t code : {1, 2, 3, 4, 11, 12, 13, 14, 20}) {
        if (IsSimulatedDevice(DeviceForPort(code, profile))) return true;
    }
    return false;
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
