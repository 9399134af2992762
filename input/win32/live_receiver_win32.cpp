#include "input/win32/live_receiver_win32.h"

#include <atomic>
#include <cstdio>

#include "input/live_receiver.h"
#include "input/port_sampler.h"
#include "input/win32/window_edge_sink.h"

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<HWND> receiverWindow{nullptr};
// Signalled once the port is closed; reset while a reception runs.
HANDLE portClosed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
EdgeHandler* currentHandler = nullptr;

constexpr UINT kStopMessage = WM_APP + 1;
// Well inside the 5 seconds Windows grants a handler for a closed console.
constexpr DWORD kCloseWaitMs = 3000;

void WakeReceiver() {
    if (HWND window = receiverWindow.load()) PostMessageA(window, kStopMessage, 0, 0);
}

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMNOTIFY) {
        if (currentHandler)
            currentHandler->OnEdge(static_cast<uint8_t>(wParam & 0xFF), EdgeStampFromParam(static_cast<uint64_t>(lParam)));
        return 0;
    }
    if (message == kPortNoticeMessage) {
        std::fprintf(stderr, "%s\n", TakePortNotice(lParam)->c_str());
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A message-only window receives the sampler's edge messages.
class ReceiverWindow {
public:
    ReceiverWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ReceiverProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ChronvkLiveReceiver";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~ReceiverWindow() {
        if (window_) DestroyWindow(window_);
    }
    ReceiverWindow(const ReceiverWindow&) = delete;
    ReceiverWindow& operator=(const ReceiverWindow&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_ = nullptr;
};

}  // namespace

BOOL WINAPI OnConsoleControl(DWORD event) {
    StopLiveReception();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(portClosed, kCloseWaitMs);
    return TRUE;
}

void StopLiveReception() {
    stopRequested = true;
    WakeReceiver();
}

LiveResult ReceiveLive(int32_t portCode, EdgeHandler& handler) {
    ReceiverWindow window;
    if (!window.Get()) return LiveResult::Failed;
    WindowEdgeSink sink(window.Get());
    stopRequested = false;
    ResetEvent(portClosed);
    currentHandler = &handler;
    receiverWindow = window.Get();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    LiveResult result = LiveResult::Interrupted;
    if (!OpenPort(sink, portCode)) {
        result = LiveResult::OpenFailed;
    } else {
        MSG message;
        while (!stopRequested.load() && GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    ClosePort();
    SetEvent(portClosed);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    receiverWindow = nullptr;
    currentHandler = nullptr;
    return result;
}
