// Fakes of every seam the dialog reaches, and a fixture that sets one up.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "input/port_sampler.h"
#include "network/network.h"
#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"
#include "reception/strict_confirmation.h"
#include "tests/support/clock_fakes.h"
#include "tests/support/fake_clock.h"
#include "ui/dlg_dcf77.h"
#include "ui/standard_seams.h"

// Remembers the controls; `boxes` holds "caption|text|style|owner" of each box,
// and `onBox` runs while one is "open", as its nested loop would.
class RecordingView final : public NullDialogView {
public:
    std::map<int, std::string> texts;
    std::map<int, bool> checks, disabled;
    std::vector<std::string> boxes;
    std::function<void()> onBox;
    bool timerFails = false, minimised = false, popupIsOwn = true;
    int focus = 0, posted = 0, ended = 0;

    void SetText(int id, std::string_view text) override { texts[id] = text; }
    std::string GetText(int id, std::size_t max) override { return texts[id].substr(0, max); }
    void SetCheck(int id, bool on) override { checks[id] = on; }
    bool IsChecked(int id) override { return checks[id]; }
    void Enable(int id, bool on) override { disabled[id] = !on; }
    void SetFocus(int id) override { focus = id; }
    int MessageBox(std::string_view text, std::string_view caption, unsigned style, BoxOwner owner) override {
        boxes.push_back(std::string(caption) + "|" + std::string(text) + "|" + std::to_string(style) +
                        "|" + std::to_string(static_cast<int>(owner)));
        if (onBox) onBox();
        return kBoxAnswerOk;
    }
    bool LastActivePopupIsOwn() override { return popupIsOwn; }
    bool StartTimer(int, unsigned) override { return !timerFails; }
    void PostClose() override { ++posted; }
    void EndDialog(int result) override { ended = result; }
    bool IsFrameMinimised() override { return minimised; }
};

// Lends a heap block filled with junk that dies on release: ASan sees late use.
class FakeLibrary final : public InterfaceLibrary {
public:
    bool present = false;
    std::unique_ptr<TDcfState> block;
    std::vector<int32_t> calls;
    bool Load() override { return present; }
    bool FindEntry() override { return true; }
    TDcfState* GetDcfPtr(int32_t request) override {
        calls.push_back(request);
        if (request != 1) return nullptr;
        block = std::make_unique<TDcfState>();
        std::memset(block.get(), 0xAA, sizeof(TDcfState));
        return block.get();
    }
    void Release() override { block.reset(); }
};

// Opens the nine codes; a second open fails the test.
class FakePort final : public PortControl {
public:
    std::string calls;
    bool open = false;
    bool Open(int32_t code) override {
        calls += "open" + std::to_string(code) + " ";
        EXPECT_FALSE(open) << "opened while a port is open";
        return open = IsPortButtonCode(code);
    }
    void Close() override {
        if (open) calls += "close ";
        open = false;
    }
};

class DialogTest : public ::testing::Test {
public:
    // Also between the cases of a table: a fresh program.
    void SetUp() override {
        dialog.reset();
        view = RecordingView{};
        profile = MemoryProfile{};
        version = TableVersionStrings{};
        port = FakePort{};
        library = FakeLibrary{};
        ResetReception();
        groupNameNumber = -1;  // no network in these tests
    }
    void TearDown() override {
        dialog.reset();
        strictConfirmation = robustReception = false;
    }
    TDlgDCF77& Start(RefclockSamples* samples = nullptr) {
        dialog = std::make_unique<TDlgDCF77>(
            DialogServices{view, profile, version, library, port, clock, systemClock, launcher});
        dialog->SetTimeSamples(samples);
        dialog->SetupWindow();
        return *dialog;
    }
    // An edge that brings a confirmation, as the telegram decoder raises it.
    void ConfirmingEdge() {
        TDcfState& s = *dcfPtr;
        s.setRequest = 1;
        s.endRequest = s.autoEnd;
        s.current = TDcfTelegram{0, 0, 0, 0, 12, 3, 4, 5, 26, 30, 0, 0, 1};
        timeConfirmed = 1;
        dialog->EdgeMessage(1, clock.NowMs());
    }

    RecordingView view;
    MemoryProfile profile;
    TableVersionStrings version;
    FakeLibrary library;
    FakePort port;
    FakeMillisecondClock clock{1000};
    ScriptedSystemClock systemClock;
    RecordingLauncher launcher;
    std::unique_ptr<TDlgDCF77> dialog;

    // The profile's keys as "KEY=value ...", in key order.
    std::string Keys() {
        std::string all;
        for (const auto& [key, value] : profile.keys) all += key + "=" + value + " ";
        return all;
    }
};

inline const std::string kAllSettings = "AUTOEND=1 COM=2 CYCLE=0 LOG=1 MINI=0 SERVER=1 UTC=0 ";
