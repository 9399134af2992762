// The main dialog's behaviour: set-up, the edge handler, the options, the
// reception test, the port buttons, the run-time control, the close query and
// its clean-up. Portable: the front-ends map its calls onto their controls
// (DialogView) and forward their events to the handlers below.
//
// Message boxes are nested loops on every platform, so any handler may find
// itself running while another one waits for a box. The rules for that: a
// close asked for while a box is open waits until the outermost handler has
// returned; after the clean-up nothing touches the record any more.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "chronvk_version.h"
#include "clock/clock_setting.h"
#include "timebase/millisecond_clock.h"
#include "ui/dialog_seams.h"
#include "ui/dialog_view.h"
#include "ui/refclock_samples.h"
#include "ui/resource_ids.h"

// Everything the dialog reaches outside itself.
struct DialogServices {
    DialogView& view;
    Profile& profile;
    VersionStrings& version;
    InterfaceLibrary& library;
    PortControl& port;
    MillisecondClock& milliseconds;
    SystemClock& systemClock;
    ProgramLauncher& launcher;
};

// The port buttons in the dialog's order, with the code each stands for.
struct PortButton {
    int id;
    int32_t code;
};
inline constexpr PortButton kPortButtons[9] = {
    {IDC_COM1, PORT_CODE_COM1}, {IDC_COM2, PORT_CODE_COM2}, {IDC_COM3, PORT_CODE_COM3},
    {IDC_COM4, PORT_CODE_COM4}, {IDC_LPT1, PORT_CODE_LPT1}, {IDC_LPT2, PORT_CODE_LPT2},
    {IDC_LPT3, PORT_CODE_LPT3}, {IDC_LPT4, PORT_CODE_LPT4}, {IDC_GAME, PORT_CODE_GAME},
};
// The button of a port code, 0 when the code has none.
int PortButtonOf(int32_t code);

// Shown when the program carries no version information.
inline constexpr char kFallbackVersion[] = "CHRONVK Version " CHRONVK_VERSION;
// What --version answers: the product line, and the build that says for
// which system and processor the program was made.
inline constexpr char kVersionLine[] = "CHRONVK Version " CHRONVK_VERSION " " CHRONVK_BUILD " (" CHRONVK_PROCESSOR ")";
inline constexpr char kFallbackNotice[] = "(c) die CHRONVK-Entwickler";

class TDlgDCF77;

// The minutes field's validator: digits and '+' only, 0 to 9999, and what the
// auto-end mode allows.
class TCycleValidator {
public:
    explicit TCycleValidator(TDlgDCF77& dialog) : dialog_(dialog) {}
    static bool CheckTyping(std::string_view text);
    bool CheckText(std::string_view text) const;
    // The warning, owned by the main window's last active pop-up when that
    // is one of ours, else by nobody and task-modal.
    void ReportError();

private:
    TDlgDCF77& dialog_;
};

class TDlgDCF77 {
public:
    explicit TDlgDCF77(const DialogServices& services);
    ~TDlgDCF77();
    TDlgDCF77(const TDlgDCF77&) = delete;
    TDlgDCF77& operator=(const TDlgDCF77&) = delete;

    // The set-up, once the window and its controls exist.
    void SetupWindow();

    // Events, as the front-end forwards them.
    // WM_COMMNOTIFY; in event mode the edge's own instant on the edge clock
    // comes beside the stamp, for the time samples.
    void EdgeMessage(uint8_t level, uint32_t stamp, std::optional<int64_t> instantNs = std::nullopt);
    // What the port sampler says about the port (its waits refused), in a box.
    void PortNotice(std::string_view text);
    void TimerMessage();                              // WM_TIMER of the run timer
    void ButtonClicked(int id);                       // check boxes, port buttons, help
    // The minutes field lost the focus: to `gainingId`, a control of this
    // dialog, or (toOwnWindow false) to another program.
    void CycleFieldKillFocus(bool toOwnWindow, int gainingId);
    // Tab pressed in the minutes field; false: the focus stays.
    bool CycleFieldTab();
    void OkCommand();      // button 1, Enter
    void CancelCommand();  // Escape
    void PostedClose();    // the close the dialog asked for through DialogView::PostClose
    // The frame's close (system menu, Alt+F4): true when the frame may go.
    bool CanClose();
    // The system's query before log-off or shutdown, and its outcome.
    bool QueryEndSession();
    void EndSession(bool ending);
    // A service stop or hang-up: the clean-up runs whatever the minutes field
    // holds, and the program ends. A value the field's validator refuses is
    // not saved, so the stored one stays; false then.
    bool SignalledEnd();

