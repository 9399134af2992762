#include "ui/dlg_dcf77.h"

#include <cstring>
#include <string>

#include "input/port_sampler.h"
#include "network/network.h"
#include "reception/display_texts.h"
#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"
#include "reception/signal_quality.h"
#include "reception/strict_confirmation.h"
#include "ui/settings.h"
#include "ui/ui_strings.h"

namespace {

constexpr std::size_t kVersionTextLength = 127;
constexpr std::size_t kProductLineLength = 255;

void WriteInt(Profile& profile, const char* key, int32_t value) {
    char buffer[16];
    profile.WriteString(key, DecimalText(value, buffer).data());
}

}  // namespace

int PortButtonOf(int32_t code) {
    for (const PortButton& button : kPortButtons) {
        if (button.code == code) return button.id;
    }
    return 0;
}

TDlgDCF77::HandlerScope::~HandlerScope() {
    if (--dialog_.handlerDepth_ == 0) dialog_.Unwound();
}

void TDlgDCF77::ClockBoxes::Show(const char* text, const char* caption, unsigned style) {
    dialog_.ShowBox(text, caption, style, BoxOwner::None);
}

TDlgDCF77::TDlgDCF77(const DialogServices& services)
    : services_(services),
      view_(services.view),
      clockBoxes_(*this),
      clock_{services.milliseconds, services.systemClock, clockBoxes_, services.launcher,
             ProgramStrings()},
      validator_(*this) {}

TDlgDCF77::~TDlgDCF77() {
    if (!closed_) {
        closed_ = true;
        view_.EndDialog(IDC_CANCEL);
    }
    services_.port.Close();
}

std::string_view TDlgDCF77::Text(int id) { return ProgramStrings().Text(id); }

int TDlgDCF77::ShowBox(std::string_view text, std::string_view caption, unsigned style,
                       BoxOwner owner) {
    ++boxDepth_;
    const int answer = view_.MessageBox(text, caption, style, owner);
    --boxDepth_;
    return answer;
}

void TDlgDCF77::ErrorBox(int textId) {
    ShowBox(Text(textId), Text(IDS_ERROR), kBoxStop, BoxOwner::Dialog);
}

// ---- set-up ----------------------------------------------------------------

void TDlgDCF77::SetupWindow() {
    HandlerScope scope(*this);
    FillVersionTexts();
    if (!Gone()) {
        ChooseRecord();
        LoadSettings();
        RegisterNetworkNames();
        if (!services_.port.Open(ActivePort())) ErrorBox(IDS_PORT_NOT_OPENED);
        if (!Gone()) StartRunControl();
    }
    services_.version.Release();
}

void TDlgDCF77::FillVersionTexts() {
    VersionStrings& version = services_.version;
    const VersionStrings::State state = version.Load();
    if (state == VersionStrings::State::HasData) {
        std::string name, number, text;
        if (version.Get("ProductName", name) && version.Get("ProductVersion", number)) {
            std::string line = name + " " + view_.GetText(IDC_VERSION, kVersionTextLength) + " " + number;
            if (line.size() > kProductLineLength) line.resize(kProductLineLength);
            view_.SetText(IDC_VERSION, line);
        }
        if (version.Get("LegalCopyright", text)) view_.SetText(IDC_COPYRIGHT, text);
        if (version.Get("SpecialBuild", text)) view_.SetText(IDC_BUILD, text);
        return;
    }
    if (state == VersionStrings::State::NoTranslationTable) {
        ShowBox("CHRONVKN 0D", "TRACE", kBoxOk | kBoxSystemModal, BoxOwner::None);
        if (Gone()) return;
    }
    view_.SetText(IDC_VERSION, kFallbackVersion);
    view_.SetText(IDC_COPYRIGHT, kFallbackNotice);
    view_.SetText(IDC_BUILD, "");
}

void TDlgDCF77::ChooseRecord() {
    InterfaceLibrary& library = services_.library;
    libraryLoaded_ = entryKnown_ = false;
    if (library.Load()) {
        libraryLoaded_ = true;
        if (library.FindEntry()) {
            entryKnown_ = true;
            dcfPtr = library.GetDcfPtr(1);
        } else {
            library.Release();
            libraryLoaded_ = false;
        }
    }
    // The lent block starts as a copy of ours, which carries the polarity
    // from the command line and clears everything else.
    if (dcfPtr == nullptr) {
        dcfPtr = &ownDcfState;
    } else if (dcfPtr != &ownDcfState) {
        std::memcpy(dcfPtr, &ownDcfState, sizeof(TDcfState));
    }
}

