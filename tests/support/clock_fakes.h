// Fakes of the clock setting's seams: they record what they are asked.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "clock/message_box.h"
#include "clock/program_launcher.h"
#include "clock/system_clock.h"

// A system clock that answers with a chosen code and remembers every request.
class ScriptedSystemClock final : public SystemClock {
public:
    ClockResult SetSystemClock(const SystemTime& utc) override {
        requests.push_back(utc);
        return result;
    }
    ClockResult result = ClockResult::kSet;
    std::vector<SystemTime> requests;
};

// Records each box as "caption|text|style"; `whileOpen` runs as if the box's
// message loop were dispatching, and `maxDepth` tells how many were open at once.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void Show(const char* text, const char* caption, unsigned style) override {
        shown.push_back(std::string(caption) + "|" + text + "|" + std::to_string(style));
        if (++depth_ > maxDepth) maxDepth = depth_;
        if (whileOpen) whileOpen();
        --depth_;
    }
    std::vector<std::string> shown;
    int maxDepth = 0;
    std::function<void()> whileOpen;

private:
    int depth_ = 0;
};

class RecordingLauncher final : public ProgramLauncher {
public:
    void Launch(const char* commandLine) override { commandLines.emplace_back(commandLine); }
    std::vector<std::string> commandLines;
};
