#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "clock/clock_setting.h"
#include "clock_test_dir.h"
#include "reception/display_texts.h"
#include "tests/support/clock_fakes.h"
#include "tests/support/fake_clock.h"
#include "ui/ui_strings.h"

namespace {

constexpr int32_t kMark = 123456;  // hundredths
constexpr const char* kStatistics =
    "Syn.vers.       0 / Telegr.       0 / Form.fehl.       0 / bestaet.       0";
const std::string kClockBox = "Fehler|Zeit kann nicht eingestellt werden!|16";
const std::string kLogBox = "Warnung|Log kann nicht geschrieben werden!|48";

std::string Setter(const char* args) { return std::string("CHRONVNW.EXE xnQWT58/bemp ") + args; }

// A log entry; it ends with an empty line unless the setter follows.
std::string Entry(const std::string& line, bool closed) {
    return "Zeiteinstellung: " + line + "\n" + kStatistics + "\n" + (closed ? "\n" : "");
}

class ApplyConfirmedTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        lastSettingLine.Clear();
        statisticsLine.Clear();
    }
    // A confirmation of this winter time; the log request is raised whatever
    // the option says now, the setter's only when it is on.
    void Confirm(int16_t year, int16_t month, int16_t day, int16_t hour, int16_t minute,
                 int32_t mark = kMark) {
        state.current = TDcfTelegram{0, 0, 0, 0, hour, 0, day, month, year, minute, 0, mark, 0};
        state.setRequest = state.logRequest = 1;
        state.serverRequest = state.serverEnabled;
    }
    void Apply(SystemClock& clock, const std::string& log) {
        const ClockServices services{milliseconds, clock, boxes, launcher, ProgramStrings(),
                                     log.c_str()};
        ApplyConfirmedTime(state, services);
    }
    void Apply() { Apply(systemClock, logFile); }

    TDcfState state{};
    FakeMillisecondClock milliseconds{kMark * 10u};
    ScriptedSystemClock systemClock;
    RecordingMessageBoxes boxes;
    RecordingLauncher launcher;
    ScratchDirectory dir;
    std::string logFile = dir.File("CHRONVK.LOG");
};

struct ReportCase {
    uint8_t setUtc, log, server;
    uint32_t lateMs;  // the clock's reading past the mark
    ClockResult clockResult;
    bool logFails;
    const char *line, *setter;  // setter "": not started
    std::vector<std::string> boxes;
};

class ReportTest : public ApplyConfirmedTimeTest,
                   public ::testing::WithParamInterface<ReportCase> {};

// The clock always gets UTC; setUtc decides what line, log and setter show.
// Failures are shown last, one box at a time: by then the log is written and
// the setter started, saying "logged" even when the log could not be written.
TEST_P(ReportTest, ClockLineLogSetterAndBoxes) {
    const ReportCase& c = GetParam();
    state.setUtc = c.setUtc;
    state.logEnabled = c.log;
    state.serverEnabled = c.server;
    systemClock.result = c.clockResult;
    Confirm(98, 3, 5, 14, 7);
    milliseconds.Advance(c.lateMs);
    auto progress = [&] {
        return ReadWholeFile(logFile) + "|" + std::to_string(launcher.commandLines.size());
    };
    std::string inFirstBox;
    boxes.whileOpen = [&] { if (inFirstBox.empty()) inFirstBox = progress(); };
    // A directory cannot be opened as a file, not even by root.
    Apply(systemClock, c.logFails ? dir.path.string() : logFile);

    const auto second = static_cast<uint16_t>((c.lateMs + 500) / 1000);
    const SystemTime utc{1998, 3, 0, 5, 13, 7, second, 0};
    ASSERT_EQ(systemClock.requests.size(), 1u);
    EXPECT_EQ(std::memcmp(&systemClock.requests[0], &utc, sizeof utc), 0);
    EXPECT_EQ(lastSettingLine.view(), c.line);
    EXPECT_EQ(statisticsLine.view(), kStatistics);
    EXPECT_EQ(ReadWholeFile(logFile), c.log && !c.logFails ? Entry(c.line, !c.server) : "");
    EXPECT_EQ(launcher.commandLines,
              *c.setter ? std::vector{Setter(c.setter)} : std::vector<std::string>{});
    EXPECT_EQ(state.logRequest, 1 - c.log);  // a log switched off leaves its request raised
    EXPECT_EQ(state.setRequest + state.serverRequest, 0);
    EXPECT_EQ(boxes.shown, c.boxes);
    EXPECT_EQ(boxes.maxDepth, c.boxes.empty() ? 0 : 1);
    EXPECT_EQ(inFirstBox, c.boxes.empty() ? "" : progress()) << "a box came before the rest";
}

