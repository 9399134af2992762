// Message boxes with no owner window. On Windows such a box runs its own
// message loop, so edge messages keep arriving (and being handled) while it
// is shown; the POSIX front-end does the same with its nested loop. The
// dialog shows them through its view.
#pragma once

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void Show(const char* text, const char* caption, unsigned style) = 0;
};

// Styles as MessageBoxExA takes them.
constexpr unsigned kStopBox = 0x10;         // MB_OK | MB_ICONSTOP
constexpr unsigned kExclamationBox = 0x30;  // MB_OK | MB_ICONEXCLAMATION
