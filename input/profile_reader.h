// Read access to the user's profile (WIN.INI on Windows, an INI file elsewhere).
// Kept this small so the input side can read its optional keys before the
// settings code that owns the profile exists in full.
#pragma once

#include <string>

class ProfileReader {
public:
    virtual ~ProfileReader() = default;
    // The text stored under `key` in `section`; false when there is none.
    virtual bool ReadString(const char* section, const char* key, std::string& value) const = 0;
};
