// The dialog on a terminal (ncurses): the same controls on one 80x24 screen,
// the same keys (Tab and Shift-Tab over the tab stops, arrows within the
// group, Space toggles, Enter is OK, Escape cancels), message boxes as
// centred modal boxes that run the event loop while they wait.
#pragma once

#include <string>
#include <vector>

#include "ui/tui/loop_view.h"

class ScreenView final : public LoopDialogView {
public:
    // `settingsPath` is named on the help screen.
    ScreenView(EventLoop& loop, std::string settingsPath);
    ~ScreenView() override;
    ScreenView(const ScreenView&) = delete;
    ScreenView& operator=(const ScreenView&) = delete;

    int MessageBox(std::string_view text, std::string_view caption, unsigned style, BoxOwner owner) override;
    void OpenHelp(const char* file) override;

private:
    struct Box {
        std::string caption, text;  // UTF-8
    };
    void Changed(int id, bool text) override;
    void ScheduleDraw();
    void Draw();
    void DrawDialog();
    void DrawControl(int id);
    void DrawBox(const Box& box);
    void DrawHelp();
    void ReadKeys();
    void ReadMessages();
    void DialogKey(int key);
    void MoveFocus(int to);
    void TabFrom(bool backwards);
    void ArrowFrom(bool backwards);
    void Press(int id);

    std::string settingsPath_;
    std::vector<Box> boxes_;
    bool helpShown_ = false;
    bool drawPending_ = false;
    int savedStderr_ = -1;
    int messagesFd_ = -1;
    std::string status_;  // the last line the program wrote to stderr
    std::string pendingMessage_;
};