constexpr ClockResult kSet = ClockResult::kSet, kRefused = ClockResult::kTimeRefused;
constexpr const char* kLocal = "05.03.98 14:07:00";
constexpr const char* kLogged = "1  123456  5  3  98  14  7";  // the setter's numbers
INSTANTIATE_TEST_SUITE_P(
    Options, ReportTest,
    ::testing::Values(
        ReportCase{0, 1, 1, 0, kSet, false, kLocal, kLogged, {}},
        ReportCase{1, 1, 1, 0, kSet, false, "05.03.98 13:07:00 UTC", "1  123456  5  3  98  13  7", {}},
        ReportCase{0, 1, 0, 0, kSet, false, kLocal, "", {}},
        // The seconds since the mark reach clock and line, not the setter.
        ReportCase{0, 0, 1, 2600, kSet, false, "05.03.98 14:07:03", "0  123456  5  3  98  14  7", {}},
        ReportCase{0, 1, 1, 0, ClockResult::kTokenNotOpened, false, kLocal, kLogged, {kClockBox}},
        ReportCase{0, 1, 1, 0, kSet, true, kLocal, kLogged, {kLogBox}},
        ReportCase{0, 1, 1, 0, kRefused, true, kLocal, kLogged, {kClockBox, kLogBox}}));

// A telegram whose own date or time is not real is refused with year 0 and
// the other fields as the step to UTC left them, never set as some other
// date; the year window places the rest.
TEST_F(ApplyConfirmedTimeTest, ImpossibleTelegramTimesAreRefusedWithYearZero) {
    DryRunSystemClock dryRun;
    const struct { int16_t year, month, day, hour, minute; std::array<int, 4> utc; } cases[] = {
        {97, 6, 15, 12, 30, {2097, 6, 15, 11}},  {98, 6, 15, 12, 30, {1998, 6, 15, 11}},
        {24, 2, 29, 12, 30, {2024, 2, 29, 11}},  {25, 2, 29, 12, 30, {0, 2, 29, 11}},
        {100, 1, 1, 0, 30, {0, 12, 31, 23}},     // steps back to 99, still refused
        {26, 13, 0, 0, 30, {0, 12, 31, 23}},     // not 31 December
        {26, 4, 31, 0, 30, {0, 4, 30, 23}},      // not 30 April
        {0, 0, 0, 0, 0, {0, 12, 31, 23}},
        {26, 6, 15, 24, 30, {0, 6, 15, 23}},     {26, 6, 15, 12, 60, {0, 6, 15, 11}},
    };
    for (const auto& c : cases) {
        Confirm(c.year, c.month, c.day, c.hour, c.minute);
        Apply(dryRun, logFile);
        const SystemTime& t = dryRun.LastRequest();
        EXPECT_EQ((std::array<int, 4>{t.wYear, t.wMonth, t.wDay, t.wHour}), c.utc)
            << c.day << "." << c.month << "." << c.year << " " << c.hour << ":" << c.minute;
        EXPECT_EQ(dryRun.LastResult(), c.utc[0] ? ClockResult::kSet : ClockResult::kTimeRefused);
    }
}

// While the error box is open the next minute is confirmed and handled in
// full inside it: both settings are logged in order, the later one stays on
// the line, and its failure does not open a second box on top.
TEST_F(ApplyConfirmedTimeTest, ConfirmationInsideTheErrorBox) {
    systemClock.result = ClockResult::kPrivilegeNotEnabled;
    state.logEnabled = state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7);
    boxes.whileOpen = [&] {
        if (boxes.shown.size() > 1) return;
        Apply();  // the edge handler runs again for the stale confirmation: nothing to do
        Confirm(98, 3, 5, 14, 8, kMark + 6000);
        milliseconds.Advance(60000);
        Apply();
    };
    Apply();

    EXPECT_EQ(boxes.maxDepth, 1);
    EXPECT_EQ(systemClock.requests.size(), 2u) << "the stale run set the clock";
    EXPECT_EQ(ReadWholeFile(logFile),
              Entry("05.03.98 14:07:00", false) + Entry("05.03.98 14:08:00", false));
    EXPECT_EQ(launcher.commandLines, (std::vector{Setter("1  123456  5  3  98  14  7"),
                                                  Setter("1  129456  5  3  98  14  8")}));
    EXPECT_EQ(lastSettingLine.view(), "05.03.98 14:08:00");

    Confirm(98, 3, 5, 14, 9, kMark + 12000);
    Apply();
    EXPECT_EQ(boxes.shown.size(), 2u) << "once closed, the box is shown again";
}

}  // namespace
