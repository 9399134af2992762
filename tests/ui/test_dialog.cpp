#include "tests/ui/dialog_fakes.h"
#include "reception/strict_confirmation.h"
#include "ui/ui_strings.h"

namespace {
const std::string kPortBox = "Fehler|Schnittstelle kann nicht ge\xF6" "ffnet werden!|16|0";
const std::string kMinutesText = "CHRONVK|Wert mu\xDF 0 oder mindestens 4 Minuten sein!|";
}  // namespace

TEST_F(DialogTest, SetUpReadsTheProfile) {
    const struct {
        std::map<std::string, std::string> keys;
        bool utc, autoEnd;
        const char* field;
        int label, button, cycle;
    } cases[] = {
        {{}, false, true, "", IDS_MINUTES_MAX_RUN, IDC_COM2, 0},
        {{{"AUTOEND", "0"}}, false, false, "60", IDS_MINUTES_PAUSE, IDC_COM2, 60},
        {{{"AUTOEND", "2"}, {"UTC", "65536"}}, false, true, "", IDS_MINUTES_MAX_RUN, IDC_COM2, 0},
        {{{"UTC", "1"}, {"COM", "5"}}, true, true, "", IDS_MINUTES_MAX_RUN, 0, 0},
        {{{"CYCLE", "-5"}, {"COM", "20"}}, false, true, "4", IDS_MINUTES_MAX_RUN, IDC_GAME, 4},
        {{{"CYCLE", "20000"}}, false, true, "9999", IDS_MINUTES_MAX_RUN, IDC_COM2, 9999},
        {{{"STRICT", "1"}}, false, true, "", IDS_MINUTES_MAX_RUN, IDC_COM2, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        profile.keys = c.keys;
        strictConfirmation = true;  // left over from an earlier run: set-up decides
        Start();
        EXPECT_EQ(strictConfirmation, c.keys.count("STRICT") != 0);
        EXPECT_EQ(view.checks[IDC_UTC] + 2 * view.checks[IDC_AUTO_END], c.utc + 2 * c.autoEnd);
        EXPECT_EQ(dcfPtr->setUtc + 2 * dcfPtr->autoEnd, c.utc + 2 * c.autoEnd);
        EXPECT_EQ(view.texts[IDC_MINUTES], c.field);
        EXPECT_EQ(view.texts[IDC_MINUTES_LABEL], ProgramStrings().Text(c.label));
        EXPECT_EQ(+dcfPtr->cycleMinutes, c.cycle);
        EXPECT_TRUE(view.checks[IDC_LOG] && view.checks[IDC_SERVER] && dcfPtr->logEnabled);
        for (const PortButton& b : kPortButtons) EXPECT_EQ(view.checks[b.id], b.id == c.button);
        EXPECT_EQ(view.boxes, c.button ? std::vector<std::string>{} : std::vector{kPortBox});
        EXPECT_EQ(port.open, c.button != 0);
    }
}

TEST_F(DialogTest, CloseWritesTheSettingsThatApply) {
    const struct {
        const char* com;
        std::function<void(DialogTest&)> before;
        const char* written;
    } cases[] = {
        {"2", [](DialogTest& t) { t.view.texts[IDC_MINUTES] = "0000000000000000042"; },
         "AUTOEND=1 COM=2 CYCLE=42 LOG=1 MINI=0 SERVER=1 UTC=0 "},
        {"5", [](DialogTest& t) { t.view.minimised = true; },
         "AUTOEND=1 COM=0 CYCLE=0 LOG=1 MINI=1 SERVER=1 UTC=0 "},
        {"11", [](DialogTest& t) {
             t.view.checks[IDC_RECEPTION_TEST] = true;
             t.dialog->ButtonClicked(IDC_RECEPTION_TEST);
         }, "COM=11 MINI=0 "},
        {"2", nullptr, "COM=2 "},  // Escape
    };
    for (const auto& c : cases) {
        SetUp();
        library.present = true;
        profile.keys["COM"] = c.com;
        Start();
        c.before ? c.before(*this), dialog->OkCommand() : dialog->CancelCommand();
        EXPECT_EQ(Keys(), c.written);
        EXPECT_EQ(view.ended, c.before ? IDC_OK : IDC_CANCEL);
        EXPECT_EQ(library.calls, (c.before ? std::vector{1, -1} : std::vector{1}));
        dialog.reset();
        EXPECT_FALSE(port.open) << "closed at destruction at the latest";
    }
}

TEST_F(DialogTest, LibraryBlockStartsAsOurOwnAndCleanUpRunsOnce) {
    ownDcfState.polarity = 1;
    library.present = true;
    Start();
    ASSERT_EQ(dcfPtr, library.block.get());
    TDcfState expected{};
    expected.polarity = expected.autoEnd = expected.logEnabled = expected.serverEnabled = 1;
    expected.portCode = 2;
    expected.confirmFlagPtr = dcfPtr->confirmFlagPtr;
    EXPECT_EQ(std::memcmp(dcfPtr, &expected, sizeof expected), 0);
    dialog->OkCommand();
    EXPECT_EQ(dcfPtr, nullptr);
    EXPECT_TRUE(dialog->CanClose());
}

TEST_F(DialogTest, VersionTexts) {
    using S = VersionStrings::State;
    const struct { S state; const char* without; const char* texts; } cases[] = {
        {S::HasData, "", "CHRONVK Version 3.0.4|(c) die CHRONVK-Entwickler|f. Windows/32bit"},
        {S::HasData, "ProductVersion", "Version|(c) die CHRONVK-Entwickler|f. Windows/32bit"},
        {S::NoTranslationTable, "", "CHRONVK Version 3.0.4|(c) die CHRONVK-Entwickler|"},
    };
    for (const auto& c : cases) {
        SetUp();
        view.texts[IDC_VERSION] = "Version";
        version.state = c.state;
        version.strings.erase(c.without);
        Start();
        EXPECT_EQ(view.texts[IDC_VERSION] + "|" + view.texts[IDC_COPYRIGHT] + "|" + view.texts[IDC_BUILD], c.texts);
        EXPECT_EQ(view.boxes.size(), c.state == S::NoTranslationTable ? 1u : 0u);
        EXPECT_TRUE(version.released);
    }
    EXPECT_EQ(view.boxes[0], "TRACE|CHRONVKN 0D|4096|1");
}

TEST_F(DialogTest, ValidatorRulesAndRefusedOk) {
    const struct { const char* text; bool autoEnd, ok; } cases[] = {
        {"", true, true}, {"2", true, false}, {"2", false, true}, {"+1000", true, true}, {"1a", false, false}};
    Start();
    for (const auto& c : cases) {
        dcfPtr->autoEnd = c.autoEnd;
        EXPECT_EQ(TCycleValidator(*dialog).CheckText(c.text), c.ok) << c.text;
    }
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
