#include "tests/ui/dialog_fakes.h"

// Ticks at `left` milliseconds before the end of the countdown.
class RunControlTest : public DialogTest {
protected:
    void TickWithLeft(uint32_t left) {
        clock.Set(dialog->runEndTime - left);
        dialog->TimerMessage();
    }
};

TEST_F(RunControlTest, MaximumRunTimeCountsDownAndCloses) {
    for (uint32_t start : {1000u, 0xFFFFFFFFu - 5000u}) {  // the second spans the wrap
        SetUp();
        view = RecordingView{};
        port = FakePort{};
        clock.Set(start);
        profile.keys["CYCLE"] = "10";
        Start();
        EXPECT_EQ(dialog->runMode, 1);
        EXPECT_EQ(dialog->runEndTime, start + 600000u);
        EXPECT_EQ(view.texts[IDC_COUNTDOWN], "");
        const struct { uint32_t left; const char* text; } ticks[] = {
            {599400, "Restlaufzeit      599 s"}, {60000, "Restlaufzeit       60 s"},
            {1500, "Restlaufzeit        1 s"},
        };
        for (const auto& t : ticks) {
            TickWithLeft(t.left);
            EXPECT_EQ(view.texts[IDC_COUNTDOWN], t.text);
        }
        EXPECT_EQ(view.posted, 0);
        TickWithLeft(999);
        EXPECT_EQ(view.texts[IDC_COUNTDOWN], "");
        EXPECT_EQ(view.posted, 1);
        dialog.reset();
    }
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
    EXPECT_EQ(view.Boxes(), 1);
    EXPECT_EQ(view.maxOpenBoxes, 1);
    EXPECT_EQ(dialog->runMode, 1);
    view.onBox = nullptr;
    view.texts[IDC_MINUTES] = "10";
    const int posted = view.posted;
    TickWithLeft(0);
    EXPECT_EQ(view.posted, posted + 1);
    dialog->PostedClose();
    EXPECT_EQ(view.ended, IDC_OK);
}

TEST_F(RunControlTest, SettingPauseClosesThePortAndReopensIt) {
    profile.keys["AUTOEND"] = "0";
    Start();
    port.calls.clear();
    ConfirmingEdge();
    EXPECT_EQ(dialog->runMode, 2);
    EXPECT_FALSE(port.open);
    EXPECT_EQ(dialog->runEndTime, clock.NowMs() + 3590000u);
    TickWithLeft(3589500);
    EXPECT_EQ(view.texts[IDC_COUNTDOWN], "...Pause...     3589 s");
    // A port clicked during the pause opens at once; the pause's end closes it first.
    view.checks[IDC_COM2] = false;
    view.checks[IDC_COM4] = true;
    dialog->ButtonClicked(IDC_COM4);
    TickWithLeft(999);
    EXPECT_EQ(dialog->runMode, 0);
    EXPECT_EQ(view.texts[IDC_COUNTDOWN], "");
    EXPECT_EQ(+dcfPtr->telegramsStored, 2);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"close", "open 4", "close", "open 4"}));
}

TEST_F(RunControlTest, ReceptionTestEndsAPauseAndAnyEndRequest) {
    profile.keys["AUTOEND"] = "0";
    profile.keys["CYCLE"] = "1";
    Start();
    ConfirmingEdge();
    EXPECT_EQ(dialog->runEndTime, clock.NowMs() + 50000u) << "a pause is 10 s short";
    dcfPtr->endRequest = 1;
    view.checks[IDC_RECEPTION_TEST] = true;
    dialog->ButtonClicked(IDC_RECEPTION_TEST);
    EXPECT_TRUE(port.open);
    EXPECT_EQ(dialog->runMode, 0);
    EXPECT_EQ(dcfPtr->endRequest, 0);
    EXPECT_EQ(+dcfPtr->cycleMinutes, 0);
    for (int id : {IDC_RECEPTION_TEST, IDC_AUTO_END, IDC_UTC, IDC_LOG, IDC_SERVER, IDC_MINUTES,
                   IDC_MINUTES_LABEL, IDC_TICK}) {
        EXPECT_TRUE(view.disabled[id]) << id;
    }
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
    EXPECT_EQ(view.log.back().substr(0, 30), "box Fehler|Einstellpause kann ");
    EXPECT_FALSE(port.open);
    dialog->PostedClose();
    EXPECT_TRUE(port.open) << "refused close: the port is opened again";
}

TEST_F(RunControlTest, AutoEndAndFieldRules) {
    const struct { bool autoEnd; const char* text; const char* field; int cycle; int mode; } cases[] = {
        {true, "2", "4", 4, 1},       {true, "0", "", 0, 0},         {true, "40000", "40000", 32767, 1},
        {false, "2", "2", 60, 0},     {true, "7", "7", 7, 1},
    };
    for (const auto& c : cases) {
        SetUp();
        view = RecordingView{};
        port = FakePort{};
        profile.keys["AUTOEND"] = "0";
        Start();
        view.texts[IDC_MINUTES] = c.text;
        view.checks[IDC_AUTO_END] = c.autoEnd;
        dialog->ButtonClicked(IDC_AUTO_END);
        EXPECT_EQ(view.texts[IDC_MINUTES], c.field) << c.text;
        EXPECT_EQ(+dcfPtr->cycleMinutes, c.cycle) << c.text;
        EXPECT_EQ(dialog->runMode, c.mode) << c.text;
        dialog.reset();
    }
}

TEST_F(RunControlTest, LeavingTheFieldAppliesAllowedValuesAndWarns) {
    profile.keys["CYCLE"] = "10";
    Start();
    const struct { const char* text; bool own; int gaining; int cycle; int boxes; } cases[] = {
        {"20", true, IDC_LOG, 20, 0}, {"2", true, IDC_LOG, 20, 1}, {"2", true, IDC_OK, 20, 1},
        {"2", false, 0, 20, 1},       {"+1000", true, IDC_LOG, 1000, 1}, {"40000", true, IDC_LOG, 1000, 2},
    };
    for (const auto& c : cases) {
        view.texts[IDC_MINUTES] = c.text;
        clock.Advance(5000);
        dialog->CycleFieldKillFocus(c.own, c.gaining);
        EXPECT_EQ(+dcfPtr->cycleMinutes, c.cycle) << c.text;
        EXPECT_EQ(view.Boxes(), c.boxes) << c.text;
        EXPECT_EQ(dialog->runEndTime, clock.NowMs() + 60000u * static_cast<uint32_t>(c.cycle));
    }
    view.timerFails = true;
    dialog->CycleFieldKillFocus(false, 0);
    EXPECT_EQ(dialog->runMode, 0) << "no timer: no time limit";
    EXPECT_EQ(view.log.back().substr(0, 30), "box Fehler|Maximallaufzeit kan");
}
