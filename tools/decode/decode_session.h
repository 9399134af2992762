// What the program's window thread does with each edge, for a replay or a live
// receiver: decode it, act on a confirmation, and print every text the window
// would redraw. The clock is never set for real here.
#pragma once

#include <cstdint>
#include <string>

#include "clock/clock_setting.h"

struct DecodeOptions {
    uint8_t polarity = 0;
    bool receptionTest = false;
    bool utc = false;
    bool dump = false;
};

class DecodeSession {
public:
    // Starts reception afresh and sets up the program's own record as the
    // dialog would, with logging, file-server setting and auto-end off.
    explicit DecodeSession(const DecodeOptions& options);
    DecodeSession(const DecodeSession&) = delete;
    DecodeSession& operator=(const DecodeSession&) = delete;

    // Handles the next edge and appends its output lines to `out`.
    void OnEdge(uint8_t level, uint32_t stamp, std::string& out);

    uint64_t EdgeCount() const { return edgeCount_; }

private:
    // The clock reads the stamp of the edge being handled, as timeGetTime
    // would right after the edge message arrived.
    class EdgeStampClock final : public MillisecondClock {
    public:
        uint32_t NowMs() override { return stamp; }
        uint32_t stamp = 0;
    };
    // A replay shows no boxes and starts no programs: the lines say it all.
    class NoBoxes final : public MessageBoxes {
    public:
        void Show(const char*, const char*, unsigned) override {}
    };
    class NoLauncher final : public ProgramLauncher {
    public:
        void Launch(const char*) override {}
    };

    DecodeOptions options_;
    uint64_t edgeCount_ = 0;
    EdgeStampClock edgeClock_;
    DryRunSystemClock dryRunClock_;
    NoBoxes noBoxes_;
    NoLauncher noLauncher_;
    ClockServices clock_{edgeClock_, dryRunClock_, noBoxes_, noLauncher_, BuiltinStringTable()};
};
