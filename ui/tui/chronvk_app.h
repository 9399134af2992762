// The chronvk program on Linux: options, the profile file, the dialog's
// behaviour on the terminal screen or headless, all on one event loop.
//
//   chronvk [--headless] [--config FILE] [--record FILE] [--strict|--robust]
//           [--events] [--refclock shm:N|sock:PATH] [ARG1 [ARG2]]
//   chronvk [--config FILE] --calibrate [MINUTES]
//
// ARG1 and ARG2 are the Windows program's arguments ("1": the other
// polarity; "N" as the second: no network).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class SystemClock;

struct AppOptions {
    bool headless = false;
    bool strict = false;
    bool robust = false;
    bool events = false;
    int calibrateMinutes = 0;  // 0: no calibration, the program itself
    std::string config;  // empty: the default place
    std::string record;  // empty: no edge log
    std::string refclock;  // empty: as the profile's REFCLOCK says
    std::vector<const char*> arguments;  // the program name, then the Windows arguments
};

// 0: run; 1: --help or --version answered on `out`; 2: wrong options, one
// line on `err`.
int ParseAppOptions(int argc, char** argv, AppOptions& options, std::FILE* out, std::FILE* err);

// The whole program; returns its exit status. `realClock` is the machine's
// clock, used only while the port in use is no simulated receiver;
// nullptr: never set the clock for real.
int RunChronvk(int argc, char** argv, SystemClock* realClock);
