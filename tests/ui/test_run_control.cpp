#include "tests/ui/dialog_fakes.h"

class RunControlTest : public DialogTest {
public:
    // A timer tick `left` milliseconds before the countdown's end.
    void TickWithLeft(uint32_t left) {
        clock.Set(dialog->runEndTime - left);
        dialog->TimerMessage();
    }
};

// Started just before the millisecond clock wraps: the run time ends after it.
TEST_F(RunControlTest, MaximumRunTimeCountsDownAndClosesAcrossTheWrap) {
    const uint32_t start = 0xFFFFFFFFu - 5000u;
    clock.Set(start);
    profile.keys["CYCLE"] = "10";
    Start();
    EXPECT_EQ(dialog->runEndTime, start + 600000u);
    const struct { uint32_t left; const char* text; } ticks[] = {{1500, "Restlaufzeit        1 s"}, {999, ""}};
    for (const auto& t : ticks) {
        TickWithLeft(t.left);
        EXPECT_EQ(view.texts[IDC_COUNTDOWN], t.text);
    }
    EXPECT_EQ(view.posted, 1);
}

TEST_F(RunControlTest, RefusedMaximumRunCloseIsRetriedWithoutPilingBoxes) {
    profile.keys["CYCLE"] = "10";
    Start();
    view.texts[IDC_MINUTES] = "2";
    TickWithLeft(0);
    view.onBox = [&] {
        dialog->PostedClose();  // another automatic attempt while the warning shows
        dcfPtr->endRequest = 1;
        dialog->EdgeMessage(1, clock.NowMs());
    };
    dialog->PostedClose();
    EXPECT_EQ(view.boxes.size(), 1u);
    view.onBox = nullptr;
    view.texts[IDC_MINUTES] = "10";
    TickWithLeft(0);
    EXPECT_EQ(view.posted, 3);
    dialog->PostedClose();
    EXPECT_EQ(view.ended, IDC_OK);
}

TEST_F(RunControlTest, SettingPauseClosesThePortAndReopensIt) {
    profile.keys["AUTOEND"] = "0";
    Start();
    ConfirmingEdge();
    EXPECT_EQ(dialog->runEndTime, clock.NowMs() + 3590000u);
    TickWithLeft(3589500);
    EXPECT_EQ(view.texts[IDC_COUNTDOWN], "...Pause...     3589 s");
    view.checks = {{IDC_COM4, true}};  // opens at once; the pause's end closes it first
    dialog->ButtonClicked(IDC_COM4);
    TickWithLeft(999);
    EXPECT_EQ(dialog->runMode, 0);
    EXPECT_EQ(view.texts[IDC_COUNTDOWN], "");
    EXPECT_EQ(+dcfPtr->telegramsStored, 2);
    EXPECT_EQ(port.calls, "open2 close open4 close open4 ");
}

TEST_F(RunControlTest, ReceptionTestEndsAPauseAndAnyEndRequest) {
    profile.keys = {{"AUTOEND", "0"}, {"CYCLE", "1"}};
    Start();
    ConfirmingEdge();
    dcfPtr->endRequest = 1;
    view.checks[IDC_RECEPTION_TEST] = true;
    dialog->ButtonClicked(IDC_RECEPTION_TEST);
    EXPECT_TRUE(port.open && dialog->runMode == 0 && !dcfPtr->endRequest && !dcfPtr->cycleMinutes);
    for (int id : {IDC_RECEPTION_TEST, IDC_AUTO_END, IDC_UTC, IDC_LOG, IDC_SERVER, IDC_MINUTES, IDC_TICK})
        EXPECT_TRUE(view.disabled[id]) << id;
    view.texts[IDC_MINUTES] = "2";
    dialog->OkCommand();
    EXPECT_EQ(view.ended, IDC_OK) << "a disabled field is not asked";
}

TEST_F(RunControlTest, PauseTimerFailureClosesOrListensOn) {
    profile.keys["AUTOEND"] = "0";
    Start();
    view.timerFails = true;
    view.texts[IDC_MINUTES] = "x";  // the close will be refused
    ConfirmingEdge();
    EXPECT_EQ(view.boxes.at(0).substr(0, 26), "Fehler|Einstellpause kann ");
    dialog->PostedClose();  // the fake fails a second open: the pause closed the port
    EXPECT_TRUE(port.open) << "refused close: the port is opened again";
}

TEST_F(RunControlTest, AutoEndSwitchAndLeavingTheField) {
    const struct { bool autoEnd; const char *text, *field; int cycle, mode; } switches[] = {
        {true, "2", "4", 4, 1}, {true, "0", "", 0, 0}, {true, "40000", "40000", 32767, 1},
        {false, "2", "2", 60, 0},
    };
    for (const auto& c : switches) {
        SetUp();
        profile.keys["AUTOEND"] = "0";
        Start();
        view.texts[IDC_MINUTES] = c.text;
        view.checks[IDC_AUTO_END] = c.autoEnd;
        dialog->ButtonClicked(IDC_AUTO_END);
        EXPECT_EQ(view.texts[IDC_MINUTES], c.field) << c.text;
        EXPECT_EQ(+dcfPtr->cycleMinutes * 10 + dialog->runMode, c.cycle * 10 + c.mode) << c.text;
    }
    const struct { const char* text; bool own; int gaining, cycle; size_t boxes; } leaves[] = {
        {"2", true, IDC_LOG, 4, 1}, {"2", true, IDC_OK, 4, 1}, {"2", false, 0, 4, 1},
        {"+1000", true, IDC_LOG, 1000, 1}, {"40000", true, IDC_LOG, 1000, 2},
    };
    SetUp();
    profile.keys["CYCLE"] = "4";
    Start();
    for (const auto& c : leaves) {
        view.texts[IDC_MINUTES] = c.text;
        clock.Advance(5000);
        dialog->CycleFieldKillFocus(c.own, c.gaining);
        EXPECT_EQ(+dcfPtr->cycleMinutes, c.cycle) << c.text;
        EXPECT_EQ(view.boxes.size(), c.boxes) << c.text;
        EXPECT_EQ(dialog->runEndTime, clock.NowMs() + 60000u * static_cast<uint32_t>(c.cycle));
    }
    view.timerFails = true;
    dialog->CycleFieldKillFocus(false, 0);
    EXPECT_EQ(dialog->runMode, 0) << "no timer: no time limit";
    EXPECT_EQ(view.boxes.back().substr(0, 22), "Fehler|Maximallaufzeit");
}

// A daemon's reference clock: robust whatever the profile says, and it neither
// ends, nor pauses, nor counts down, whatever auto-end and the minutes say.
TEST_F(RunControlTest, ANtpOutputRunsOnInRobustMode) {
    struct : TimeSampleOutput, RealTimeClock {
        void Send(const TimeSample&) override {}
        RealTime Now() override { return {}; }
    } nowhere;
    RefclockSamples samples(clock, nowhere, nowhere);
    for (const char* autoEnd : {"1", "0"}) {
        SetUp();
        profile.keys = {{"AUTOEND", autoEnd}, {"CYCLE", "10"}};
        Start(&samples);
        ConfirmingEdge();
        EXPECT_TRUE(robustReception);
        EXPECT_EQ(dialog->runMode + view.posted, 0) << autoEnd << ": no countdown, no close";
        EXPECT_TRUE(port.open) << autoEnd << ": no pause";
    }
}
