#include "tests/ui/dialog_fakes.h"

#include "ui/ui_strings.h"

namespace {

const std::string kPortBox = "box Fehler|Schnittstelle kann nicht ge\xF6" "ffnet werden!|16|0";
const std::string kMinutesBox = "box CHRONVK|Wert mu\xDF 0 oder mindestens 4 Minuten sein!|48|2";

}  // namespace

TEST_F(DialogTest, SetUpReadsTheProfile) {
    struct Case {
        std::map<std::string, std::string> keys;
        bool utc, autoEnd;
        const char* field;
        int label, checkedButton;
        int cycle;
        int boxes;
    };
    const Case cases[] = {
        {{}, false, true, "", IDS_MINUTES_MAX_RUN, IDC_COM2, 0, 0},
        {{{"AUTOEND", "0"}}, false, false, "60", IDS_MINUTES_PAUSE, IDC_COM2, 60, 0},
        {{{"AUTOEND", "2"}, {"UTC", "65536"}}, false, true, "", IDS_MINUTES_MAX_RUN, IDC_COM2, 0, 0},
        {{{"UTC", "1"}, {"COM", "5"}}, true, true, "", IDS_MINUTES_MAX_RUN, 0, 0, 1},
        {{{"CYCLE", "-5"}, {"COM", "20"}}, false, true, "4", IDS_MINUTES_MAX_RUN, IDC_GAME, 4, 0},
        {{{"AUTOEND", "0"}, {"CYCLE", "65596"}}, false, false, "60", IDS_MINUTES_PAUSE, IDC_COM2, 60, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        view = RecordingView{};
        port = FakePort{};
        profile.keys = c.keys;
        Start();
        const TDcfState& s = *dcfPtr;
        EXPECT_EQ(view.checks[IDC_UTC], c.utc);
        EXPECT_EQ(s.setUtc, c.utc);
        EXPECT_EQ(view.checks[IDC_AUTO_END], c.autoEnd);
        EXPECT_EQ(view.texts[IDC_MINUTES], c.field);
        EXPECT_EQ(view.texts[IDC_MINUTES_LABEL], ProgramStrings().Text(c.label));
        EXPECT_EQ(+s.cycleMinutes, c.cycle);
        EXPECT_TRUE(view.checks[IDC_LOG] && view.checks[IDC_SERVER] && s.logEnabled && s.serverEnabled);
        for (const PortButton& b : kPortButtons) EXPECT_EQ(view.checks[b.id], b.id == c.checkedButton);
        EXPECT_EQ(view.Boxes(), c.boxes);
        if (c.boxes) { EXPECT_EQ(view.log[0], kPortBox); }
        EXPECT_EQ(port.open, c.boxes == 0);
        EXPECT_NE(s.confirmFlagPtr, 0u);
        dialog.reset();
    }
}

TEST_F(DialogTest, CloseWritesTheSettingsThatApply) {
    struct Case {
        const char* com;
        std::function<void(DialogTest&)> before;
        bool ok;
        const char* written;
    };
    const Case cases[] = {
        {"2", [](DialogTest& t) { t.view.texts[IDC_MINUTES] = "0000000000000000042"; }, true,
         "MINI=0 UTC=0 AUTOEND=1 LOG=1 SERVER=1 CYCLE=42 COM=2 "},
        {"5", [](DialogTest& t) { t.view.minimised = true; }, true,
         "MINI=1 UTC=0 AUTOEND=1 LOG=1 SERVER=1 CYCLE=0 COM=0 "},
        {"11", [](DialogTest& t) {
             t.view.checks[IDC_RECEPTION_TEST] = true;
             t.dialog->ButtonClicked(IDC_RECEPTION_TEST);
         }, true, "MINI=0 COM=11 "},
        {"2", [](DialogTest&) {}, false, ""},
    };
    for (const Case& c : cases) {
        SetUp();
        view = RecordingView{};
        profile = FakeProfile{};
        port = FakePort{};
        library.present = true;
        profile.keys["COM"] = c.com;
        Start();
        c.before(*this);
        library.calls.clear();
        c.ok ? dialog->OkCommand() : dialog->CancelCommand();
        EXPECT_EQ(Written(), c.written);
        EXPECT_EQ(view.ended, c.ok ? IDC_OK : IDC_CANCEL);
        EXPECT_EQ(library.calls, c.ok ? std::vector<int32_t>{-1} : std::vector<int32_t>{});
        EXPECT_EQ(dcfPtr == nullptr, c.ok);
        dialog.reset();
        EXPECT_FALSE(port.open) << "closed at destruction at the latest";
    }
}

TEST_F(DialogTest, LibraryBlockStartsAsOurOwnAndIsGivenBack) {
    ownDcfState.polarity = 1;
    library.present = true;
    Start();
    ASSERT_EQ(dcfPtr, library.block.get());
    TDcfState expected{};
    expected.polarity = 1;
    expected.autoEnd = expected.logEnabled = expected.serverEnabled = 1;
    expected.portCode = 2;
    expected.confirmFlagPtr = dcfPtr->confirmFlagPtr;
    EXPECT_EQ(std::memcmp(dcfPtr, &expected, sizeof expected), 0);
    dialog->OkCommand();
    EXPECT_EQ(library.calls, (std::vector<int32_t>{1, -1}));
    EXPECT_EQ(library.block, nullptr);
    EXPECT_TRUE(dialog->CanClose()) << "a second close answers yes";
    EXPECT_EQ(library.calls.size(), 2u);
}

TEST_F(DialogTest, VersionTexts) {
    const struct {
        VersionStrings::State state;
        std::map<std::string, std::string> strings;
        const char *product, *notice, *build;
        int boxes;
    } cases[] = {
        {VersionStrings::State::HasData,
         {{"ProductName", "CHRONVK"}, {"ProductVersion", "3.0.4"}, {"LegalCopyright", "(c) X"},
          {"SpecialBuild", "f. Windows/32bit"}},
         "CHRONVK Version 3.0.4", "(c) X", "f. Windows/32bit", 0},
        {VersionStrings::State::HasData, {{"ProductName", "CHRONVK"}, {"SpecialBuild", "b"}},
         "Version", "template", "b", 0},
        {VersionStrings::State::NoData, {}, kFallbackVersion, kFallbackNotice, "", 0},
        {VersionStrings::State::NoTranslationTable, {}, kFallbackVersion, kFallbackNotice, "", 1},
    };
    for (const auto& c : cases) {
        SetUp();
        view = RecordingView{};
        port = FakePort{};
        view.texts[IDC_VERSION] = "Version";
        view.texts[IDC_COPYRIGHT] = "template";
        version.state = c.state;
        version.strings = c.strings;
        Start();
        EXPECT_EQ(view.texts[IDC_VERSION], c.product);
        EXPECT_EQ(view.texts[IDC_COPYRIGHT], c.notice);
        EXPECT_EQ(view.texts[IDC_BUILD], c.build);
        EXPECT_EQ(view.Boxes(), c.boxes);
        if (c.boxes) { EXPECT_EQ(view.log[0], "box TRACE|CHRONVKN 0D|4096|1"); }
        EXPECT_TRUE(version.released);
        dialog.reset();
    }
}

TEST_F(DialogTest, ValidatorRules) {
    const struct { const char* text; bool autoEnd, ok; } cases[] = {
        {"", true, true}, {"0", true, true}, {"4", true, true}, {"2", true, false},
        {"2", false, true}, {"+1000", true, true}, {"10000", false, false}, {"1a", false, false},
        {"-1", false, false},
    };
    Start();
    for (const auto& c : cases) {
        dcfPtr->autoEnd = c.autoEnd;
        EXPECT_EQ(TCycleValidator(*dialog).CheckText(c.text), c.ok) << c.text;
    }
    dcfPtr = nullptr;
    EXPECT_TRUE(TCycleValidator(*dialog).CheckText("2")) << "after clean-up only the range counts";
    dcfPtr = &ownDcfState;
}

TEST_F(DialogTest, RefusedOkLeavesEverythingRunning) {
    Start();
    view.texts[IDC_MINUTES] = "2";
    dialog->OkCommand();
    EXPECT_EQ(view.log.back(), kMinutesBox);
    EXPECT_EQ(view.focus, IDC_MINUTES);
    EXPECT_EQ(view.ended, 0);
    EXPECT_TRUE(port.open);
    EXPECT_EQ(Written(), "");
    view.popupIsOwn = false;
    EXPECT_FALSE(dialog->CycleFieldTab());
    EXPECT_EQ(view.log.back(), "box CHRONVK|Wert mu\xDF 0 oder mindestens 4 Minuten sein!|8240|1");
    view.texts[IDC_MINUTES] = "4";
    dialog->OkCommand();
    EXPECT_EQ(view.ended, IDC_OK);
}

TEST_F(DialogTest, PortButtons) {
    Start();
    port.calls.clear();
    port.failing = {3};
    view.checks[IDC_COM2] = false;
    view.checks[IDC_COM3] = true;
    dialog->ButtonClicked(IDC_COM3);
    EXPECT_FALSE(view.checks[IDC_COM3]) << "a failed switch leaves no button checked";
    dialog->ButtonClicked(IDC_LPT1);  // ends up unchecked: nothing happens
    view.checks[IDC_GAME] = true;
    dialog->ButtonClicked(IDC_GAME);
    dialog->ButtonClicked(IDC_GAME);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"close", "open 3", "open 20", "close", "open 20"}));
    EXPECT_EQ(activePort, 20);
    EXPECT_EQ(view.Boxes(), 1);
    dialog->ButtonClicked(IDC_HELP_BUTTON);
    EXPECT_EQ(view.log.back(), "help CHRONVK.HLP");
}

