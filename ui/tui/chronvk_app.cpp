#include "ui/tui/chronvk_app.h"

#include <signal.h>
#include <sys/timex.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "clock/program_launcher.h"
#include "clock/system_clock.h"
#include "eventloop/posix/event_loop.h"
#include "input/edge_log.h"
#include "input/port_sampler.h"
#include "input/port_table.h"
#include "network/posix/system_netbios.h"
#include "timebase/edge_clock.h"
#include "ui/calibration.h"
#include "ui/command_line.h"
#include "ui/dlg_dcf77.h"
#include "ui/posix/ini_profile.h"
#include "ui/posix/refclock_outputs.h"
#include "ui/posix/shared_library.h"
#include "ui/standard_seams.h"
#include "ui/tui/headless_view.h"
#include "ui/tui/screen_view.h"

namespace {

constexpr char kUsage[] =
    "usage: chronvk [--headless] [--config FILE] [--record FILE] [--strict|--robust]\n"
    "               [--events] [--refclock shm:N|sock:PATH] [1 [N]]\n"
    "       chronvk [--config FILE] --calibrate [MINUTES]\n"
    "  --headless     no screen: changes as lines on stdout, messages on stderr\n"
    "  --config FILE  the settings file (default $XDG_CONFIG_HOME/chronvk/chronvk.ini)\n"
    "  --record FILE  append every edge to FILE as an edge log\n"
    "  --strict       trust a time only under the strict confirmation rules\n"
    "  --robust       follow the seconds and weigh many minutes: holds under noise\n"
    "  --events       take the port's edges as the system reports them (EVENTS=1)\n"
    "  --refclock TO  serve the time to an NTP daemon (shm:N, NTP shared memory\n"
    "                 unit N, or sock:PATH, chrony's socket) and leave the clock to it\n"
    "  --calibrate    measure the receiver's delay against the system clock for\n"
    "                 MINUTES (default 10) and print the daemons' offset lines\n"
    "  1              the receiver's other polarity;  N (second): no network\n";

constexpr int kDefaultCalibrationMinutes = 10;
constexpr int kLongestCalibrationMinutes = 24 * 60;

// Every edge to the dialog, and to the edge log when one is kept.
class EdgeForwarder final : public EdgeHandler {
public:
    EdgeForwarder(TDlgDCF77& dialog, EdgeRecorder& record) : dialog_(dialog), record_(record) {}
    void OnEdge(uint8_t level, int32_t stamp) override { Forward(level, stamp, std::nullopt); }
    void OnEdgeAt(uint8_t level, int32_t stamp, int64_t instantNs) override { Forward(level, stamp, instantNs); }

private:
    // The log keeps the stamp alone: it is the same with and without event mode.
    void Forward(uint8_t level, int32_t stamp, std::optional<int64_t> instantNs) {
        const auto raw = static_cast<uint32_t>(stamp);
        record_.Record({level, raw});
        dialog_.EdgeMessage(level, raw, instantNs);
    }

