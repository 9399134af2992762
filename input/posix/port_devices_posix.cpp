#include <string>

#include "input/port_devices.h"
#include "input/port_sampler.h"

std::string DefaultPortDevice(int32_t portCode) {
    if (portCode >= 1 && portCode <= 4) return "/dev/ttyS" + std::to_string(portCode - 1);
    if (portCode >= 11 && portCode <= 14) return "/dev/parport" + std::to_string(portCode - 11);
    if (portCode == kGamePortCode) return "/dev/input/js0";
    return "";
}

std::string PlatformDeviceName(const std::string& name) { return name; }