TEST_F(DialogTest, TelegramsStoredIsThreeWhileSettingAndTwoAfter) {
    profile.keys["AUTOEND"] = "0";
    profile.keys["CYCLE"] = "0";
    Start();
    int during = 0;
    systemClock.result = 4;
    view.onBox = [&] { during = dcfPtr->telegramsStored; };
    ConfirmingEdge();
    EXPECT_EQ(during, 3);
    EXPECT_EQ(+dcfPtr->telegramsStored, 2);
    EXPECT_EQ(dcfPtr->statusChanged, 1);
    EXPECT_EQ(systemClock.requests.size(), 1u);
    EXPECT_TRUE(port.open);
}

// A close of any kind while a box is open waits for the handlers to return.
TEST_F(DialogTest, ClosesInsideABoxWaitForTheHandler) {
    const struct { void (TDlgDCF77::*close)(); int result; const char* written; } cases[] = {
        {&TDlgDCF77::OkCommand, IDC_OK, "MINI=0 UTC=0 AUTOEND=1 LOG=1 SERVER=1 CYCLE=0 COM=2 "},
        {&TDlgDCF77::CancelCommand, IDC_CANCEL, ""},
        {&TDlgDCF77::PostedClose, IDC_OK, "MINI=0 UTC=0 AUTOEND=1 LOG=1 SERVER=1 CYCLE=0 COM=2 "},
    };
    for (const auto& c : cases) {
        SetUp();
        view = RecordingView{};
        profile = FakeProfile{};
        port = FakePort{};
        library.present = true;
        Start();
        systemClock.result = 4;
        bool endedInside = true;
        view.onBox = [&] {
            (dialog.get()->*c.close)();
            EXPECT_FALSE(dialog->CanClose());
            endedInside = view.ended != 0;
        };
        ConfirmingEdge();
        EXPECT_FALSE(endedInside);
        EXPECT_EQ(view.ended, c.result);
        EXPECT_EQ(Written(), c.written);
        dialog.reset();
    }
}