void TDlgDCF77::LoadSettings() {
    Profile& profile = services_.profile;
    TDcfState& state = *dcfPtr;
    view_.SetCheck(IDC_RECEPTION_TEST, false);

    const bool utc = Low16(profile.GetInt(PROFILE_UTC, 0)) != 0;
    state.setUtc = utc ? 1 : 0;
    view_.SetCheck(IDC_UTC, utc);

    const int16_t autoEndValue = Low16(profile.GetInt(PROFILE_AUTOEND, 1));
    const bool autoEnd = autoEndValue != 0;
    view_.SetCheck(IDC_AUTO_END, autoEnd);
    state.autoEnd = autoEnd ? 1 : 0;
    view_.SetText(IDC_MINUTES_LABEL, Text(autoEnd ? IDS_MINUTES_MAX_RUN : IDS_MINUTES_PAUSE));

    const int16_t cycle =
        CycleFromProfile(autoEnd, Low16(profile.GetInt(PROFILE_CYCLE, autoEndValue == 0 ? 60 : 0)));
    char buffer[16];
    view_.SetText(IDC_MINUTES, cycle == 0 ? std::string_view{} : DecimalText(cycle, buffer));
    state.cycleMinutes = cycle;

    const bool log = Low16(profile.GetInt(PROFILE_LOG, 1)) != 0;
    state.logEnabled = log ? 1 : 0;
    view_.SetCheck(IDC_LOG, log);
    const bool server = Low16(profile.GetInt(PROFILE_FILE_SERVER, 1)) != 0;
    state.serverEnabled = server ? 1 : 0;
    view_.SetCheck(IDC_SERVER, server);
    // Only an edited profile switches them on; the clean-up leaves the keys
    // alone. A daemon fed from here gets robust reception, which includes
    // every strict check.
    robustReception = robustRequired_ || samples_ != nullptr || Low16(profile.GetInt(PROFILE_ROBUST, 0)) != 0;
    strictConfirmation = !robustReception && (strictRequired_ || Low16(profile.GetInt(PROFILE_STRICT, 0)) != 0);

    for (const PortButton& button : kPortButtons) view_.SetCheck(button.id, false);
    const int32_t port = profile.GetInt(PROFILE_COM, PORT_CODE_COM2);
    SetActivePort(PortButtonOf(port) != 0 ? port : 0);
    if (ActivePort() != 0) view_.SetCheck(PortButtonOf(port), true);
    settingsLoaded_ = true;

    SetPortEvents(eventsRequired_ || Low16(profile.GetInt(PROFILE_EVENTS, 0)) != 0);
    state.portCode = Low16(ActivePort());
    StoreConfirmFlag(state);
}

// ---- events ----------------------------------------------------------------

void TDlgDCF77::EdgeMessage(uint8_t level, uint32_t stamp, std::optional<int64_t> instantNs) {
    HandlerScope scope(*this);
    if (Gone()) return;
    TDcfState& state = *dcfPtr;
    const quality::Before before = quality::Snapshot(state);
    DecodeEdge(level, static_cast<int32_t>(stamp));
    const bool confirmed = timeConfirmed != 0;
    // Sampled first: the clock setting below may wait in a message box.
    const bool sampled = samples_ != nullptr && samples_->AfterEdge(state, confirmed, stamp, instantNs);
    quality::AfterEdge(state, before, stamp, confirmed && state.setRequest != 0, sampled);
    if (masterNameNumber != 0 && (state.bitsChanged || state.statusChanged)) BroadcastState();

    if (confirmed) {
        state.telegramsStored = 3;
        ApplyConfirmedTime(state, clock_);
        if (Gone()) return;
    }
    timeConfirmed = 0;

    if (state.bitsChanged) {
        state.bitsChanged = 0;
        BuildBitLine(state);
        view_.SetText(IDC_BITS, bitLine.view());
    }
    if (state.statusChanged) {
        state.statusChanged = 0;
        state.bitsChanged = 0;
        BuildStatusLines(state);
        view_.SetText(IDC_TELEGRAM, telegramLine.view());
        view_.SetText(IDC_STATISTICS, statisticsLine.view());
        view_.SetText(IDC_LAST_SETTING, lastSettingLine.view());
    }
    RunControlAfterEdge(confirmed);
}

void TDlgDCF77::PortNotice(std::string_view text) {
    HandlerScope scope(*this);
    if (!Gone()) ShowBox(text, APP_NAME, kBoxOk | kBoxInformation, BoxOwner::Dialog);
}

void TDlgDCF77::TimerMessage() {
    HandlerScope scope(*this);
    if (!Gone()) RunTimerTick();
}

