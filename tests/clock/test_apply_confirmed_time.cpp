#include <gtest/gtest.h>

#include <string>

#include "clock/clock_setting.h"
#include "clock_test_dir.h"
#include "reception/display_texts.h"
#include "tests/support/clock_fakes.h"
#include "tests/support/fake_clock.h"

namespace {

constexpr int32_t kMark = 123456;  // hundredths
constexpr const char* kStatistics =
    "Syn.vers.       3 / Telegr.      10 / Form.fehl.       2 / bestaet.       5";

class ApplyConfirmedTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        lastSettingLine.Clear();
        state.syncAttempts = 3;
        state.telegramCount = 10;
        state.validCount = 8;
        state.confirmedCount = 5;
        Confirm(98, 3, 5, 14, 7, 0, kMark);
        milliseconds.Set(static_cast<uint32_t>(kMark) * 10u);
    }

    // A confirmation of this local time, its requests raised as the options ask.
    void Confirm(int year, int month, int day, int hour, int minute, int summer, int32_t mark) {
        state.current.year = static_cast<int16_t>(year);
        state.current.month = static_cast<int16_t>(month);
        state.current.day = static_cast<int16_t>(day);
        state.current.hour = static_cast<int16_t>(hour);
        state.current.minute = static_cast<int16_t>(minute);
        state.current.summerTime = static_cast<uint8_t>(summer);
        state.current.markTime = mark;
        state.setRequest = 1;
        state.logRequest = state.logEnabled;
        state.serverRequest = state.serverEnabled;
    }

    void Apply() { ApplyConfirmedTime(state, services); }

    std::string Log() const { return ReadWholeFile(logFile); }

    TDcfState state{};
    FakeMillisecondClock milliseconds;
    ScriptedSystemClock systemClock;
    RecordingMessageBoxes boxes;
    RecordingLauncher launcher;
    ScratchDirectory dir;
    std::string logFile = dir.File("CHRONVK.LOG");
    ClockServices services{milliseconds, systemClock, boxes, launcher, BuiltinStringTable(),
                           logFile.c_str()};
};

TEST_F(ApplyConfirmedTimeTest, WithoutSetRequestNothingHappensAndRequestsStay) {
    state.logEnabled = 1;
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    state.setRequest = 0;
    Apply();
    EXPECT_TRUE(systemClock.requests.empty());
    EXPECT_TRUE(launcher.commandLines.empty());
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(lastSettingLine.view(), "");
    EXPECT_EQ(state.logRequest, 1);
    EXPECT_EQ(state.serverRequest, 1);
}

