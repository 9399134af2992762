// Fakes of every seam the dialog reaches, and a fixture that sets one up.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "input/port_sampler.h"
#include "network/netbios_driver.h"
#include "network/network.h"
#include "reception/edge_decoder.h"
#include "tests/support/clock_fakes.h"
#include "tests/support/fake_clock.h"
#include "tests/support/scripted_netbios.h"
#include "ui/dlg_dcf77.h"
#include "ui/settings.h"

// Remembers the controls' state; `log` records boxes, timer, close and help
// calls in order. `onBox` runs while a box is "open" and gives its answer.
class RecordingView final : public DialogView {
public:
    std::map<int, std::string> texts;
    std::map<int, bool> checks, disabled;
    std::vector<std::string> log;
    std::function<void()> onBox;
    bool timerFails = false, minimised = false, popupIsOwn = true;
    int focus = 0, posted = 0, ended = 0, openBoxes = 0, maxOpenBoxes = 0;

    void SetText(int id, std::string_view text) override { texts[id] = text; }
    std::string GetText(int id, std::size_t max) override { return texts[id].substr(0, max); }
    void SetCheck(int id, bool on) override { checks[id] = on; }
    bool IsChecked(int id) override { return checks[id]; }
    void Enable(int id, bool on) override { disabled[id] = !on; }
    void SetFocus(int id) override { focus = id; }
    int MessageBox(std::string_view text, std::string_view caption, unsigned style,
                   BoxOwner owner) override {
        log.push_back("box " + std::string(caption) + "|" + std::string(text) + "|" +
                      std::to_string(style) + "|" + std::to_string(static_cast<int>(owner)));
        maxOpenBoxes = std::max(maxOpenBoxes, ++openBoxes);
        if (onBox) onBox();
        --openBoxes;
        return kBoxAnswerOk;
    }
    bool LastActivePopupIsOwn() override { return popupIsOwn; }
    bool StartTimer(int id, unsigned ms) override {
        log.push_back("timer " + std::to_string(id) + " " + std::to_string(ms));
        return !timerFails;
    }
    void StopTimer(int) override { log.push_back("stop"); }
    void PostClose() override { ++posted; }
    void EndDialog(int result) override { ended = result; }
    bool IsFrameMinimised() override { return minimised; }
    void OpenHelp(const char* file) override { log.push_back(std::string("help ") + file); }
    int Boxes() const {
        int n = 0;
        for (const auto& line : log) n += line.rfind("box ", 0) == 0;
        return n;
    }
};

class FakeProfile final : public Profile {
public:
    std::map<std::string, std::string> keys;
    std::vector<std::string> written;
    int32_t GetInt(const char* key, int32_t fallback) override {
        auto it = keys.find(key);
        return it == keys.end() || it->second.empty() ? fallback : ProfileIntFromText(it->second);
    }
    void WriteString(const char* key, const char* value) override {
        keys[key] = value;
        written.push_back(std::string(key) + "=" + value);
    }
};

class FakeVersion final : public VersionStrings {
public:
    State state = State::NoData;
    std::map<std::string, std::string> strings;
    bool released = false;
    State Load() override { return state; }
    bool Get(const char* name, std::string& text) override {
        auto it = strings.find(name);
        if (it == strings.end()) return false;
        text = it->second;
        return true;
    }
    void Release() override { released = true; }
};

// Lends a heap block that dies on release, so ASan sees any late use.
class FakeLibrary final : public InterfaceLibrary {
public:
    bool present = false, hasEntry = true;
    std::unique_ptr<TDcfState> block;
    std::vector<int32_t> calls;
    bool Load() override { return present; }
    bool FindEntry() override { return hasEntry; }
    TDcfState* GetDcfPtr(int32_t request) override {
        calls.push_back(request);
        if (request == 1) {
            block = std::make_unique<TDcfState>();
            std::memset(block.get(), 0xAA, sizeof(TDcfState));
        }
        return request == 1 ? block.get() : nullptr;
    }
    void Release() override { block.reset(); }
};

// Opens any port button code not in `failing`; fails the test on a second open.
class FakePort final : public PortControl {
public:
    std::set<int32_t> failing;
    std::vector<std::string> calls;
    bool open = false;
    bool Open(int32_t code) override {
        calls.push_back("open " + std::to_string(code));
        EXPECT_FALSE(open) << "opened while a port is open";
        open = IsPortButtonCode(code) && failing.count(code) == 0;
        return open;
    }
    void Close() override {
        if (open) calls.push_back("close");
        open = false;
    }
};

class DialogTest : public ::testing::Test {
public:
    void SetUp() override {
        ownDcfState = TDcfState{};
        dcfPtr = &ownDcfState;
        timeConfirmed = 0;
        groupNameNumber = masterNameNumber = 0;
        activePort = 0;
        ResetEdgeDecoderForTest();
        UseNetbiosDriver(&netbios);
    }
    void TearDown() override {
        dialog.reset();
        UseNetbiosDriver(nullptr);
    }
    TDlgDCF77& Start() {
        dialog = std::make_unique<TDlgDCF77>(
            DialogServices{view, profile, version, library, port, clock, systemClock, launcher});
        dialog->SetupWindow();
        return *dialog;
    }
    // An edge that brings a confirmation, as the telegram decoder would raise it.
    void ConfirmingEdge() {
        TDcfState& s = *dcfPtr;
        s.setRequest = 1;
        s.endRequest = s.autoEnd;
        s.current = TDcfTelegram{0, 0, 0, 0, 12, 3, 4, 5, 26, 30, 0, 0, 1};
        timeConfirmed = 1;
        dialog->EdgeMessage(1, clock.NowMs());
    }
    std::string Written() const {
        std::string all;
        for (const auto& w : profile.written) all += w + " ";
        return all;
    }

    RecordingView view;
    FakeProfile profile;
    FakeVersion version;
    FakeLibrary library;
    FakePort port;
    FakeMillisecondClock clock{1000};
    ScriptedSystemClock systemClock;
    RecordingLauncher launcher;
    ScriptedNetbios netbios{-1};
    std::unique_ptr<TDlgDCF77> dialog;
};
