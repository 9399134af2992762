// The Windows program: the application object, its frame window and the
// dialog window that shows the behaviour of TDlgDCF77.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "clock/program_launcher.h"
#include "clock/system_clock.h"
#include "input/win32/window_edge_sink.h"
#include "timebase/millisecond_clock.h"
#include "ui/dlg_dcf77.h"
#include "ui/resource_ids.h"
#include "ui/standard_seams.h"

// What the program runs on: the machine's services, or a test's.
struct ProgramSeams {
    SystemClock& systemClock;
    MillisecondClock& milliseconds;
    ProgramLauncher& launcher;
    Profile& profile;
    InterfaceLibrary& library;
    VersionStrings& version;
};

// Dialog resource 1 as a child window, and the view the behaviour draws on.
class DialogWindow final : public DialogView {
public:
    DialogWindow(HINSTANCE instance, const ProgramSeams& seams);
    ~DialogWindow() override;

    // Creates the window inside `frame`; the behaviour's set-up runs in it.
    HWND Create(HWND frame);
    HWND Window() const { return window_; }
    TDlgDCF77* Behaviour() { return behaviour_.get(); }

    void SetText(int id, std::string_view text) override;
    std::string GetText(int id, std::size_t maxLength) override;
    void SetCheck(int id, bool checked) override;
    bool IsChecked(int id) override;
    void Enable(int id, bool enabled) override;
    void SetFocus(int id) override;
    int MessageBox(std::string_view text, std::string_view caption, unsigned style, BoxOwner owner) override;
    bool LastActivePopupIsOwn() override;
    bool StartTimer(int id, unsigned periodMs) override;
    void StopTimer(int id) override;
    void PostClose() override;
    void EndDialog(int result) override;
    bool IsFrameMinimised() override;
    void OpenHelp(const char* file) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The minutes field's and the tick button's own handling of keys.
    static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
    void Subclass(int id);
    WNDPROC& OriginalProc(int id) { return id == IDC_MINUTES ? fieldProc_ : tickProc_; }
    void InitDialog(HWND window);
    bool Command(int id, int code);
    void DrawTick(const DRAWITEMSTRUCT& item);
    void KeepOnePortTabStop();

    HINSTANCE instance_;
    ProgramSeams seams_;
    HWND window_ = nullptr;
    WNDPROC fieldProc_ = nullptr;
    WNDPROC tickProc_ = nullptr;
    HBITMAP ticks_[3] = {};
    std::optional<WindowEdgeSink> sink_;
    std::optional<SamplerPortControl> port_;
    std::unique_ptr<TDlgDCF77> behaviour_;
};

// The main window: sized around the dialog, no maximise, icon 909.
class TDCFframeW {
public:
    TDCFframeW(HINSTANCE instance, DialogWindow& dialog) : instance_(instance), dialog_(dialog) {}
    // Registers the class and creates the window with its dialog; null on failure.
    HWND Create();
    // After creation: minimise if the profile says so.
    void SetupWindow(Profile& profile);

private:
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    DialogWindow& dialog_;
    HWND window_ = nullptr;
    HWND focus_ = nullptr;  // the dialog's control that had the focus
};

class dcf77App {
public:
    dcf77App(HINSTANCE instance, const ProgramSeams& seams);
    // Creates the frame and the dialog; false when the windows cannot be made.
    bool InitMainWindow();
    // Dispatches until the frame is gone; the program's exit status.
    int MessageLoop();
    int Run() { return InitMainWindow() ? MessageLoop() : 1; }
    // Handles what is queued now; false once the loop has ended.
    bool DispatchQueued();

    HWND Frame() const { return frameWindow_; }
    DialogWindow& Dialog() { return dialog_; }

private:
    bool Dispatch(MSG& message);

    ProgramSeams seams_;
    DialogWindow dialog_;
    TDCFframeW frame_;
    HWND frameWindow_ = nullptr;
    bool ended_ = false;
};
