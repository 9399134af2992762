// chronvk-decode run in-process on logs of our own: its output is a contract
// that outside checks diff, so exact lines matter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "input/dcf77_signal.h"
#include "input/edge_log.h"
#include "reception/display_texts.h"
#include "tests/clock/clock_test_dir.h"
#include "tools/decode/decode_main.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string ReadAll(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    return text;
}

// Each run starts from the program-start state, as a fresh process would.
ToolRun RunTool(std::vector<std::string> args, const std::string& input) {
    lastSettingLine.Clear();
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    args.insert(args.begin(), "chronvk-decode");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    const int status = DecodeMain(static_cast<int>(argv.size()), argv.data(), in, out, err);
    std::fclose(in);
    return {status, ReadAll(out), ReadAll(err)};
}

std::string LogOf(const std::vector<dcf77::SampledEdge>& edges) {
    std::string log;
    for (const dcf77::SampledEdge& e : edges) {
        char line[kEdgeLineMax];
        log.append(line, FormatEdgeLine({e.level, e.stampMs}, line));
    }
    return log;
}

std::string Log(int64_t startUtc, int minutes, uint8_t polarity = 0) {
    dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(startUtc, minutes);
    options.polarity = polarity;
    options.initialLevel = polarity;  // the line starts idle
    return LogOf(dcf77::GenerateEdgeVector(options));
}

std::vector<std::string> LinesWith(const std::string& text, const std::string& label) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" " + label + " ") != std::string::npos) found.push_back(line);
    return found;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++found;
    return found;
}

TEST(DecodeTool, BadLineStopsTheReplayAfterEarlierOutput) {
    const std::string log = "# recorded\n0 10000\n\n1 10100\n0 11000\n0 2 3\n1 11200\n";
    const ToolRun run = RunTool({}, log);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "chronvk-decode: line 6: more than two fields\n");
    // Edge 1 appends a bit and at once loses synchronisation (an empty bit
    // line, still with its space); edge 3 appends a bit.
    EXPECT_EQ(run.out,
              "1 bits \n"
              "1 telegram synchronisiere...                                   komplett: 0/3\n"
              "1 statistics Syn.vers.       1 / Telegr.       0 / Form.fehl.       0 / bestaet.       0\n"
              "1 setting \n"
              "3 bits 0\n");
}

TEST(DecodeTool, BadArgumentsAreRefused) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--polarity", "2"}, {"--polarity"}, {"--frobnicate"},
          {"/nonexistent/edge.log"}, {"a.log", "b.log"}, {"--svg"}, {"--svg", "/nonexistent/chart.svg"}}) {
        const ToolRun run = RunTool(args, "");
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.err.rfind("chronvk-decode: ", 0), 0u) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(RunTool({"--help"}, "").status, 0);
}

TEST(DecodeTool, ConfirmationRedrawsAtTheEdgeAfterIt) {
    const ToolRun run = RunTool({}, Log(dcf77::UtcMs(2026, 12, 6, 13, 0), 4));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> telegrams = LinesWith(run.out, "telegram");
    std::vector<std::string> progress;
    for (const std::string& line : telegrams) progress.push_back(line.substr(line.size() - 3));
    // 14:01 and 14:02 fill the window, 14:03 confirms (3/3) and the next edge
    // shows the window resumed (2/3); 14:04 confirms again.
    const std::vector<std::string> expected = {"0/3", "0/3", "1/3", "2/3", "3/3", "2/3", "3/3", "2/3"};
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(std::stoul(telegrams[5]), std::stoul(telegrams[4]) + 1);  // the edge after the confirming one
    EXPECT_NE(telegrams[4].find("14:03  So 06.12.26    Check: ++++++"), std::string::npos) << telegrams[4];
}

TEST(DecodeTool, PolarityAndDump) {
    const ToolRun run = RunTool({"--polarity", "1", "--dump"}, Log(dcf77::UtcMs(2026, 7, 1, 22, 58), 3, 1));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> records = LinesWith(run.out, "record");
    ASSERT_FALSE(records.empty());
    const std::string hex = records.back().substr(records.back().find("record ") + 7);
    EXPECT_EQ(hex.size(), 234u);
    EXPECT_EQ(hex.substr(0, 2), "01");  // polarity
    const std::vector<std::string> telegrams = LinesWith(run.out, "telegram");
    EXPECT_NE(telegrams.back().find("SZ+ SS-  01:01  Do 02.07.26"), std::string::npos)
        << telegrams.back();
}

// The running program in virtual time: ticks come before the edge they
// precede (one at the edge's own stamp included), across the clock's wrap;
// a port that does not open delivers no edge.
TEST(DecodeProgram, TicksComeBeforeTheirEdgesAndNoPortDeliversNothing) {
    const std::string box = "0 box Fehler: Schnittstelle kann nicht ge\xC3\xB6" "ffnet werden!\n";
    const struct { std::vector<std::string> args; const char* log; std::string out; } cases[] = {
        {{"--auto-end", "1", "--minutes", "4"}, "1 1000\n0 3000\n",
         "0 port opened 2\n1 countdown Restlaufzeit      239 s\n1 countdown Restlaufzeit      238 s\n"
         "2 bits \n2 telegram synchronisiere...                                   komplett: 0/3\n"
         "2 statistics Syn.vers.       1 / Telegr.       0 / Form.fehl.       0 / bestaet.       0\n"
         "2 setting \n"},
        {{"--auto-end", "1", "--minutes", "4", "--com", "5"}, "1 4294966000\n0 500\n0 800\n",
         box + "1 countdown Restlaufzeit      239 s\n2 countdown Restlaufzeit      238 s\n"},
        {{"--program"}, "# no edges\n", ""},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.args, c.log);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.out) << c.log;
    }
}

