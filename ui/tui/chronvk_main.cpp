#include "clock/platform_system_clock.h"
#include "ui/tui/chronvk_app.h"

int main(int argc, char** argv) { return RunChronvk(argc, argv, &PlatformSystemClock()); }
