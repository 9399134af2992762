// What the program's window thread does with each edge, for a replay or a live
// receiver: decode it, act on a confirmation, and print every text the window
// would redraw. The clock is never set for real here.
#pragma once

#include <cstdint>
#include <string>

struct DecodeOptions {
    uint8_t polarity = 0;
    bool receptionTest = false;
    bool utc = false;
    bool dump = false;
};

class DecodeSession {
public:
    // Sets up the program's own record as the dialog would, with logging,
    // file-server setting and auto-end off.
    explicit DecodeSession(const DecodeOptions& options);

    // Handles the next edge and appends its output lines to `out`.
    void OnEdge(uint8_t level, uint32_t stamp, std::string& out);

    uint64_t EdgeCount() const { return edgeCount_; }

private:
    DecodeOptions options_;
    uint64_t edgeCount_ = 0;
};
