// A profile held in memory: what the tests put in is what reads find.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "input/profile_reader.h"

class MemoryProfile final : public ProfileReader {
public:
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        entries_[{section, key}] = value;
    }
    bool ReadString(const char* section, const char* key, std::string& value) const override {
        const auto it = entries_.find({section, key});
        if (it == entries_.end()) return false;
        value = it->second;
        return true;
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> entries_;
};
