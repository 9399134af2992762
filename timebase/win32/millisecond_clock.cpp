#include "timebase/millisecond_clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace {
class MultimediaClock final : public MillisecondClock {
public:
    uint32_t NowMs() override { return timeGetTime(); }
};
}  // namespace

MillisecondClock& SystemMillisecondClock() {
    static MultimediaClock clock;
    return clock;
}
