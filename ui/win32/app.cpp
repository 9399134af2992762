#include "ui/win32/app.h"

#include <string>

#include "input/port_sampler.h"
#include "ui/resource_ids.h"

namespace {

constexpr char kFrameClass[] = "CHRONVKFrame";
// The behaviour's own close, posted so that it never runs inside a handler.
constexpr UINT kPostedClose = WM_APP + 1;
constexpr DWORD kFrameStyle = (WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN) & ~DWORD{WS_MAXIMIZEBOX};
constexpr DWORD kFrameExStyle = WS_EX_DLGMODALFRAME;

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// Restore offered in every state of the window, Maximize and Size never;
// true when that changed an item.
bool RestrictSystemMenu(HMENU menu) {
    const struct { UINT item, state; } items[] = {
        {SC_RESTORE, MF_ENABLED}, {SC_MAXIMIZE, MF_DISABLED | MF_GRAYED}, {SC_SIZE, MF_DISABLED | MF_GRAYED}};
    bool changed = false;
    for (const auto& i : items) {
        const int before = EnableMenuItem(menu, i.item, MF_BYCOMMAND | i.state);
        changed |= before != -1 && (static_cast<UINT>(before) & (MF_DISABLED | MF_GRAYED)) != i.state;
    }
    return changed;
}

}  // namespace

// ---- the dialog window ------------------------------------------------------

DialogWindow::DialogWindow(HINSTANCE instance, const ProgramSeams& seams)
    : instance_(instance), seams_(seams) {}

DialogWindow::~DialogWindow() {
    // The behaviour closes the port on its way out; the window is gone by now.
    behaviour_.reset();
    for (HBITMAP bitmap : ticks_) {
        if (bitmap != nullptr) DeleteObject(bitmap);
    }
}

HWND DialogWindow::Create(HWND frame) {
    return CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_DCF77), frame, DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