TEST_F(ApplyConfirmedTimeTest, LocalReportWithLogAndSetter) {
    state.logEnabled = 1;
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    Apply();

    ASSERT_EQ(systemClock.requests.size(), 1u);
    const SystemTime& utc = systemClock.requests[0];
    EXPECT_EQ(utc.wYear, 1998);
    EXPECT_EQ(utc.wMonth, 3);
    EXPECT_EQ(utc.wDay, 5);
    EXPECT_EQ(utc.wHour, 13);
    EXPECT_EQ(utc.wMinute, 7);
    EXPECT_EQ(utc.wSecond, 0);
    EXPECT_EQ(utc.wMilliseconds, 0);

    EXPECT_EQ(lastSettingLine.view(), "05.03.98 14:07:00");
    EXPECT_EQ(statisticsLine.view(), kStatistics);
    // The setter follows, so the entry has no closing empty line.
    EXPECT_EQ(Log(), std::string("Zeiteinstellung: 05.03.98 14:07:00\n") + kStatistics + "\n");
    EXPECT_EQ(launcher.commandLines,
              std::vector<std::string>{"CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7"});
    EXPECT_EQ(state.setRequest, 0);
    EXPECT_EQ(state.logRequest, 0);
    EXPECT_EQ(state.serverRequest, 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ApplyConfirmedTimeTest, UtcReportChangesLineLogAndSetterButNotTheClock) {
    state.setUtc = 1;
    state.logEnabled = 1;
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    Apply();

    ASSERT_EQ(systemClock.requests.size(), 1u);
    EXPECT_EQ(systemClock.requests[0].wHour, 13);
    EXPECT_EQ(lastSettingLine.view(), "05.03.98 13:07:00 UTC");
    EXPECT_EQ(Log(), std::string("Zeiteinstellung: 05.03.98 13:07:00 UTC\n") + kStatistics + "\n");
    EXPECT_EQ(launcher.commandLines,
              std::vector<std::string>{"CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  13  7"});
}

TEST_F(ApplyConfirmedTimeTest, LogAloneClosesTheEntryWithAnEmptyLine) {
    state.logEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    Apply();
    Confirm(98, 3, 5, 14, 8, 0, kMark + 6000);
    milliseconds.Advance(60000);
    Apply();
    EXPECT_EQ(Log(), std::string("Zeiteinstellung: 05.03.98 14:07:00\n") + kStatistics + "\n\n" +
                         "Zeiteinstellung: 05.03.98 14:08:00\n" + kStatistics + "\n\n");
    EXPECT_TRUE(launcher.commandLines.empty());
}

TEST_F(ApplyConfirmedTimeTest, LogRequestWithoutLogEnabledStaysRaised) {
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    state.logRequest = 1;  // raised while logging was on, then switched off
    Apply();
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(state.logRequest, 1);
    EXPECT_EQ(launcher.commandLines,
              std::vector<std::string>{"CHRONVNW.EXE xnQWT58/bemp 0  123456  5  3  98  14  7"});
}

TEST_F(ApplyConfirmedTimeTest, SecondsSinceTheMarkReachClockAndLineButNotSetter) {
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    milliseconds.Advance(2600);
    Apply();
    ASSERT_EQ(systemClock.requests.size(), 1u);
    EXPECT_EQ(systemClock.requests[0].wSecond, 3);
    EXPECT_EQ(lastSettingLine.view(), "05.03.98 14:07:03");
    EXPECT_EQ(launcher.commandLines,
              std::vector<std::string>{"CHRONVNW.EXE xnQWT58/bemp 0  123456  5  3  98  14  7"});
}

TEST_F(ApplyConfirmedTimeTest, UtcAcrossNewYearInUtcLine) {
    state.setUtc = 1;
    state.serverEnabled = 1;
    Confirm(0, 1, 1, 0, 30, 0, kMark);
    Apply();
    ASSERT_EQ(systemClock.requests.size(), 1u);
    EXPECT_EQ(systemClock.requests[0].wYear, 1999);
    EXPECT_EQ(lastSettingLine.view(), "31.12.99 23:30:00 UTC");
    EXPECT_EQ(launcher.commandLines,
              std::vector<std::string>{"CHRONVNW.EXE xnQWT58/bemp 0  123456  31  12  99  23  30"});
}

// Years through the real dry-run clock: what the window refuses, the clock refuses.
TEST_F(ApplyConfirmedTimeTest, YearWindowAndOutOfRangeYearsAtTheClock) {
    DryRunSystemClock dryRun;
    const ClockServices withDryRun{milliseconds, dryRun, boxes, launcher, BuiltinStringTable(),
                                   logFile.c_str()};
    const struct { int year, month, day, hour; int wYear; int result; } cases[] = {
        {97, 6, 15, 12, 2097, 0}, {98, 6, 15, 12, 1998, 0}, {99, 6, 15, 12, 1999, 0},
        {100, 6, 15, 12, 0, 4},   {125, 6, 15, 12, 0, 4},   {165, 6, 15, 12, 0, 4},
        {100, 1, 1, 0, 0, 4},     // 1 January steps 100 back to 99: still refused
        {26, 14, 1, 0, 0, 4},     // month 14 on the 1st at 00:30: refused, not normalised
    };
    for (const auto& c : cases) {
        Confirm(c.year, c.month, c.day, c.hour, 30, 0, kMark);
        const unsigned before = dryRun.RequestCount();
        ApplyConfirmedTime(state, withDryRun);
        ASSERT_EQ(dryRun.RequestCount(), before + 1);
        EXPECT_EQ(dryRun.LastResult(), c.result) << c.year;
        if (c.result == 0) {
            EXPECT_EQ(dryRun.LastRequest().wYear, c.wYear) << c.year;
        }
    }
    EXPECT_EQ(boxes.shown.size(), 5u);
}

class ClockFailureTest : public ApplyConfirmedTimeTest,
                         public ::testing::WithParamInterface<int> {};

TEST_P(ClockFailureTest, ErrorBoxComesAfterLineLogAndSetter) {
    systemClock.Answer(GetParam());
    state.logEnabled = 1;
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    std::string logWhileOpen;
    size_t launchesWhileOpen = 0;
    boxes.whileOpen = [&] {
        logWhileOpen = Log();
        launchesWhileOpen = launcher.commandLines.size();
    };
    Apply();

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Zeit kann nicht eingestellt werden!");
    EXPECT_EQ(boxes.shown[0].caption, "Fehler");
    EXPECT_EQ(boxes.shown[0].style, 0x10u);
    EXPECT_EQ(logWhileOpen, std::string("Zeiteinstellung: 05.03.98 14:07:00\n") + kStatistics + "\n");
    EXPECT_EQ(launchesWhileOpen, 1u);
    EXPECT_EQ(lastSettingLine.view(), "05.03.98 14:07:00");
}

INSTANTIATE_TEST_SUITE_P(EveryCode, ClockFailureTest, ::testing::Values(1, 2, 3, 4, 5));

TEST_F(ApplyConfirmedTimeTest, LogThatCannotOpenWarnsAndSetterStillSaysLogged) {
    // A directory cannot be opened as a file, not even by root.
    const std::string directory = dir.path().string();
    const ClockServices unopenable{milliseconds, systemClock, boxes, launcher,
                                   BuiltinStringTable(), directory.c_str()};
    state.logEnabled = 1;
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    ApplyConfirmedTime(state, unopenable);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Log kann nicht geschrieben werden!");
    EXPECT_EQ(boxes.shown[0].caption, "Warnung");
    EXPECT_EQ(boxes.shown[0].style, 0x30u);
    EXPECT_EQ(state.logRequest, 0);
    EXPECT_EQ(launcher.commandLines,
              std::vector<std::string>{"CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7"});
}

TEST_F(ApplyConfirmedTimeTest, BothFailuresShowClockBoxFirst) {
    const std::string directory = dir.path().string();
    const ClockServices unopenable{milliseconds, systemClock, boxes, launcher,
                                   BuiltinStringTable(), directory.c_str()};
    systemClock.Answer(3);
    state.logEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    ApplyConfirmedTime(state, unopenable);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].caption, "Fehler");
    EXPECT_EQ(boxes.shown[1].caption, "Warnung");
    EXPECT_EQ(boxes.maxDepth, 1);
}

