// What the dialog's behaviour needs of a window: the controls by ID, message
// boxes, the one-second timer, closing. The Windows dialog maps these onto its
// controls, the terminal program onto its screen, a replay onto printed lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Who owns a message box: the dialog window, nobody, or the window that was
// last active among the main window's pop-ups.
enum class BoxOwner { Dialog, None, LastActivePopup };

// Box styles as MessageBoxExA takes them.
constexpr unsigned kBoxOk = 0x0;
constexpr unsigned kBoxStop = 0x10;          // MB_ICONHAND
constexpr unsigned kBoxExclamation = 0x30;   // MB_ICONEXCLAMATION
constexpr unsigned kBoxInformation = 0x40;   // MB_ICONINFORMATION
constexpr unsigned kBoxSystemModal = 0x1000; // MB_SYSTEMMODAL
constexpr unsigned kBoxTaskModal = 0x2000;   // MB_TASKMODAL

// The button that closed a box.
constexpr int kBoxAnswerOk = 1;

class DialogView {
public:
    virtual ~DialogView() = default;

    // Control texts; GetText returns at most `maxLength` characters.
    virtual void SetText(int id, std::string_view text) = 0;
    virtual std::string GetText(int id, std::size_t maxLength) = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool IsChecked(int id) = 0;
    virtual void Enable(int id, bool enabled) = 0;
    virtual void SetFocus(int id) = 0;

    // Shows a box and returns the button pressed. On every platform this is a
    // nested loop: events keep arriving at the dialog while the box is open.
    virtual int MessageBox(std::string_view text, std::string_view caption, unsigned style,
                           BoxOwner owner) = 0;
    // Whether the main window's last active pop-up is a window of this program.
    virtual bool LastActivePopupIsOwn() = 0;

    // The dialog's window timer; false when the system cannot create it.
    virtual bool StartTimer(int id, unsigned periodMs) = 0;
    virtual void StopTimer(int id) = 0;

    // Asks for the dialog's OK command later, from the event loop, never
    // inside the caller. The front-end answers with TDlgDCF77::PostedClose.
    virtual void PostClose() = 0;
    // Destroys the dialog window with this result (1 OK, 2 cancel); the frame
    // and the program end with it.
    virtual void EndDialog(int result) = 0;

    virtual bool IsFrameMinimised() = 0;
    // Opens the help file at its index, owned by the dialog.
    virtual void OpenHelp(const char* file) = 0;
};

// A view that shows nothing and answers every box with OK: the base of views
// that care about a few of the calls only.
class NullDialogView : public DialogView {
public:
    void SetText(int, std::string_view) override {}
    std::string GetText(int, std::size_t) override { return {}; }
    void SetCheck(int, bool) override {}
    bool IsChecked(int) override { return false; }
    void Enable(int, bool) override {}
    void SetFocus(int) override {}
    int MessageBox(std::string_view, std::string_view, unsigned, BoxOwner) override {
        return kBoxAnswerOk;
    }
    bool LastActivePopupIsOwn() override { return true; }
    bool StartTimer(int, unsigned) override { return true; }
    void StopTimer(int) override {}
    void PostClose() override {}
    void EndDialog(int) override {}
    bool IsFrameMinimised() override { return false; }
    void OpenHelp(const char*) override {}
};
