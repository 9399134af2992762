#include "ui/tui/chronvk_app.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
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
    "  --headless     no screen: changes as lines on stdout, messages on stderr\n"
    "  --config FILE  the settings file (default $XDG_CONFIG_HOME/chronvk/chronvk.ini)\n"
    "  --record FILE  append every edge to FILE as an edge log\n"
    "  --strict       trust a time only under the strict confirmation rules\n"
    "  --robust       follow the seconds and weigh many minutes: holds under noise\n"
    "  --events       take the port's edges as the system reports them (EVENTS=1)\n"
    "  --refclock TO  serve the time to an NTP daemon (shm:N, NTP shared memory\n"
    "                 unit N, or sock:PATH, chrony's socket) and leave the clock to it\n"
    "  1              the receiver's other polarity;  N (second): no network\n";

// Every edge to the dialog, and to the edge log when one is kept.
class EdgeForwarder final : public EdgeHandler {
public:
    EdgeForwarder(TDlgDCF77& dialog, EdgeRecorder& record) : dialog_(dialog), record_(record) {}
    void OnEdge(uint8_t level, int32_t stamp) override {
        const auto raw = static_cast<uint32_t>(stamp);
        record_.Record({level, raw});
        dialog_.EdgeMessage(level, raw);
    }
    void OnEdgeAt(uint8_t level, int32_t stamp, int64_t instantNs) override {
        const auto raw = static_cast<uint32_t>(stamp);
        record_.Record({level, raw});
        dialog_.EdgeMessage(level, raw, instantNs);
    }

private:
    TDlgDCF77& dialog_;
    EdgeRecorder& record_;
};

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
        } else if ((arg == "--config" || arg == "--record") && i + 1 < argc) {
            (arg == "--config" ? options.config : options.record) = argv[++i];
        } else if (arg == "--refclock" && i + 1 < argc && ParseRefclockSetting(argv[i + 1])) {
            options.refclock = argv[++i];
        } else {
            const char* why = arg == "--config" || arg == "--record" ? "needs a file name"
                              : arg == "--refclock"  ? "needs shm:N (0-255) or sock:PATH (at most 107 bytes)"
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