    TDlgDCF77& dialog_;
    EdgeRecorder& record_;
};

// The calibration's edges: each one's instant; one without is the first
// reading of the line, more than one a port that is sampled after all.
class CalibrationEdges final : public EdgeHandler {
public:
    explicit CalibrationEdges(DelayCalibration& calibration) : calibration_(calibration) {}
    void OnEdge(uint8_t, int32_t) override { ++sampled; }
    void OnEdgeAt(uint8_t level, int32_t, int64_t instantNs) override { calibration_.OnEdge(level, instantNs); }
    int sampled = 0;

private:
    DelayCalibration& calibration_;
};

// The port of the settings, always in event mode, against the system clock;
// the clock is only read. The simulated receiver sends the system clock's own
// time, so it measures our own path and needs no daemon to keep the clock.
int Calibrate(int minutes, Profile& profile, const std::optional<RefclockSetting>& door) {
    const int32_t code = profile.GetInt(PROFILE_COM, PORT_CODE_COM2);
    const std::string device = DeviceForPort(code, CurrentPortProfile());
    if (device.empty()) {
        std::fprintf(stderr, "chronvk: --calibrate: no port chosen (COM=%d)\n", code);
        return 1;
    }
    ntptimeval kernel{};
    if (const auto why = WhyClockUnsynchronised(ntp_gettime(&kernel)); why && !IsSimulatedDevice(device)) {
        std::fprintf(stderr, "chronvk: --calibrate: %s\n", why->c_str());
        return 1;
    }
    EventLoop loop;
    if (!loop.Ok()) return 1;
    PosixRealTimeClock realTime;
    DelayCalibration calibration(realTime, SystemEdgeClock());
    CalibrationEdges edges(calibration);
    loop.SetEdgeHandler(&edges);
    bool done = false;
    loop.WatchSignals({SIGINT, SIGTERM, SIGHUP}, [&](int) { done = true; });
    SetPortEvents(true);
    if (!OpenPort(loop, code)) {
        ClosePort();
        std::fprintf(stderr, "chronvk: --calibrate: %s cannot be opened\n", device.c_str());
        return 1;
    }
    std::fprintf(stderr, "chronvk: measuring the receiver on %s against the system clock for %d min\n",
                 device.c_str(), minutes);
    MillisecondClock& clock = SystemMillisecondClock();
    const uint32_t start = clock.NowMs();
    loop.StartTimer(1, static_cast<uint32_t>(minutes) * 60000u, [&] { done = true; });
    // Ten minutes in silence look like a hang: a line each minute says how it goes.
    loop.StartTimer(2, 60000u, [&] {
        const std::optional<DelayCalibration::Result> sofar = calibration.Finish();
        if (sofar) std::fprintf(stderr, "chronvk: %zu marks so far, %.3f ms late\n", sofar->marks, sofar->medianMs);
        else std::fprintf(stderr, "chronvk: %zu edges so far, too few marks yet\n", calibration.Edges());
    });
    loop.RunUntil([&] { return done || edges.sampled > 1; });
    ClosePort();
    if (edges.sampled > 1) {
        std::fprintf(stderr, "chronvk: --calibrate: the port is sampled, its edges come without their instants\n");
        return 1;
    }
    const std::optional<DelayCalibration::Result> result = calibration.Finish();
    if (!result) {
        std::fprintf(stderr, "chronvk: --calibrate: too few second marks came to measure (is the receiver on?)\n");
        return 1;
    }
    std::fputs(CalibrationReport(*result, static_cast<double>(clock.NowMs() - start) / 60000, door).c_str(), stdout);
    return 0;
}

// The minutes a number after --calibrate gives; 0 for a number out of range.
int MinutesAfter(int argc, char** argv, int& i) {
    if (i + 1 >= argc || !std::isdigit(static_cast<unsigned char>(argv[i + 1][0]))) return kDefaultCalibrationMinutes;
    char* end = nullptr;
    const long minutes = std::strtol(argv[++i], &end, 10);
    return *end == '\0' && minutes >= 1 && minutes <= kLongestCalibrationMinutes ? static_cast<int>(minutes) : 0;
}

}  // namespace

int ParseAppOptions(int argc, char** argv, AppOptions& options, std::FILE* out, std::FILE* err) {
    options.arguments.assign(1, argc > 0 ? argv[0] : "chronvk");
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--help") {
            std::fputs(kUsage, out);
            return 1;
        }
        if (arg == "--version") {
            std::fprintf(out, "%s\n", kVersionLine);
            return 1;
        }
        if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--robust") {
            options.robust = true;
        } else if (arg == "--events") {
            options.events = true;
        } else if (arg == "--calibrate" && (options.calibrateMinutes = MinutesAfter(argc, argv, i)) > 0) {
        } else if ((arg == "--config" || arg == "--record") && i + 1 < argc) {
            (arg == "--config" ? options.config : options.record) = argv[++i];
        } else if (arg == "--refclock" && i + 1 < argc && ParseRefclockSetting(argv[i + 1])) {
            options.refclock = argv[++i];
        } else {
            const char* why = arg == "--config" || arg == "--record" ? "needs a file name"
                              : arg == "--refclock"  ? "needs shm:N (0-255) or sock:PATH (at most 107 bytes)"
                              : arg == "--calibrate" ? "takes MINUTES from 1 to 1440"
                                                     : "unknown option";
            std::fprintf(err, "chronvk: %s: %s (try --help)\n", arg.c_str(), why);
            return 2;
        }
    }
    for (; i < argc; ++i) options.arguments.push_back(argv[i]);
    return 0;
}