void TDlgDCF77::ButtonClicked(int id) {
    HandlerScope scope(*this);
    if (Gone()) return;
    TDcfState& state = *dcfPtr;
    switch (id) {
        case IDC_AUTO_END: AutoEndToggled(); return;
        case IDC_UTC: state.setUtc = view_.IsChecked(id) ? 1 : 0; return;
        case IDC_LOG: state.logEnabled = view_.IsChecked(id) ? 1 : 0; return;
        case IDC_SERVER: state.serverEnabled = view_.IsChecked(id) ? 1 : 0; return;
        case IDC_RECEPTION_TEST: ReceptionTestClicked(); return;
        case IDC_HELP_BUTTON: view_.OpenHelp(HELP_FILE); return;
        default: break;
    }
    for (const PortButton& button : kPortButtons) {
        if (button.id == id) PortButtonClicked(id, button.code);
    }
}

void TDlgDCF77::ReceptionTestClicked() {
    if (!view_.IsChecked(IDC_RECEPTION_TEST)) return;
    TDcfState& state = *dcfPtr;
    view_.Enable(IDC_RECEPTION_TEST, false);
    state.receptionTest = 1;
    const int options[] = {IDC_AUTO_END, IDC_UTC, IDC_LOG, IDC_SERVER};
    for (int id : options) {
        view_.SetCheck(id, false);
        view_.Enable(id, false);
    }
    state.autoEnd = state.setUtc = state.logEnabled = state.serverEnabled = 0;
    // The user has just said the run goes on: a pending end is off too.
    state.endRequest = 0;
    view_.Enable(IDC_MINUTES, false);
    fieldEnabled_ = false;
    state.cycleMinutes = 0;
    view_.StopTimer(RUN_TIMER_ID);
    view_.SetText(IDC_COUNTDOWN, "");
    view_.Enable(IDC_MINUTES_LABEL, false);
    view_.Enable(IDC_TICK, false);
    // A test during a pause would receive nothing: end the pause now.
    if (runMode == 2) EndPause();
}

void TDlgDCF77::PortButtonClicked(int id, int32_t code) {
    if (!view_.IsChecked(id)) return;
    services_.port.Close();
    if (services_.port.Open(code)) {
        SetActivePort(code);
        return;
    }
    ErrorBox(IDS_PORT_NOT_OPENED);
    if (Gone()) return;
    view_.SetCheck(id, false);
}

bool TDlgDCF77::AnyPortButtonChecked() {
    for (const PortButton& button : kPortButtons) {
        if (view_.IsChecked(button.id)) return true;
    }
    return false;
}

void TDlgDCF77::CycleFieldKillFocus(bool toOwnWindow, int gainingId) {
    HandlerScope scope(*this);
    // The validator's warning taking the focus is no leaving of the field,
    // which gets it back: a close refused at the end of the maximum run time
    // would otherwise start the whole run time again instead of being retried.
    if (Gone() || validatorBoxOpen_) return;
    CycleFieldLeft();
    if (Gone() || !toOwnWindow || gainingId == IDC_OK || gainingId == IDC_CANCEL) return;
    if (!validator_.CheckText(view_.GetText(IDC_MINUTES, MINUTES_MAX_LENGTH))) {
        validator_.ReportError();
        if (!Gone()) view_.SetFocus(IDC_MINUTES);
    }
}

bool TDlgDCF77::CycleFieldTab() {
    HandlerScope scope(*this);
    if (Gone() || validator_.CheckText(view_.GetText(IDC_MINUTES, MINUTES_MAX_LENGTH))) return true;
    validator_.ReportError();
    return false;
}

// ---- closing ---------------------------------------------------------------

void TDlgDCF77::OkCommand() {
    HandlerScope scope(*this);
    if (closed_) return;
    if (boxDepth_ > 0) return Remember(CloseKind::Ok);
    Close();
}

void TDlgDCF77::CancelCommand() {
    HandlerScope scope(*this);
    if (closed_) return;
    if (boxDepth_ > 0) return Remember(CloseKind::Cancel);
    closed_ = true;
    view_.EndDialog(IDC_CANCEL);
}

void TDlgDCF77::PostedClose() {
    HandlerScope scope(*this);
    if (closed_) return;
    // One warning on screen is enough; the next edge or tick asks again.
    if (validatorBoxOpen_) return CloseRefused();
    if (boxDepth_ > 0) return Remember(CloseKind::Ok);
    Close();
}

bool TDlgDCF77::CanClose() {
    HandlerScope scope(*this);
    if (cleanedUp_) return true;
    if (boxDepth_ > 0) {
        Remember(CloseKind::Ok);
        return false;
    }
    if (CloseQuery()) return true;
    CloseRefused();
    return false;
}

