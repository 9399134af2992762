// The dialog without a screen: every change of the four lines and of the
// countdown is one timestamped line on stdout, every message box one line on
// stderr, answered OK at once. Once an hour, and when asked, a "quality"
// line sums reception up for whoever looks after the service.
#pragma once

#include <cstdio>

#include "ui/tui/loop_view.h"

class HeadlessView final : public LoopDialogView {
public:
    HeadlessView(EventLoop& loop, std::FILE* out, std::FILE* err);
    int MessageBox(std::string_view text, std::string_view caption, unsigned style, BoxOwner owner) override;
    void OpenHelp(const char* file) override;
    void ShowSummary() override;

private:
    void Changed(int id, bool text) override;
    void Print(std::FILE* stream, const char* label, std::string_view text);

    std::FILE* out_;
    std::FILE* err_;
};