// An hour with auto-end off and 1 minute: every setting closes the port for a
// 50-second pause, whose edges are lost, then listens again; each setting is
// in the log, written where the program runs.
TEST(DecodeProgram, HourOfPausesReopensAndLogsEverySetting) {
    const ScratchDirectory dir;
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
    const ToolRun run = RunTool({"--minutes", "1", "--log", "1"}, Log(dcf77::UtcMs(2026, 12, 6, 13, 0), 60));
    const std::string log = ReadWholeFile("CHRONVK.LOG");
    std::filesystem::current_path(home);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t sets = Count(run.out, " set ");
    EXPECT_GE(sets, 25u);
    EXPECT_EQ(Count(run.out, " port closed\n"), sets);
    EXPECT_EQ(Count(run.out, " port opened 2\n"), sets + 1);
    EXPECT_EQ(Count(run.out, "...Pause..."), 49 * sets);
    EXPECT_EQ(Count(log, "Zeiteinstellung: "), sets);
    // The edges of a pause are lost: "port closed", then ticks only.
    const std::size_t closedAt = run.out.find(" port closed\n");
    const std::string pause = run.out.substr(closedAt, run.out.find(" port opened", closedAt) - closedAt);
    EXPECT_EQ(Count(pause, "\n"), Count(pause, " countdown") + 1);
}

// Strict mode changes nothing on a clean signal, across a change to summer
// time included: the same lines, the same settings at the same edges.
TEST(DecodeTool, StrictModeConfirmsACleanSignalAsTheDefaultDoes) {
    for (const int64_t start : {dcf77::UtcMs(2026, 12, 6, 13, 0), dcf77::UtcMs(2026, 3, 29, 0, 30)}) {
        const std::string log = Log(start, 60);
        const ToolRun plain = RunTool({}, log);
        const ToolRun strict = RunTool({"--strict"}, log);
        ASSERT_EQ(strict.status, 0) << strict.err;
        // (The last-setting line is left from the run before: compare the rest.)
        for (const char* label : {"set", "telegram", "statistics", "bits"})
            EXPECT_EQ(LinesWith(strict.out, label), LinesWith(plain.out, label)) << label;
        EXPECT_GE(LinesWith(strict.out, "set").size(), 50u);
    }
}

// The chart of an hour with known defects: bit 20 short in one minute (one
// malformed), three minutes without marks from half past on, 0 to 20 ms of
// jitter, and stamps that wrap half-way. Counters, outcomes and the marks'
// phase (733 ms in the first stamp, 10 ms of jitter on average) are known, and
// the printed lines stay what they are without the chart.
TEST(DecodeTool, ChartOfAnHourWithKnownDefects) {
    dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(dcf77::UtcMs(2026, 12, 6, 13, 0), 60);
    options.firstStampMs = 4293167733u;
    options.jitterMs = 20;
    options.stuckFromUtcMs = dcf77::UtcMs(2026, 12, 6, 13, 30, 30);
    options.stuckForMs = 3 * dcf77::kMinuteMs;
    std::vector<dcf77::SampledEdge> edges = dcf77::GenerateEdgeVector(options);
    const int64_t second20 = dcf77::UtcMs(2026, 12, 6, 13, 10, 20);
    const auto mark = std::find_if(edges.begin(), edges.end(),
                                   [&](const auto& e) { return dcf77::StampUtcMs(options, e.stampMs) >= second20; });
    (mark + 1)->stampMs -= 100;
    const std::string log = LogOf(edges);
    const ScratchDirectory dir;
    const std::string path = (dir.path / "hour.svg").string();
    const ToolRun run = RunTool({"--svg", path}, log);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, RunTool({}, log).out);
    const std::string svg = ReadWholeFile(path);
    EXPECT_NE(svg.find(">Telegr. 56 / Form.fehl. 1 / bestaet. 52 / gestellt 52 / Proben 0 / Phase 743 ms, "
                       "Streuung 6 ms<"), std::string::npos) << svg.substr(0, 600);
    EXPECT_EQ(Count(run.out, " set "), 52u);
    EXPECT_NE(svg.find(">61 Minuten, 14:00 bis 15:00<"), std::string::npos);
    // The groups in their order, and a cell per minute (the lead-in's part
    // of one first) by outcome: no minute mark, malformed, well-formed, confirmed.
    std::vector<std::string> groups;
    for (std::size_t at = 0; (at = svg.find("<g id=\"", at)) != std::string::npos; at += 7)
        groups.push_back(svg.substr(at + 7, svg.find('"', at + 7) - at - 7));
    EXPECT_EQ(groups, (std::vector<std::string>{"header", "axes", "pulses", "settings", "minutes", "legend"}));
    std::vector<std::size_t> outcomes;
    for (const char* cell : {"m1", "m2", "m3", "m4"}) outcomes.push_back(Count(svg, "<rect class=\"" + std::string(cell)));
    EXPECT_EQ(outcomes, (std::vector<std::size_t>{5, 1, 3, 52}));
    EXPECT_EQ(Count(svg, ", gestellt</title>"), 52u);
}

}  // namespace