bool TDlgDCF77::QueryEndSession() {
    HandlerScope scope(*this);
    if (cleanedUp_) return true;
    if (boxDepth_ == 0) return CloseQuery();
    // It must be answered now, while some handler still waits for its box
    // and may still use the record: the record is released once it is done.
    CleanUp();
    releasePending_ = true;
    return true;
}

bool TDlgDCF77::SignalledEnd() {
    HandlerScope scope(*this);
    if (cleanedUp_) return true;
    const bool cycleAccepted = CycleFieldAccepted();
    CleanUp(cycleAccepted);
    // A handler still waiting for its box may use the record until it returns.
    if (boxDepth_ == 0) {
        ReleaseRecord();
    } else {
        releasePending_ = true;
    }
    if (!closed_) {
        closed_ = true;
        view_.EndDialog(IDC_OK);
    }
    return cycleAccepted;
}

void TDlgDCF77::EndSession(bool ending) {
    // A log-off called off after the clean-up leaves nothing to run on.
    if (!ending && cleanedUp_) OkCommand();
}

void TDlgDCF77::RequestClose() { view_.PostClose(); }

void TDlgDCF77::Close() {
    if (CloseQuery()) {
        closed_ = true;
        view_.EndDialog(IDC_OK);
    } else {
        CloseRefused();
    }
}

bool TDlgDCF77::CycleFieldAccepted() {
    return !fieldEnabled_ || validator_.CheckText(view_.GetText(IDC_MINUTES, MINUTES_MAX_LENGTH));
}

bool TDlgDCF77::CloseQuery() {
    if (cleanedUp_) return true;
    if (!CycleFieldAccepted()) {
        validator_.ReportError();
        if (cleanedUp_) return true;
        view_.SetFocus(IDC_MINUTES);
        return false;
    }
    CleanUp();
    ReleaseRecord();
    return true;
}

void TDlgDCF77::CloseRefused() {
    // The pause could not be timed and the program could not end either: listen on.
    if (!reopenIfRefused_ || Gone()) return;
    reopenIfRefused_ = false;
    if (AnyPortButtonChecked() && !services_.port.Open(ActivePort())) ErrorBox(IDS_PORT_NOT_OPENED);
}

void TDlgDCF77::Remember(CloseKind kind) {
    if (pendingClose_ == CloseKind::None || kind == CloseKind::Cancel) pendingClose_ = kind;
}

void TDlgDCF77::Unwound() {
    if (releasePending_) {
        releasePending_ = false;
        ReleaseRecord();
    }
    const CloseKind pending = pendingClose_;
    pendingClose_ = CloseKind::None;
    if (pending == CloseKind::Ok) OkCommand();
    if (pending == CloseKind::Cancel) CancelCommand();
}

void TDlgDCF77::CleanUp(bool saveCycle) {
    cleanedUp_ = true;
    services_.port.Close();
    // Settings are written only once they were read: a close during the
    // set-up must not replace the user's profile with the template's values.
    if (settingsLoaded_) {
        Profile& profile = services_.profile;
        WriteInt(profile, PROFILE_MINI, view_.IsFrameMinimised() ? 1 : 0);
        if (!view_.IsChecked(IDC_RECEPTION_TEST)) {
            WriteInt(profile, PROFILE_UTC, view_.IsChecked(IDC_UTC));
            WriteInt(profile, PROFILE_AUTOEND, view_.IsChecked(IDC_AUTO_END));
            WriteInt(profile, PROFILE_LOG, view_.IsChecked(IDC_LOG));
            WriteInt(profile, PROFILE_FILE_SERVER, view_.IsChecked(IDC_SERVER));
            if (saveCycle) {
                WriteInt(profile, PROFILE_CYCLE,
                         LeadingInteger(view_.GetText(IDC_MINUTES, MINUTES_MAX_LENGTH)));
            }
        }
        int32_t port = 0;
        for (const PortButton& button : kPortButtons) {
            if (view_.IsChecked(button.id)) port += button.code;
        }
        WriteInt(profile, PROFILE_COM, port);
        saveFailed_ = !profile.Save();
    }
    view_.StopTimer(RUN_TIMER_ID);
    DeleteNetworkNames();
}

void TDlgDCF77::ReleaseRecord() {
    InterfaceLibrary& library = services_.library;
    if (libraryLoaded_) {
        if (entryKnown_) {
            library.GetDcfPtr(-1);
            entryKnown_ = false;
        }
        library.Release();
        libraryLoaded_ = false;
    }
    dcfPtr = nullptr;
}
