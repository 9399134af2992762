// The command-line tool chronvk-decode, as a function so tests can run it
// on files of their own.
#include "tools/decode/decode_main.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "input/edge_log.h"
#include "input/port_table.h"
#include "tools/decode/decode_chart.h"
#include "tools/decode/decode_live.h"
#include "tools/decode/decode_session.h"

namespace {

constexpr const char* kUsage =
    "usage: chronvk-decode [--polarity 0|1] [--reception-test] [--utc] [--strict|--robust] [--dump]\n"
    "                      [--svg CHART] [--program [PROGRAM OPTIONS]] [FILE]\n"
    "Replays an edge log (lines \"LEVEL STAMP_MS\"; FILE or standard input) through the\n"
    "receiver's decoder and prints, for the n-th edge, the lines the window would redraw:\n"
    "  <n> bits <bit line>, <n> telegram/statistics/setting <line>, with --dump <n> record <hex>.\n"
    "A confirmed minute first prints <n> set YYYY-MM-DD HH:MM:SS UTC, the time the clock\n"
    "would get (or <n> refused ... when the clock would refuse it); --utc reports the\n"
    "setting line in UTC; --strict also wants exact framing, an exact minute chain and\n"
    "sound dates before it trusts a time; --robust follows the seconds and weighs the\n"
    "evidence of many minutes, strict checks included.\n"
    "The system clock is never set.\n"
    "--svg CHART writes a chart of the replay to CHART: each mark's length, minute by\n"
    "minute, coloured by what became of the minute, the settings marked, the counters.\n"
    "Live: --port CODE [--device DEV] [--record FILE] receives through the port sampler\n"
    "(CODE 1-4 COM, 11-14 LPT, 20 game port; DEV e.g. SIM or /dev/ttyUSB0 overrides the\n"
    "mapped device; FILE gets every edge appended as an edge log) until Ctrl-C.\n"
    "Program: --program replays the whole running program in the stamps' virtual time,\n"
    "with the settings its profile would hold (each option implies --program):\n"
    "  --auto-end 0|1 (default 0), --minutes N (the minutes field, default 0),\n"
    "  --log 0|1 (default 0; CHRONVK.LOG in the current directory), --server 0|1\n"
    "  (default 0), --com CODE (the checked port, default 2), --run-on S (seconds\n"
    "  after the last edge, default 0); --reception-test is then the click after start.\n"
    "It also prints <n> port opened CODE, <n> port closed, <n> countdown TEXT,\n"
    "<n> box CAPTION: TEXT, <n> launch COMMANDLINE and <n> close, where the replay ends.\n";

constexpr std::size_t kFlushAt = 1 << 16;
constexpr uint32_t kRunOnMaxSeconds = 2000000;

struct Streams {
    std::FILE* out;
    std::FILE* err;
};

void Flush(std::string& text, const Streams& io) {
    std::fwrite(text.data(), 1, text.size(), io.out);
    text.clear();
}

int Fail(const std::string& message, const Streams& io) {
    std::fflush(io.out);
    std::fprintf(io.err, "chronvk-decode: %s\n", message.c_str());
    return 2;
}

// Reads the log line by line, feeding each edge to the session. A bad line
// stops the replay: what earlier lines printed stands, nothing follows. The
// program's close ends it too, with the rest of the input unread.
int Replay(std::FILE* in, DecodeSession& session, const Streams& io) {
    std::string out;
    out.reserve(kFlushAt * 2);
    uint64_t lineNumber = 0;
    std::string failure;
    auto handle = [&](std::string_view text) {
        ++lineNumber;
        const EdgeLine parsed = ParseEdgeLine(text);
        if (parsed.kind == EdgeLineKind::Bad) {
            failure = "line " + std::to_string(lineNumber) + ": " + parsed.why;
            return false;
        }
        if (parsed.kind == EdgeLineKind::Edge) {
            session.OnEdge(parsed.edge.level, parsed.edge.stamp, out);
            if (out.size() >= kFlushAt) Flush(out, io);
        }
        return !session.Closed();
    };

    std::string pending;  // a line split across two reads
    char chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
        std::string_view data(chunk, got);
        for (std::size_t end; (end = data.find('\n')) != std::string_view::npos;) {
            std::string_view text = data.substr(0, end);
            if (!pending.empty()) {
                pending.append(text);
                text = pending;
            }
            if (!handle(text)) break;
            pending.clear();
            data.remove_prefix(end + 1);
        }
        if (!failure.empty() || session.Closed()) break;
        pending.append(data);
    }
    if (session.Closed()) pending.clear();
    if (failure.empty() && !session.Closed() && std::ferror(in))
        failure = std::string("read error: ") + std::strerror(errno);
    if (failure.empty() && !pending.empty()) handle(pending);
    if (failure.empty()) session.Finish(out);
    Flush(out, io);
    return failure.empty() ? 0 : Fail(failure, io);
}

}  // namespace

