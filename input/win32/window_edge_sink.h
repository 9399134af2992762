// The sampler's edges as the window's edge message: WM_COMMNOTIFY, first
// parameter the level, second the millisecond stamp. An edge's own instant
// has no room in it and no use on Windows, where nothing feeds a daemon.
// What the sampler says about the port comes as a message of its own.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "input/port_driver.h"

// Second parameter: a std::string the window takes over (TakePortNotice).
constexpr UINT kPortNoticeMessage = WM_APP + 7;
inline std::unique_ptr<std::string> TakePortNotice(LPARAM lParam) {
    return std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lParam));
}

class WindowEdgeSink final : public EdgeSink {
public:
    explicit WindowEdgeSink(HWND window) : window_(window) {}
    bool PostEdge(uint8_t level, uint32_t stamp) override {
        return PostMessageA(window_, WM_COMMNOTIFY, level, static_cast<LPARAM>(stamp)) != 0;
    }
    void Notice(std::string_view text) override {
        auto copy = std::make_unique<std::string>(text);
        if (PostMessageA(window_, kPortNoticeMessage, 0, reinterpret_cast<LPARAM>(copy.get())) != 0) copy.release();
    }

private:
    HWND window_;
};
