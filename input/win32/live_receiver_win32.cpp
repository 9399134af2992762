#include <windows.h>

#include <atomic>

#include "input/live_receiver.h"
#include "input/port_sampler.h"

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<HWND> receiverWindow{nullptr};
EdgeHandler* currentHandler = nullptr;

constexpr UINT kStopMessage = WM_APP + 1;

void WakeReceiver() {
    if (HWND window = receiverWindow.load()) PostMessageA(window, kStopMessage, 0, 0);
}

BOOL WINAPI OnConsoleControl(DWORD) {
    stopRequested = true;
    WakeReceiver();
    return TRUE;
}

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMNOTIFY) {
        // The level is the low byte; the stamp the low 32 bits, read as signed
        // (lParam is 64 bits wide on x86_64).
        if (currentHandler)
            currentHandler->OnEdge(static_cast<uint8_t>(wParam & 0xFF),
                                   static_cast<int32_t>(static_cast<uint32_t>(lParam)));
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

void StopLiveReception() {
    stopRequested = true;
    WakeReceiver();
}

LiveResult ReceiveLive(int32_t portCode, EdgeHandler& handler) {
    ReceiverWindow window;
    if (!window.Get()) return LiveResult::Failed;
    stopRequested = false;
    currentHandler = &handler;
    receiverWindow = window.Get();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    LiveResult result = LiveResult::Interrupted;
    if (!OpenPort(window.Get(), portCode)) {
        result = LiveResult::OpenFailed;
    } else {
        MSG message;
        while (!stopRequested.load() && GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    ClosePort();
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    receiverWindow = nullptr;
    currentHandler = nullptr;
    return result;
}
