// The machine's real clock. Only the program links the library that holds it:
// a tool or test that asked for it would not link, so none can move the
// machine's clock by mistake.
#pragma once

#include "clock/system_clock.h"

SystemClock& PlatformSystemClock();
