#include "ui/tui/loop_view.h"

#include "ui/dlg_dcf77.h"

LoopDialogView::LoopDialogView(EventLoop& loop) : loop_(loop) {
    // The texts the dialog's template starts with.
    controls_[IDC_VERSION].text = "Version";
    controls_[IDC_COPYRIGHT].text = kFallbackNotice;
    controls_[IDC_MINUTES].text = "60";
    controls_[IDC_MINUTES_LABEL].text = "Minuten Maximallaufzeit";
}

void LoopDialogView::SetText(int id, std::string_view text) {
    Control& control = controls_[id];
    if (control.text == text) return;
    control.text = text;
    Changed(id, true);
}

std::string LoopDialogView::GetText(int id, std::size_t maxLength) {
    const std::string& text = controls_[id].text;
    return text.substr(0, maxLength);
}

void LoopDialogView::SetCheck(int id, bool checked) {
    controls_[id].checked = checked;
    Changed(id, false);
}

void LoopDialogView::Enable(int id, bool enabled) {
    controls_[id].enabled = enabled;
    Changed(id, false);
}

void LoopDialogView::SetFocus(int id) {
    const int old = focus_;
    focus_ = id;
    Changed(old, false);
    Changed(id, false);
}

bool LoopDialogView::StartTimer(int id, unsigned periodMs) {
    loop_.StartTimer(id, periodMs, [this] {
        if (dialog_) dialog_->TimerMessage();
    });
    return true;
}

void LoopDialogView::PostClose() {
    loop_.Post([this] {
        if (dialog_ && !Ended()) dialog_->PostedClose();
    });
}

void LoopDialogView::EndDialog(int result) {
    if (result_ == 0) result_ = result;
    loop_.StopTimer(RUN_TIMER_ID);
}