int RunChronvk(int argc, char** argv, SystemClock* realClock) {
    AppOptions options;
    const int parsed = ParseAppOptions(argc, argv, options, stdout, stderr);
    if (parsed != 0) return parsed == 1 ? 0 : 2;

    const bool headless = options.headless || !isatty(STDOUT_FILENO) || !isatty(STDIN_FILENO);
    std::optional<StderrCapture> messages;
    if (!headless) messages.emplace();
    EdgeRecorder record;
    std::string why;
    if (!options.record.empty() && !record.Open(options.record.c_str(), why)) {
        std::fprintf(stderr, "chronvk: %s: %s\n", options.record.c_str(), why.c_str());
        return 1;
    }
    // Only our own folder is made when missing; one named by hand is a typo.
    if (!options.config.empty() && !FolderExists(options.config)) {
        std::fprintf(stderr, "chronvk: --config %s: no such folder\n", options.config.c_str());
        return 2;
    }
    IniFile file(options.config.empty() ? DefaultProfilePath() : options.config, stderr, options.config.empty());
    file.Load();
    IniProfile profile(file);
    SetPortProfile(&profile);
    ApplyCommandLine(static_cast<int>(options.arguments.size()), options.arguments.data());

    std::string refclockText = options.refclock;
    if (refclockText.empty()) file.Get(PROFILE_SECTION, PROFILE_REFCLOCK, refclockText);
    std::optional<RefclockSetting> refclock;
    if (!refclockText.empty() && !(refclock = ParseRefclockSetting(refclockText))) {
        std::fprintf(stderr, "chronvk: %s: REFCLOCK=%s is neither shm:N (0-255) nor sock:PATH (at most 107 bytes)\n",
                     file.Path().c_str(), refclockText.c_str());
        return 1;
    }
    if (options.calibrateMinutes > 0) return Calibrate(options.calibrateMinutes, profile, refclock);
    std::unique_ptr<TimeSampleOutput> output;
    if (refclock) {
        output = MakeRefclockOutput(*refclock, why, [](const std::string& problem) {
            std::fprintf(stderr, "chronvk: %s\n", problem.c_str());
        });
        if (!output) {
            std::fprintf(stderr, "chronvk: %s\n", why.c_str());
            return 1;
        }
    }
    PosixRealTimeClock realTime;
    std::optional<RefclockSamples> samples;
    if (output) samples.emplace(SystemMillisecondClock(), realTime, *output);

    // With a reference-clock output the daemon steers the clock: never set it
    // here; nor while the port in use is the simulated receiver.
    PortFollowingClock clock(output ? nullptr : realClock);

    EventLoop loop;
    if (!loop.Ok()) {
        std::fprintf(stderr, "chronvk: cannot set up the event loop\n");
        return 1;
    }
    // A service stop, a hang-up or Ctrl-C is a log-off: clean up, save, end.
    bool loggingOff = false;
    std::unique_ptr<LoopDialogView> view;
    const auto logOff = [&] {
        loggingOff = true;
        view->SetEnding();
    };
    if (headless) {
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        view = std::make_unique<HeadlessView>(loop, stdout, stderr);
    } else {
        auto screen = std::make_unique<ScreenView>(loop, *messages, file.Path(), logOff);
        if (!screen->Ok()) return 1;
        view = std::move(screen);
    }
    TableVersionStrings version;
    SharedInterfaceLibrary library;
    SamplerPortControl port(loop);
    TDlgDCF77 dialog({*view, profile, version, library, port, SystemMillisecondClock(), clock,
                      PlatformProgramLauncher()});
    view->Attach(dialog);
    if (samples) dialog.SetTimeSamples(&*samples);
    if (options.strict) dialog.RequireStrictConfirmation();
    if (options.robust) dialog.RequireRobustReception();
    if (options.events) dialog.RequireEvents();
    EdgeForwarder edges(dialog, record);
    loop.SetEdgeHandler(&edges);
    nbt::UdpTransport& network = SystemNbtTransport();
    loop.AddSource({[&](std::vector<pollfd>& fds) { network.AppendPollFds(fds); },
                    [&](const pollfd& ready) { network.Dispatch(ready); }});
    loop.WatchSignals({SIGTERM, SIGHUP, SIGINT}, [&](int) { logOff(); });
    loop.WatchSignals({SIGUSR1}, [&](int) { view->ShowSummary(); });
    signal(SIGPIPE, SIG_IGN);

    dialog.SetupWindow();
    loop.RunUntil([&] { return view->Ended() || loggingOff; });
    if (loggingOff && !view->Ended()) {
        view->SetEnding();
        const std::string minutes = view->GetText(IDC_MINUTES, MINUTES_MAX_LENGTH);
        if (!dialog.SignalledEnd()) {
            std::fprintf(stderr, "chronvk: minutes \"%s\" refused, not saved: the stored value stays\n",
                         minutes.c_str());
        }
    }
    // A service manager learns of settings that did not reach the disk.
    return dialog.SettingsSaveFailed() ? 1 : 0;
}
