// The run-time control (maximum run time, setting pause) and the minutes
// field's validator.
#include <cstdio>
#include <string>

#include "input/port_sampler.h"
#include "network/network.h"
#include "ui/dlg_dcf77.h"
#include "ui/settings.h"

namespace {

constexpr uint32_t kMinuteMs = 60000;
constexpr uint32_t kPauseShortenMs = 10000;
constexpr int32_t kMinutesMax = 9999;

uint32_t MinutesMs(int16_t minutes) {
    return static_cast<uint32_t>(static_cast<int32_t>(minutes)) * kMinuteMs;
}

}  // namespace

bool TCycleValidator::CheckTyping(std::string_view text) {
    for (char c : text) {
        if ((c < '0' || c > '9') && c != '+') return false;
    }
    return true;
}

bool TCycleValidator::CheckText(std::string_view text) const {
    if (!CheckTyping(text)) return false;
    const int32_t minutes = LeadingInteger(text);
    if (minutes < 0 || minutes > kMinutesMax) return false;
    return dcfPtr == nullptr || CycleValueAllowed(dcfPtr->autoEnd != 0, minutes);
}

void TCycleValidator::ReportError() {
    TDlgDCF77& dialog = dialog_;
    const bool own = dialog.view_.LastActivePopupIsOwn();
    dialog.validatorBoxOpen_ = true;
    dialog.ShowBox(dialog.Text(IDS_MINUTES_WARNING), APP_NAME,
                   own ? kBoxExclamation : kBoxTaskModal | kBoxExclamation,
                   own ? BoxOwner::LastActivePopup : BoxOwner::None);
    dialog.validatorBoxOpen_ = false;
}

void TDlgDCF77::StartRunControl() {
    TDcfState& state = *dcfPtr;
    view_.StopTimer(RUN_TIMER_ID);
    view_.SetText(IDC_COUNTDOWN, "");
    if (runMode == 2) {
        EndPause();
        if (Gone()) return;
    }
    runMode = 0;
    if (!state.autoEnd || state.cycleMinutes == 0 || samples_ != nullptr) return;
    if (!view_.StartTimer(RUN_TIMER_ID, RUN_TIMER_PERIOD_MS)) {
        ErrorBox(IDS_MAX_RUN_NOT_STARTED);
        return;
    }
    runEndTime = services_.milliseconds.NowMs() + MinutesMs(state.cycleMinutes);
    runMode = 1;
}

// Listening again after a pause. A port button clicked during the pause may
// have opened a port already, so close first; and reopen only when a button
// is checked, since a failed click has left none.
void TDlgDCF77::EndPause() {
    TDcfState& state = *dcfPtr;
    runMode = 0;
    state.telegramsStored = 2;
    state.statusChanged = 1;
    services_.port.Close();
    if (AnyPortButtonChecked() && !services_.port.Open(ActivePort())) ErrorBox(IDS_PORT_NOT_OPENED);
}

void TDlgDCF77::RunControlAfterEdge(bool confirmed) {
    TDcfState& state = *dcfPtr;
    // A daemon's reference clock neither ends nor pauses.
    const bool runsOn = samples_ != nullptr;
    if (state.endRequest && !runsOn) {
        RequestClose();
        return;
    }
    if (confirmed && state.cycleMinutes > 0 && !runsOn) {
        services_.port.Close();
        if (view_.StartTimer(RUN_TIMER_ID, RUN_TIMER_PERIOD_MS)) {
            runEndTime = services_.milliseconds.NowMs() + MinutesMs(state.cycleMinutes) - kPauseShortenMs;
            runMode = 2;
            return;
        }
        ErrorBox(IDS_PAUSE_NOT_STARTED);
        if (Gone()) return;
        reopenIfRefused_ = true;
        RequestClose();
        return;
    }
    if (confirmed) {
        state.telegramsStored = 2;
        state.statusChanged = 1;
    }
}

void TDlgDCF77::RunTimerTick() {
    BroadcastState();
    if (runMode == 0) {
        view_.StopTimer(RUN_TIMER_ID);
        view_.SetText(IDC_COUNTDOWN, "");
        return;
    }
    const int32_t remaining = static_cast<int32_t>(runEndTime - services_.milliseconds.NowMs()) / 1000;
    if (runMode == 1) {
        if (remaining > 0) return ShowCountdown(IDS_COUNTDOWN_MAX_RUN, remaining);
        // runMode and the timer stay: should the close be refused, the next
        // tick asks again.
        view_.SetText(IDC_COUNTDOWN, "");
        RequestClose();
    } else if (runMode == 2) {
        if (remaining > 0) return ShowCountdown(IDS_COUNTDOWN_PAUSE, remaining);
        view_.StopTimer(RUN_TIMER_ID);
        view_.SetText(IDC_COUNTDOWN, "");
        EndPause();
    }
}

void TDlgDCF77::ShowCountdown(int textId, int32_t seconds) {
    // The format's %8lu takes an unsigned long: pass exactly that.
    const std::string format(Text(textId));
    char text[64];
    std::snprintf(text, sizeof text, format.c_str(), static_cast<unsigned long>(seconds));
    view_.SetText(IDC_COUNTDOWN, text);
}

void TDlgDCF77::AutoEndToggled() {
    TDcfState& state = *dcfPtr;
    state.autoEnd = view_.IsChecked(IDC_AUTO_END) ? 1 : 0;
    if (state.autoEnd) {
        view_.SetText(IDC_MINUTES_LABEL, Text(IDS_MINUTES_MAX_RUN));
        const int32_t minutes = LeadingInteger(view_.GetText(IDC_MINUTES, MINUTES_MAX_LENGTH));
        if (minutes == 0) {
            view_.SetText(IDC_MINUTES, "");
            state.cycleMinutes = 0;
        } else if (minutes < 4) {
            view_.SetText(IDC_MINUTES, "4");
            state.cycleMinutes = 4;
        } else {
            // A huge number stays huge (the validator refuses it) instead of
            // wrapping into a short or negative run time.
            state.cycleMinutes = static_cast<int16_t>(minutes > INT16_MAX ? INT16_MAX : minutes);
        }
    } else {
        view_.SetText(IDC_MINUTES_LABEL, Text(IDS_MINUTES_PAUSE));
        view_.SetText(IDC_COUNTDOWN, "");
        // The user has just said not to end.
        state.endRequest = 0;
    }
    StartRunControl();
}

void TDlgDCF77::CycleFieldLeft() {
    TDcfState& state = *dcfPtr;
    const int32_t minutes = LeadingInteger(view_.GetText(IDC_MINUTES, MINUTES_MAX_LENGTH));
    if (minutes <= kMinutesMax && CycleValueAllowed(state.autoEnd != 0, minutes)) {
        state.cycleMinutes = static_cast<int16_t>(minutes);
    }
    StartRunControl();
}