int DecodeMain(int argc, char** argv, std::FILE* in, std::FILE* out, std::FILE* err) {
    const Streams io{out, err};
    DecodeOptions options;
    const char* path = nullptr;
    LiveOptions live;
    bool livePort = false;
    const char* chartPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, out);
            return 0;
        } else if (arg == "--polarity") {
            if (i + 1 >= argc) return Fail("--polarity needs 0 or 1", io);
            const std::string_view value = argv[++i];
            if (value != "0" && value != "1") return Fail("--polarity must be 0 or 1", io);
            options.polarity = value == "1" ? 1 : 0;
        } else if (arg == "--reception-test") {
            options.receptionTest = true;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--robust") {
            options.robust = true;
        } else if (arg == "--program") {
            options.program = true;
        } else if (arg == "--auto-end" || arg == "--log" || arg == "--server") {
            if (i + 1 >= argc) return Fail(std::string(arg) + " needs 0 or 1", io);
            const std::string_view value = argv[++i];
            if (value != "0" && value != "1") return Fail(std::string(arg) + " must be 0 or 1", io);
            bool& option = arg == "--auto-end" ? options.autoEnd : arg == "--log" ? options.log : options.server;
            option = value == "1";
            options.program = true;
        } else if (arg == "--minutes" || arg == "--com") {
            // Taken as the profile would hold them, whatever they say.
            if (i + 1 >= argc) return Fail(std::string(arg) + " needs a value", io);
            (arg == "--minutes" ? options.minutes : options.com) = argv[++i];
            options.program = true;
        } else if (arg == "--run-on") {
            if (i + 1 >= argc) return Fail("--run-on needs whole seconds", io);
            const std::string_view value = argv[++i];
            // Up to about 23 days: farther than half the clock's wrap no tick
            // could tell before from after.
            uint32_t seconds = 0;
            for (const char digit : value) {
                seconds = digit >= '0' && digit <= '9' && seconds <= kRunOnMaxSeconds
                              ? seconds * 10 + static_cast<uint32_t>(digit - '0')
                              : kRunOnMaxSeconds + 1;
            }
            if (value.empty() || seconds > kRunOnMaxSeconds)
                return Fail("--run-on must be whole seconds up to " + std::to_string(kRunOnMaxSeconds), io);
            options.runOnSeconds = seconds;
            options.program = true;
        } else if (arg == "--utc") {
            options.utc = true;
        } else if (arg == "--dump") {
            options.dump = true;
        } else if (arg == "--svg") {
            if (i + 1 >= argc) return Fail("--svg needs a file name", io);
            chartPath = argv[++i];
            options.chart = true;
        } else if (arg == "--port" || arg == "--device" || arg == "--record") {
            if (i + 1 >= argc) return Fail(std::string(arg) + " needs a value", io);
            const char* value = argv[++i];
            if (arg == "--device") {
                live.device = value;
            } else if (arg == "--record") {
                live.recordPath = value;
            } else {
                const std::string_view code = value;
                livePort = !code.empty() && code.size() <= 2 &&
                           code.find_first_not_of("0123456789") == std::string_view::npos;
                live.portCode = livePort ? std::stoi(std::string(code)) : 0;
                if (!livePort || !IsPortButtonCode(live.portCode))
                    return Fail("--port must be 1-4, 11-14 or 20", io);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option " + std::string(arg) + " (see --help)", io);
        } else if (path != nullptr) {
            return Fail("only one input file may be given", io);
        } else {
            path = argv[i];
        }
    }

    if (livePort && options.program) return Fail("--program replays a log, not a port", io);
    if (livePort && options.chart) return Fail("--svg charts a log, not a port", io);
    if (!livePort && (live.device || live.recordPath)) return Fail("--device and --record need --port", io);
    if (livePort) {
        if (path != nullptr) return Fail("--port reads no log file", io);
        DecodeSession session(options);
        return DecodeLive(live, session, out, err);
    }

    std::FILE* file = nullptr;
    if (path != nullptr && std::string_view(path) != "-") {
        file = std::fopen(path, "rb");
        if (file == nullptr) return Fail(std::string(path) + ": " + std::strerror(errno), io);
    }
    // Opened first: a day's replay should not end in a folder that is not there.
    std::FILE* chart = chartPath != nullptr ? std::fopen(chartPath, "wb") : nullptr;
    if (chartPath != nullptr && chart == nullptr) {
        if (file != nullptr) std::fclose(file);
        return Fail(std::string(chartPath) + ": " + std::strerror(errno), io);
    }
    DecodeSession session(options);
    int status = Replay(file != nullptr ? file : in, session, io);
    if (file != nullptr) std::fclose(file);
    if (chart != nullptr) {
        const std::string svg = session.Chart()->Render(file != nullptr ? path : "Standardeingabe");
        const bool written = std::fwrite(svg.data(), 1, svg.size(), chart) == svg.size();
        if ((std::fclose(chart) != 0 || !written) && status == 0)
            status = Fail(std::string(chartPath) + ": " + std::strerror(errno), io);
    }
    return status;
}