// While the error box is open the next minute is confirmed and handled in
// full inside it: both settings are logged in order, the later one stays on
// the line, and its failure does not open a second box on top.
TEST_F(ApplyConfirmedTimeTest, ConfirmationInsideTheErrorBox) {
    systemClock.Answer(3);
    state.logEnabled = 1;
    state.serverEnabled = 1;
    Confirm(98, 3, 5, 14, 7, 0, kMark);
    int nested = 0;
    boxes.whileOpen = [&] {
        if (nested++ > 0) return;
        // The edge handler runs again for the stale confirmation first: nothing to do.
        Apply();
        Confirm(98, 3, 5, 14, 8, 0, kMark + 6000);
        milliseconds.Advance(60000);
        Apply();
    };
    Apply();

    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.maxDepth, 1);
    EXPECT_EQ(systemClock.requests.size(), 2u);
    EXPECT_EQ(Log(), std::string("Zeiteinstellung: 05.03.98 14:07:00\n") + kStatistics + "\n" +
                         "Zeiteinstellung: 05.03.98 14:08:00\n" + kStatistics + "\n");
    EXPECT_EQ(launcher.commandLines,
              (std::vector<std::string>{"CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7",
                                        "CHRONVNW.EXE xnQWT58/bemp 1  129456  5  3  98  14  8"}));
    EXPECT_EQ(lastSettingLine.view(), "05.03.98 14:08:00");

    // Once the box is closed, the next failure is shown again.
    Confirm(98, 3, 5, 14, 9, 0, kMark + 12000);
    Apply();
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST(WriteLogEntry, TextWithoutItsPlaceholderIsWrittenAsItStands) {
    ScratchDirectory dir;
    const std::string file = dir.File("CHRONVK.LOG");
    ASSERT_TRUE(WriteLogEntry(file.c_str(), "100%% %d: %s %s\n", "line", "stats", false));
    EXPECT_EQ(ReadWholeFile(file), "100% %d: line %s\nstats\n");
}

}  // namespace