void DialogWindow::InitDialog(HWND window) {
    window_ = window;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    SetDlgItemTextA(window, IDC_OK, "OK");
    SendDlgItemMessageA(window, IDC_MINUTES, EM_LIMITTEXT, MINUTES_MAX_LENGTH, 0);
    Subclass(IDC_MINUTES);
    Subclass(IDC_TICK);
    const int tickIds[3] = {IDB_TICK, IDB_TICK_PRESSED, IDB_TICK_FOCUSED};
    for (int i = 0; i < 3; ++i) ticks_[i] = LoadBitmapA(instance_, MAKEINTRESOURCEA(tickIds[i]));

    sink_.emplace(window);
    port_.emplace(*sink_);
    behaviour_ = std::make_unique<TDlgDCF77>(
        DialogServices{*this, seams_.profile, seams_.version, seams_.library, *port_,
                       seams_.milliseconds, seams_.systemClock, seams_.launcher});
    behaviour_->SetupWindow();
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        reinterpret_cast<DialogWindow*>(lParam)->InitDialog(window);
        return TRUE;
    }
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == kPortNoticeMessage) {
        const auto text = TakePortNotice(lParam);  // ours even when the dialog is gone
        if (self != nullptr && self->behaviour_) self->behaviour_->PortNotice(*text);
        return TRUE;
    }
    if (self == nullptr || !self->behaviour_) return FALSE;
    TDlgDCF77& behaviour = *self->behaviour_;
    switch (message) {
        case WM_COMMNOTIFY:
            behaviour.EdgeMessage(static_cast<uint8_t>(wParam & 0xFF),
                                  static_cast<uint32_t>(EdgeStampFromParam(static_cast<uint64_t>(lParam))));
            return TRUE;
        case WM_TIMER:
            behaviour.TimerMessage();
            return TRUE;
        case kPostedClose:
            behaviour.PostedClose();
            return TRUE;
        case WM_COMMAND:
            return self->Command(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_DRAWITEM:
            if (wParam != IDC_TICK) return FALSE;
            self->DrawTick(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DESTROY:
            self->window_ = nullptr;
            SetWindowLongPtrA(window, DWLP_USER, 0);
            // The frame goes with its dialog.
            PostMessageA(GetParent(window), WM_CLOSE, 0, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

bool DialogWindow::Command(int id, int code) {
    TDlgDCF77& behaviour = *behaviour_;
    if (id == IDC_OK) {
        behaviour.OkCommand();
    } else if (id == IDC_CANCEL) {
        behaviour.CancelCommand();
    } else if (id == IDC_MINUTES && code == EN_KILLFOCUS) {
        // By now the focus sits where it went; none of ours when another program took it.
        const HWND focus = GetFocus();
        const int gaining = focus != nullptr && GetParent(focus) == window_ ? GetDlgCtrlID(focus) : 0;
        behaviour.CycleFieldKillFocus(focus != nullptr, gaining);
    } else if (code == BN_CLICKED && id != IDC_TICK) {
        behaviour.ButtonClicked(id);
    } else {
        return false;
    }
    return true;
}

void DialogWindow::Subclass(int id) {
    const HWND control = Control(window_, id);
    SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    OriginalProc(id) = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc)));
}

LRESULT CALLBACK DialogWindow::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrA(control, GWLP_USERDATA));
    const int id = GetDlgCtrlID(control);
    const WNDPROC original = self->OriginalProc(id);
    // The key the dialog manager asks about, if it asks about one.
    const MSG* key = message == WM_GETDLGCODE && lParam != 0 ? reinterpret_cast<const MSG*>(lParam) : nullptr;
    const WPARAM keyDown = key != nullptr && key->message == WM_KEYDOWN ? key->wParam : 0;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    } else if (id == IDC_TICK) {
        // An owner-drawn button is no push button to the dialog manager, which
        // would make Enter on it the OK command and end the program. It takes
        // Enter itself and, as a click on it does, nothing comes of it.
        if (keyDown == VK_RETURN) {
            return CallWindowProcA(original, control, message, wParam, lParam) | DLGC_WANTMESSAGE;
        }
    } else if (message == WM_CHAR) {
        const char typed = static_cast<char>(wParam);
        // Control keys (backspace, Ctrl+C, ...) pass; a tab is the dialog's.
        if (typed == '\t') return 0;
        if (static_cast<unsigned char>(typed) >= 0x20 &&
            !TCycleValidator::CheckTyping(std::string_view(&typed, 1))) {
            return 0;
        }
    } else if (keyDown == VK_TAB && self->behaviour_ && !self->behaviour_->CycleFieldTab()) {
        // A refused text keeps the focus: the field takes the Tab itself.
        ::SetFocus(control);  // back from the warning box
        return CallWindowProcA(original, control, message, wParam, lParam) | DLGC_WANTMESSAGE;
    }
    return CallWindowProcA(original, control, message, wParam, lParam);
}

void DialogWindow::DrawTick(const DRAWITEMSTRUCT& item) {
    HBITMAP bitmap = ticks_[0];
    if (item.itemState & ODS_SELECTED) {
        bitmap = ticks_[1];
    } else if (item.itemState & ODS_FOCUS) {
        bitmap = ticks_[2];
    }
    BITMAP size{};
    GetObjectA(bitmap, sizeof size, &size);
    const RECT& r = item.rcItem;
    if (item.itemState & ODS_DISABLED) {
        // Greyed as disabled controls are: the tick embossed on the bare face.
        FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawStateA(item.hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(bitmap), 0,
                   r.left + (r.right - r.left - size.bmWidth) / 2, r.top + (r.bottom - r.top - size.bmHeight) / 2,
                   0, 0, DST_BITMAP | DSS_DISABLED);
        return;
    }
    const HDC source = CreateCompatibleDC(item.hDC);
    const HGDIOBJ before = SelectObject(source, bitmap);
    StretchBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, size.bmWidth,
               size.bmHeight, SRCCOPY);
    SelectObject(source, before);
    DeleteDC(source);
}

