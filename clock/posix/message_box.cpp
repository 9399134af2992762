#include "clock/message_box.h"

#include <cstdio>

namespace {
class StderrBoxes final : public MessageBoxes {
public:
    void Show(const char* text, const char* caption, unsigned /*style*/) override {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        std::fflush(stderr);
    }
};
}  // namespace

MessageBoxes& PlatformMessageBoxes() {
    static StderrBoxes boxes;
    return boxes;
}
