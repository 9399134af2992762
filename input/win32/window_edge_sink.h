// The sampler's edges as the window's edge message: WM_COMMNOTIFY, first
// parameter the level, second the millisecond stamp.
#pragma once

#include <windows.h>

#include "input/port_driver.h"

class WindowEdgeSink final : public EdgeSink {
public:
    explicit WindowEdgeSink(HWND window) : window_(window) {}
    bool PostEdge(uint8_t level, uint32_t stamp) override {
        return PostMessageA(window_, WM_COMMNOTIFY, level, static_cast<LPARAM>(stamp)) != 0;
    }

private:
    HWND window_;
};