void DialogWindow::SetText(int id, std::string_view text) {
    SetDlgItemTextA(window_, id, std::string(text).c_str());
}

std::string DialogWindow::GetText(int id, std::size_t maxLength) {
    std::string text(maxLength + 1, '\0');
    const UINT length = GetDlgItemTextA(window_, id, text.data(), static_cast<int>(text.size()));
    text.resize(length);
    return text;
}

void DialogWindow::SetCheck(int id, bool checked) {
    CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED);
    for (const PortButton& b : kPortButtons) {
        if (b.id == id) KeepOnePortTabStop();
    }
}

// Checking a radio button gives it the tab stop and unchecking takes it away,
// so with no port checked (a failed switch, an unknown port) Tab would not
// reach the group at all: its one tab stop is the checked button's, else COM1's.
void DialogWindow::KeepOnePortTabStop() {
    bool anyChecked = false;
    for (const PortButton& b : kPortButtons) anyChecked |= IsChecked(b.id);
    for (const PortButton& b : kPortButtons) {
        const bool stop = anyChecked ? IsChecked(b.id) : b.id == kPortButtons[0].id;
        const HWND button = Control(window_, b.id);
        const LONG style = GetWindowLongA(button, GWL_STYLE);
        SetWindowLongA(button, GWL_STYLE, stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

bool DialogWindow::IsChecked(int id) { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }

void DialogWindow::Enable(int id, bool enabled) {
    const HWND control = Control(window_, id);
    // A disabled control loses the focus to nobody, and the keyboard is dead:
    // pass the focus on to the next tab stop first.
    if (!enabled && control != nullptr && GetFocus() == control) {
        const HWND next = GetNextDlgTabItem(window_, control, FALSE);
        if (next != nullptr && next != control) {
            SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
        }
    }
    EnableWindow(control, enabled);
}

void DialogWindow::SetFocus(int id) {
    // Through the dialog, so that the default button follows the focus.
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(window_, id)), TRUE);
}

int DialogWindow::MessageBox(std::string_view text, std::string_view caption, unsigned style, BoxOwner owner) {
    HWND ownerWindow = nullptr;
    if (owner == BoxOwner::Dialog) ownerWindow = window_;
    if (owner == BoxOwner::LastActivePopup) ownerWindow = GetLastActivePopup(GetParent(window_));
    return MessageBoxExA(ownerWindow, std::string(text).c_str(), std::string(caption).c_str(), style, 0);
}

bool DialogWindow::LastActivePopupIsOwn() {
    const HWND popup = GetLastActivePopup(GetParent(window_));
    DWORD process = 0;
    return popup != nullptr && GetWindowThreadProcessId(popup, &process) != 0 &&
           process == GetCurrentProcessId();
}

bool DialogWindow::StartTimer(int id, unsigned periodMs) {
    return SetTimer(window_, static_cast<UINT_PTR>(id), periodMs, nullptr) != 0;
}

void DialogWindow::StopTimer(int id) {
    if (window_ != nullptr) KillTimer(window_, static_cast<UINT_PTR>(id));
}

void DialogWindow::PostClose() { PostMessageA(window_, kPostedClose, 0, 0); }

void DialogWindow::EndDialog(int) {
    // A modeless dialog: destroying it is its end, and the frame follows.
    if (window_ != nullptr) DestroyWindow(window_);
}

bool DialogWindow::IsFrameMinimised() { return IsIconic(GetParent(window_)) != FALSE; }

void DialogWindow::OpenHelp(const char* file) { WinHelpA(window_, file, HELP_INDEX, 0); }

// ---- the frame -----------------------------------------------------------------

HWND TDCFframeW::Create() {
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = instance_;
    frameClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_CHRONVK));
    frameClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frameClass.lpszClassName = kFrameClass;
    RegisterClassA(&frameClass);  // fails harmlessly when a second frame is made
    return CreateWindowExA(kFrameExStyle, kFrameClass, APP_NAME, kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
}

