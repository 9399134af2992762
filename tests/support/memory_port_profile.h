// The port section of a profile, held in memory: what the tests put in is what
// reads find. (The dialog's whole profile in memory is ui's MemoryProfile.)
#pragma once

#include <map>
#include <string>

#include "input/port_table.h"
#include "input/profile_reader.h"

class MemoryPortProfile final : public ProfileReader {
public:
    // Keys of the port section only, the one section the input tests read.
    std::map<std::string, std::string> ports;
    bool ReadString(const char* section, const char* key, std::string& value) const override {
        const auto it = ports.find(key);
        if (std::string(section) != kPortsSection || it == ports.end()) return false;
        value = it->second;
        return true;
    }
};
