// The dialog on a terminal (ncurses): the same controls on one 80x24 screen,
// the same keys (Tab and Shift-Tab over the tab stops, arrows within the
// group, Space toggles, Enter is OK, Escape cancels, Ctrl-C saves and ends
// as a service stop does), message boxes as centred modal boxes that run the
// event loop while they wait.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/tui/loop_view.h"

struct screen;  // ncurses' SCREEN, kept out of everyone else's way

// What the program writes to stderr while it has a screen would land in the
// middle of it. Taken from before the screen starts, so that the warnings of
// the start reach the screen instead of being wiped by it; what the screen
// never showed goes out to the real stderr at the end.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    int Fd() const { return readFd_; }
    // Takes what was written; false when no whole line came.
    bool Read();
    // The last lines, as many as the screen has rows for; shown from now on.
    const std::deque<std::string>& Show();

private:
    int savedFd_ = -1;
    int readFd_ = -1;
    std::string partial_;
    std::deque<std::string> recent_;
    std::vector<std::string> unshown_;
};

class ScreenView final : public LoopDialogView {
public:
    // `settingsPath` is named on the help screen; `logOff` runs when the
    // terminal goes away or Ctrl-C is typed.
    ScreenView(EventLoop& loop, StderrCapture& messages, std::string settingsPath, std::function<void()> logOff);
    ~ScreenView() override;
    ScreenView(const ScreenView&) = delete;
    ScreenView& operator=(const ScreenView&) = delete;

    // False when the terminal could not be set up (said on stderr).
    bool Ok() const { return screen_ != nullptr; }
    int MessageBox(std::string_view text, std::string_view caption, unsigned style, BoxOwner owner) override;
    void OpenHelp(const char* file) override;
    void ShowSummary() override { ScheduleDraw(); }

private:
    struct Box {
        std::string caption, text;  // as drawn
    };
    void Changed(int id, bool text) override;
    std::string Shown(std::string_view text) const;
    void ScheduleDraw();
    void Draw();
    void DrawDialog();
    void DrawControl(int id);
    void DrawQuality();
    void DrawBox(const Box& box);
    void DrawHelp();
    void Resized();
    void ReadKeys();
    void DialogKey(int key);
    void MoveFocus(int to);
    void TabFrom(bool backwards);
    void ArrowFrom(bool backwards);
    void Press(int id);

    StderrCapture& messages_;
    std::string settingsPath_;
    std::function<void()> logOff_;
    screen* screen_ = nullptr;
    bool utf8_ = false;
    int keysSource_ = 0;
    std::vector<Box> boxes_;
    bool helpShown_ = false;
    bool drawPending_ = false;
};