void TDCFframeW::SetupWindow(Profile& profile) {
    // Posted: the window shows first and goes down once the loop runs.
    if (profile.GetInt(PROFILE_MINI, 0) != 0) PostMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

LRESULT CALLBACK TDCFframeW::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TDCFframeW*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return self->Handle(window, message, wParam, lParam);
}

LRESULT TDCFframeW::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND dialog = dialog_.Window();
    TDlgDCF77* behaviour = dialog != nullptr ? dialog_.Behaviour() : nullptr;
    switch (message) {
        case WM_CREATE: {
            window_ = window;
            const HWND created = dialog_.Create(window);
            if (created == nullptr) return -1;
            // The client area is exactly the dialog.
            RECT size{};
            GetWindowRect(created, &size);
            OffsetRect(&size, -size.left, -size.top);
            AdjustWindowRectEx(&size, kFrameStyle, FALSE, kFrameExStyle);
            SetWindowPos(window, nullptr, 0, 0, size.right - size.left, size.bottom - size.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            SetWindowPos(created, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_INITMENUPOPUP: {
            const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
            // Windows sets the system menu's items to the window's state
            // before this message, so here the frame has the last word.
            if (HIWORD(lParam) != 0) RestrictSystemMenu(reinterpret_cast<HMENU>(wParam));
            return result;
        }
        case WM_ENTERIDLE:
            // Wine sets them only after it, as the menu opens: once it is open
            // (a menu of the frame's is its system menu), say it again and
            // redraw what is shown if that changed anything.
            if (wParam == MSGF_MENU && RestrictSystemMenu(GetSystemMenu(window, FALSE)) && lParam != 0) {
                InvalidateRect(reinterpret_cast<HWND>(lParam), nullptr, TRUE);
            }
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_ACTIVATE:
            // The dialog is a child and never activated itself: the frame
            // keeps its control's focus across other windows and boxes.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (dialog != nullptr && IsChild(dialog, focus)) focus_ = focus;
            } else if (focus_ != nullptr && IsWindow(focus_)) {
                ::SetFocus(focus_);
            }
            return 0;
        case WM_SETFOCUS:
            if (dialog != nullptr) SendMessageA(dialog, WM_SETFOCUS, wParam, 0);
            return 0;
        case WM_CLOSE:
            if (behaviour != nullptr && !behaviour->CanClose()) return 0;
            DestroyWindow(window);
            return 0;
        case WM_QUERYENDSESSION:
            return behaviour == nullptr || behaviour->QueryEndSession() ? TRUE : FALSE;
        case WM_ENDSESSION:
            if (behaviour != nullptr) behaviour->EndSession(wParam != FALSE);
            return 0;
        case WM_DESTROY:
            window_ = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// ---- the application -----------------------------------------------------------

dcf77App::dcf77App(HINSTANCE instance, const ProgramSeams& seams)
    : seams_(seams), dialog_(instance, seams), frame_(instance, dialog_) {}

bool dcf77App::InitMainWindow() {
    frameWindow_ = frame_.Create();
    if (frameWindow_ == nullptr) return false;
    frame_.SetupWindow(seams_.profile);
    return true;
}

bool dcf77App::Dispatch(MSG& message) {
    if (message.message == WM_QUIT) {
        ended_ = true;
        return false;
    }
    const HWND dialog = dialog_.Window();
    if (dialog != nullptr && IsDialogMessageA(dialog, &message)) return true;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

int dcf77App::MessageLoop() {
    MSG message{};
    while (!ended_ && GetMessageA(&message, nullptr, 0, 0) > 0) Dispatch(message);
    ended_ = true;
    return 0;
}

bool dcf77App::DispatchQueued() {
    MSG message{};
    while (!ended_ && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) Dispatch(message);
    return !ended_;
}