TEST_F(DialogTest, LogOffInsideABoxReleasesTheRecordAfterTheHandler) {
    library.present = true;
    Start();
    systemClock.result = 4;
    view.onBox = [&] {
        EXPECT_TRUE(dialog->QueryEndSession());
        EXPECT_FALSE(port.open);
        EXPECT_NE(library.block, nullptr) << "the handler below still uses the record";
        dialog->EdgeMessage(0, 2000);  // dropped
    };
    ConfirmingEdge();
    EXPECT_EQ(library.block, nullptr);
    EXPECT_EQ(dcfPtr, nullptr);
    EXPECT_EQ(Written(), "MINI=0 UTC=0 AUTOEND=1 LOG=1 SERVER=1 CYCLE=0 COM=2 ");
    dialog->TimerMessage();
    dialog->EdgeMessage(1, 3000);
    EXPECT_EQ(view.ended, 0);
    dialog->EndSession(false);
    EXPECT_EQ(view.ended, IDC_OK) << "a log-off called off ends the program";
    EXPECT_EQ(library.calls, (std::vector<int32_t>{1, -1}));
}

TEST_F(DialogTest, LogOffDuringTheTraceBoxWritesNoSettings) {
    version.state = VersionStrings::State::NoTranslationTable;
    view.onBox = [&] { EXPECT_TRUE(dialog->QueryEndSession()); };
    Start();
    EXPECT_EQ(Written(), "");
    EXPECT_FALSE(port.open);
    EXPECT_EQ(port.calls, std::vector<std::string>{}) << "set-up stopped after the box";
}
