#include <string>

#include "input/port_devices.h"
#include "input/port_sampler.h"

std::string DefaultPortDevice(int32_t portCode) {
    // The joystick service names no device; joystick 1 is always the one read.
    if (portCode == kGamePortCode) return "JOY1";
    return PortKey(portCode);
}

std::string PlatformDeviceName(const std::string& name) { return WindowsDeviceName(name); }
