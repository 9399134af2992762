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

std::string Utf8FromWindows1252(std::string_view text) {
    // 0x80-0x9F hold the typographic extras; everything above is Latin-1.
    static const char16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t code = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}
