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
    explicit ScriptedSystemClock(int result = 0) : result_(result) {}
    int SetSystemClock(const SystemTime& utc) override {
        requests.push_back(utc);
        return result_;
    }
    void Answer(int result) { result_ = result; }

    std::vector<SystemTime> requests;

private:
    int result_;
};

struct ShownBox {
    std::string text;
    std::string caption;
    unsigned style;
};

// Records each box; `whileOpen` runs as if the box's message loop were
// dispatching, and `depth` tells how many boxes are open at once.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void Show(const char* text, const char* caption, unsigned style) override {
        shown.push_back({text, caption, style});
        ++depth_;
        if (depth_ > maxDepth) maxDepth = depth_;
        if (whileOpen) whileOpen();
        --depth_;
    }

    std::vector<ShownBox> shown;
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
