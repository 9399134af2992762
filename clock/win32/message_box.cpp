#include "clock/message_box.h"

#include <windows.h>

namespace {
class WindowsBoxes final : public MessageBoxes {
public:
    void Show(const char* text, const char* caption, unsigned style) override {
        // No owner: reception goes on while the box is shown.
        MessageBoxExA(nullptr, text, caption, style, 0);
    }
};
}  // namespace

MessageBoxes& PlatformMessageBoxes() {
    static WindowsBoxes boxes;
    return boxes;
}
