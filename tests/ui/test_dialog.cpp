#include "tests/ui/dialog_fakes.h"
#include "input/port_sampler.h"
#include "reception/strict_confirmation.h"
#include "ui/ui_strings.h"

namespace {
const std::string kPortBox = "Fehler|Schnittstelle kann nicht ge\xF6" "ffnet werden!|16|0";
const std::string kMinutesText = "CHRONVK|Wert mu\xDF 0 oder mindestens 4 Minuten sein!|";
}  // namespace

TEST_F(DialogTest, SetUpReadsTheProfile) {
    // The field shows the minutes, empty for none; its label follows the auto-end box.
    const struct { std::map<std::string, std::string> keys; bool utc, autoEnd; int button, cycle; } cases[] = {
        {{{"AUTOEND", "0"}}, false, false, IDC_COM2, 60},
        {{{"AUTOEND", "2"}, {"UTC", "65536"}}, false, true, IDC_COM2, 0},
        {{{"UTC", "1"}, {"COM", "5"}}, true, true, 0, 0},
        {{{"CYCLE", "-5"}, {"COM", "20"}}, false, true, IDC_GAME, 4},
        {{{"CYCLE", "20000"}}, false, true, IDC_COM2, 9999},
        {{{"STRICT", "1"}, {"EVENTS", "1"}}, false, true, IDC_COM2, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        profile.keys = c.keys;
        strictConfirmation = true;  // left over from an earlier run: set-up decides
        Start();
        EXPECT_EQ(strictConfirmation, c.keys.count("STRICT") != 0);
        EXPECT_EQ(PortEvents(), c.keys.count("EVENTS") != 0);
        EXPECT_EQ(view.checks[IDC_UTC] + 2 * view.checks[IDC_AUTO_END], c.utc + 2 * c.autoEnd);
        EXPECT_EQ(dcfPtr->setUtc + 2 * dcfPtr->autoEnd, c.utc + 2 * c.autoEnd);
        EXPECT_EQ(view.texts[IDC_MINUTES], c.cycle ? std::to_string(c.cycle) : "");
        EXPECT_EQ(view.texts[IDC_MINUTES_LABEL], ProgramStrings().Text(c.autoEnd ? IDS_MINUTES_MAX_RUN : IDS_MINUTES_PAUSE));
        EXPECT_EQ(+dcfPtr->cycleMinutes, c.cycle);
        for (const PortButton& b : kPortButtons) EXPECT_EQ(view.checks[b.id], b.id == c.button);
        EXPECT_EQ(view.boxes, c.button ? std::vector<std::string>{} : std::vector{kPortBox});
    }
}

TEST_F(DialogTest, CloseWritesTheSettingsThatApply) {
    enum End { Ok, Cancel, Signal };
    const struct { const char *com, *minutes; bool minimised, receptionTest; End end; const char* written; } cases[] = {
        {"2", "0000000000000000042", false, false, Ok, "AUTOEND=1 COM=2 CYCLE=42 LOG=1 MINI=0 SERVER=1 UTC=0 "},
        {"5", "", true, false, Ok, "AUTOEND=1 COM=0 CYCLE=0 LOG=1 MINI=1 SERVER=1 UTC=0 "},
        {"11", "", false, true, Ok, "COM=11 MINI=0 "},
        {"2", "", false, false, Cancel, "COM=2 "},
        // A service stop saves all but a refused minutes value, which stays as stored.
        {"2", "2", false, false, Signal, "AUTOEND=1 COM=2 CYCLE=x LOG=1 MINI=0 SERVER=1 UTC=0 "},
    };
    for (const auto& c : cases) {
        SetUp();
        library.present = true;
        profile.keys["COM"] = c.com;
        Start();
        if (c.end == Signal) profile.keys["CYCLE"] = "x";
        view.texts[IDC_MINUTES] = c.minutes;
        view.minimised = c.minimised;
        view.checks[IDC_RECEPTION_TEST] = c.receptionTest;
        if (c.receptionTest) dialog->ButtonClicked(IDC_RECEPTION_TEST);
        if (c.end == Ok) dialog->OkCommand();
        if (c.end == Cancel) dialog->CancelCommand();
        if (c.end == Signal) {
            EXPECT_FALSE(dialog->SignalledEnd());
        }
        EXPECT_EQ(Keys(), c.written);
        EXPECT_EQ(view.ended, c.end == Cancel ? IDC_CANCEL : IDC_OK);
        EXPECT_EQ(library.calls, (c.end == Cancel ? std::vector{1} : std::vector{1, -1}));
        dialog.reset();
        EXPECT_FALSE(port.open) << "closed at destruction at the latest";
    }
}

TEST_F(DialogTest, LibraryBlockStartsAsOurOwn) {
    ownDcfState.polarity = 1;
    library.present = true;
    Start();
    ASSERT_EQ(dcfPtr, library.block.get());
    TDcfState expected{};
    expected.polarity = expected.autoEnd = expected.logEnabled = expected.serverEnabled = 1;
    expected.portCode = 2;
    expected.confirmFlagPtr = dcfPtr->confirmFlagPtr;
    EXPECT_EQ(std::memcmp(dcfPtr, &expected, sizeof expected), 0);
}

TEST_F(DialogTest, PauseMinutesBelowFourAndRefusedOk) {
    Start();
    dcfPtr->autoEnd = 0;
    EXPECT_TRUE(TCycleValidator(*dialog).CheckText("2"));
    dcfPtr->autoEnd = 1;
    view.texts[IDC_MINUTES] = "2";
    dialog->OkCommand();
    EXPECT_EQ(view.boxes.back(), kMinutesText + "48|2");
    EXPECT_TRUE(view.focus == IDC_MINUTES && view.ended == 0 && port.open && Keys().empty());
    view.popupIsOwn = false;
    EXPECT_FALSE(dialog->CycleFieldTab());
    EXPECT_EQ(view.boxes.back(), kMinutesText + "8240|1");
    view.texts[IDC_MINUTES] = "4";
    dialog->OkCommand();
    EXPECT_EQ(view.ended, IDC_OK);
}

TEST_F(DialogTest, TelegramsStoredIsThreeWhileSettingAndTwoAfter) {
    profile.keys = {{"AUTOEND", "0"}, {"CYCLE", "0"}};
    Start();
    int during = 0;
    systemClock.result = ClockResult::kTimeRefused;  // refused: a box while the setting runs
    view.onBox = [&] { during = dcfPtr->telegramsStored; };
    ConfirmingEdge();
    EXPECT_EQ(during, 3);
    EXPECT_EQ(dcfPtr->telegramsStored + 10 * dcfPtr->statusChanged, 12);
    EXPECT_TRUE(port.open);
}

TEST_F(DialogTest, ClosesInsideABoxWaitForTheHandler) {
    const struct { void (TDlgDCF77::*close)(); int result; std::string written; } cases[] = {
        {&TDlgDCF77::OkCommand, IDC_OK, kAllSettings},
        {&TDlgDCF77::CancelCommand, IDC_CANCEL, ""},
        {&TDlgDCF77::PostedClose, IDC_OK, kAllSettings},
    };
    for (const auto& c : cases) {
        SetUp();
        library.present = true;
        Start();
        systemClock.result = ClockResult::kTimeRefused;
        view.onBox = [&] {
            (dialog.get()->*c.close)();
            EXPECT_FALSE(dialog->CanClose());
            EXPECT_EQ(view.ended, 0);
        };
        ConfirmingEdge();
        EXPECT_EQ(view.ended, c.result);
        EXPECT_EQ(Keys(), c.written);
    }
}

TEST_F(DialogTest, LogOffInsideABoxReleasesTheRecordAfterTheHandler) {
    library.present = true;
    Start();
    systemClock.result = ClockResult::kTimeRefused;
    view.onBox = [&] {
        EXPECT_TRUE(dialog->QueryEndSession());
        EXPECT_FALSE(port.open);
        EXPECT_NE(library.block, nullptr) << "the handler below still uses the record";
        dialog->EdgeMessage(0, 2000);  // dropped
    };
    ConfirmingEdge();
    EXPECT_EQ(dcfPtr, nullptr);
    EXPECT_EQ(Keys(), kAllSettings);
    dialog->TimerMessage();
    EXPECT_EQ(view.ended, 0);
    dialog->EndSession(false);
    EXPECT_EQ(view.ended, IDC_OK) << "a log-off called off ends the program";
    EXPECT_EQ(library.calls, (std::vector{1, -1}));

    SetUp();  // during the set-up's first box: no settings read, none written
    version.state = VersionStrings::State::NoTranslationTable;
    view.onBox = [&] { EXPECT_TRUE(dialog->QueryEndSession()); };
    Start();
    EXPECT_EQ(Keys() + port.calls, "");
}
