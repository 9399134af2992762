// What the terminal screen and the headless printer share: the controls'
// state, kept as the dialog sets it, and the window timer, the posted close
// and the end of the dialog, all on the event loop.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "eventloop/posix/event_loop.h"
#include "ui/dialog_view.h"
#include "ui/ui_strings.h"

class TDlgDCF77;

// The views' own timers on the loop, beside the dialog's run timer.
inline constexpr int kPanelTimerId = 101;
inline constexpr int kSummaryTimerId = 102;

class LoopDialogView : public DialogView {
public:
    explicit LoopDialogView(EventLoop& loop);
    // The dialog the timer and the posted close go to.
    void Attach(TDlgDCF77& dialog) { dialog_ = &dialog; }

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id, std::size_t maxLength) override;
    void SetCheck(int id, bool checked) override;
    bool IsChecked(int id) override { return controls_[id].checked; }
    void Enable(int id, bool enabled) override;
    void SetFocus(int id) override;
    bool LastActivePopupIsOwn() override { return true; }
    bool StartTimer(int id, unsigned periodMs) override;
    void StopTimer(int id) override { loop_.StopTimer(id); }
    void PostClose() override;
    void EndDialog(int result) override;
    bool IsFrameMinimised() override { return false; }

    bool Ended() const { return result_ != 0; }
    int Result() const { return result_; }
    // A service stop or log-off is under way: boxes are answered at once.
    void SetEnding() { ending_ = true; }
    // The reception figures asked for (SIGUSR1): printed, or brought up to date.
    virtual void ShowSummary() {}

protected:
    struct Control {
        std::string text;  // as the dialog set it (Windows-1252)
        bool checked = false;
        bool enabled = true;
    };
    // After any change of the control's state.
    virtual void Changed(int /*id*/, bool /*text*/) {}
    const Control& ControlOf(int id) { return controls_[id]; }

    EventLoop& loop_;
    TDlgDCF77* dialog_ = nullptr;
    int focus_ = 0;
    int result_ = 0;
    bool ending_ = false;

private:
    std::map<int, Control> controls_;
};