    // The run-time control.
    void StartRunControl();
    void RunControlAfterEdge(bool confirmed);
    void RunTimerTick();
    void AutoEndToggled();
    void CycleFieldLeft();

    int32_t runMode = 0;      // 0 none, 1 maximum run time, 2 setting pause
    uint32_t runEndTime = 0;  // milliseconds of the multimedia clock

    // Time samples for a reference-clock output; nullptr: none. Set before
    // the set-up. A daemon fed from here needs every minute and only times
    // that hold: robust reception (every strict check included) is then on
    // whatever the profile says, and neither auto-end nor the setting pause
    // applies (both options still show and are saved).
    void SetTimeSamples(RefclockSamples* samples) { samples_ = samples; }
    // Strict confirmation, or robust reception, whatever the profile says;
    // before the set-up.
    void RequireStrictConfirmation() { strictRequired_ = true; }
    void RequireRobustReception() { robustRequired_ = true; }
    // Event mode for the port whatever the profile's EVENTS says; before the set-up.
    void RequireEvents() { eventsRequired_ = true; }

    // True once the clean-up has run (the record is no longer ours).
    bool CleanedUp() const { return cleanedUp_; }
    // The clean-up's settings could not be saved.
    bool SettingsSaveFailed() const { return saveFailed_; }

private:
    friend class TCycleValidator;
    enum class CloseKind { None, Ok, Cancel };

    // Marks a handler running; the outermost one's end carries out what had to wait.
    class HandlerScope {
    public:
        explicit HandlerScope(TDlgDCF77& dialog) : dialog_(dialog) { ++dialog_.handlerDepth_; }
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        TDlgDCF77& dialog_;
    };
    // The clock setting's boxes, counted like the dialog's own.
    class ClockBoxes final : public MessageBoxes {
    public:
        explicit ClockBoxes(TDlgDCF77& dialog) : dialog_(dialog) {}
        void Show(const char* text, const char* caption, unsigned style) override;

    private:
        TDlgDCF77& dialog_;
    };

    bool Gone() const { return cleanedUp_ || closed_; }
    int ShowBox(std::string_view text, std::string_view caption, unsigned style, BoxOwner owner);
    void ErrorBox(int textId);
    std::string_view Text(int id);

    void FillVersionTexts();
    void ChooseRecord();
    void LoadSettings();
    void ReceptionTestClicked();
    void PortButtonClicked(int id, int32_t code);
    bool AnyPortButtonChecked();
    void EndPause();
    void ShowCountdown(int textId, int32_t seconds);
    void RequestClose();

    bool CloseQuery();
    void Close();
    void CloseRefused();
    void Remember(CloseKind kind);
    void Unwound();
    bool CycleFieldAccepted();
    void CleanUp(bool saveCycle = true);
    void ReleaseRecord();

    DialogServices services_;
    RefclockSamples* samples_ = nullptr;
    DialogView& view_;
    ClockBoxes clockBoxes_;
    ClockServices clock_;
    TCycleValidator validator_;

    int handlerDepth_ = 0;
    int boxDepth_ = 0;
    bool validatorBoxOpen_ = false;
    CloseKind pendingClose_ = CloseKind::None;
    bool settingsLoaded_ = false;
    bool fieldEnabled_ = true;
    bool libraryLoaded_ = false;
    bool entryKnown_ = false;
    bool cleanedUp_ = false;
    bool releasePending_ = false;
    bool closed_ = false;
    bool reopenIfRefused_ = false;
    bool saveFailed_ = false;
    bool strictRequired_ = false;
    bool robustRequired_ = false;
    bool eventsRequired_ = false;
};
