// The Windows program's frame and dialog, made from the program's own
// resources and driven with real window messages. The port is scripted, the
// network a scripted Netbios, the clock the dry-run one; the profile is the
// WIN.INI of the test's Wine prefix.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "chronvk_version.h"
#include "clock/win32/program_folder.h"
#include "input/dcf77_signal.h"
#include "network/network.h"
#include "tests/support/clock_fakes.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/scripted_netbios.h"
#include "ui/command_line.h"
#include "ui/ui_strings.h"
#include "ui/win32/app.h"
#include "ui/win32/win_seams.h"

namespace {

// "caption|text" of every message box, each answered with OK as it opens.
std::vector<std::string> boxes;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    char name[16] = {};
    if (code == HCBT_ACTIVATE && GetClassNameA(window, name, sizeof name) && std::string(name) == "#32770") {
        char caption[128] = {}, text[256] = {};
        GetWindowTextA(window, caption, sizeof caption);
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        boxes.push_back(std::string(caption) + "|" + text);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Restore, Maximize and Size of the open system menu ('e' enabled, 'g' grey),
// read once it is idle; the menu is then closed.
std::string openMenu;

LRESULT CALLBACK ReadOpenMenu(int code, WPARAM wParam, LPARAM lParam) {
    const auto& sent = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (sent.message == WM_ENTERIDLE && sent.wParam == MSGF_MENU) {
        const HMENU menu = GetSystemMenu(sent.hwnd, FALSE);
        for (UINT item : {UINT{SC_RESTORE}, UINT{SC_MAXIMIZE}, UINT{SC_SIZE}}) {
            openMenu += GetMenuState(menu, item, MF_BYCOMMAND) & MF_GRAYED ? 'g' : 'e';
        }
        EndMenu();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Waits for every file-server setter this process started.
void WaitForSetters() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    for (BOOL more = Process32FirstW(snapshot, &p); more; more = Process32NextW(snapshot, &p)) {
        const bool setter =
            p.th32ParentProcessID == GetCurrentProcessId() && !_wcsicmp(p.szExeFile, L"CHRONVNW.EXE");
        const HANDLE process = setter ? OpenProcess(SYNCHRONIZE, FALSE, p.th32ProcessID) : nullptr;
        if (process == nullptr) continue;
        EXPECT_EQ(WaitForSingleObject(process, 60000), WAIT_OBJECT_0);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

class WinProgram : public ::testing::Test {
protected:
    void SetUp() override {
        WriteProfileStringA(PROFILE_SECTION, nullptr, nullptr);
        SetPortPlatform(&ports_);
        UseNetbiosDriver(&netbios_);
        groupNameNumber = masterNameNumber = 0;
        boxes.clear();
        hook_ = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    }
    void TearDown() override {
        app_.reset();
        UnhookWindowsHookEx(hook_);
        UseNetbiosDriver(nullptr);
        SetPortPlatform(nullptr);
    }
    void Start() {
        app_.emplace(GetModuleHandleA(nullptr), seams_);
        ASSERT_TRUE(app_->InitMainWindow());
        app_->DispatchQueued();
    }
    HWND Dialog() { return app_->Dialog().Window(); }
    HWND Item(int id) { return GetDlgItem(Dialog(), id); }
    std::string Text(int id) { return app_->Dialog().GetText(id, 300); }
    static std::string Ini(const char* key) {
        char value[32];
        GetProfileStringA(PROFILE_SECTION, key, "-", value, sizeof value);
        return value;
    }
    // A key press as the loop gets it, IsDialogMessage included.
    void Press(HWND target, WPARAM key) {
        PostMessageA(target, WM_KEYDOWN, key, 0);
        app_->DispatchQueued();
    }

    FakePortPlatform ports_;
    ScriptedNetbios netbios_;
    DryRunSystemClock clock_;
    FakeMillisecondClock milliseconds_{5000};
    RecordingLauncher launcher_;
    WinIniProfile profile_;
    WindowsInterfaceLibrary library_;
    ResourceVersionStrings version_{GetModuleHandleA(nullptr)};
    ProgramSeams seams_{clock_, milliseconds_, launcher_, profile_, library_, version_};
    std::optional<dcf77App> app_;
    HHOOK hook_ = nullptr;
};

TEST_F(WinProgram, ReceivesConfirmsAndEndsByItselfWritingTheSettings) {
    DeleteFileA("CHRONVK.LOG");
    Start();
    // An empty section: the version texts of the resource; the defaults show in what is written at the end.
    EXPECT_EQ(Text(IDC_VERSION) + "|" + Text(IDC_COPYRIGHT) + "|" + Text(IDC_BUILD) + "|" + Text(IDC_OK),
              "CHRONVK Version " CHRONVK_VERSION "|(c) CHRONVK-Autoren|" CHRONVK_BUILD "|OK");

    // Minutes of signal until the first confirmation, sent as the sampler posts them.
    bool confirmed = false;
    dcf77::GenerateEdges(dcf77::OptionsForMinutes(dcf77::UtcMs(2026, 7, 14, 9, 0), 4), [&](dcf77::SampledEdge e) {
        if (confirmed) return;
        milliseconds_.Set(e.stampMs);
        SendMessageA(Dialog(), WM_COMMNOTIFY, e.level, static_cast<LPARAM>(e.stampMs));
        confirmed = clock_.RequestCount() > 0;
    });
    ASSERT_TRUE(confirmed);
    EXPECT_NE(Text(IDC_LAST_SETTING).find("14.07.26 11:03:"), std::string::npos) << Text(IDC_LAST_SETTING);

    // Auto-end: the posted close ends the dialog, the frame and the loop.
    EXPECT_FALSE(app_->DispatchQueued());
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_NE(GetFileAttributesA("CHRONVK.LOG"), INVALID_FILE_ATTRIBUTES);
    std::string written;
    for (const char* key : {"MINI", "UTC", "AUTOEND", "CYCLE", "LOG", "SERVER", "COM"}) written += Ini(key);
    EXPECT_EQ(written, "0010112");
    EXPECT_NE(netbios_.trace.find("delete0:CHRONVK"), std::string::npos) << netbios_.trace;
}

TEST_F(WinProgram, EscapeEndsWithoutWritingAndTheFrameMinimisesAsTold) {
    WriteProfileStringA(PROFILE_SECTION, "MINI", "1");
    Start();
    const HWND frame = app_->Frame();
    EXPECT_TRUE(IsIconic(frame));
    WriteProfileStringA(PROFILE_SECTION, nullptr, nullptr);  // so that any write shows
    SetFocus(Item(IDC_UTC));
    Press(Item(IDC_UTC), VK_ESCAPE);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(Ini("UTC") + Ini("MINI") + Ini("COM"), "---");
    EXPECT_EQ(netbios_.trace.find("delete"), std::string::npos) << netbios_.trace;
}

TEST_F(WinProgram, TheMinutesFieldKeepsTheFocusAndTheCloseUntilItsValueFits) {
    WriteProfileStringA(PROFILE_SECTION, "CYCLE", "4");  // a maximum run time, whose end is a close too
    Start();
    const HWND field = Item(IDC_MINUTES);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
    for (char typed : {'2', 'x', '-'}) SendMessageA(field, WM_CHAR, static_cast<WPARAM>(typed), 0);
    EXPECT_EQ(Text(IDC_MINUTES), "2");

    const std::string warning = "CHRONVK|Wert mu\xDF 0 oder mindestens 4 Minuten sein!";
    SetFocus(Item(IDC_UTC));  // away to a control of ours: the warning, and back
    EXPECT_EQ(boxes, std::vector<std::string>{warning});
    EXPECT_EQ(GetFocus(), field);
    Press(field, VK_TAB);  // Tab is refused the same way
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(GetFocus(), field);
    SendMessageA(Dialog(), WM_COMMAND, IDOK, 0);  // and so is the close
    EXPECT_EQ(boxes.size(), 3u);
    KillTimer(Dialog(), RUN_TIMER_ID);  // the run time runs out: each tick of the test's asks again
    const uint32_t end = app_->Dialog().Behaviour()->runEndTime;
    for (uint32_t tick = 1; tick <= 2; ++tick) {
        milliseconds_.Set(end + tick * 1000);
        SendMessageA(Dialog(), WM_TIMER, RUN_TIMER_ID, 0);
        app_->DispatchQueued();  // the close, refused by a warning that takes the field's focus
        EXPECT_EQ(boxes.size(), 3 + tick);
        EXPECT_EQ(app_->Dialog().Behaviour()->runEndTime, end) << "the run time began again";
    }

    SendMessageA(field, WM_CHAR, '5', 0);
    Press(field, VK_TAB);
    EXPECT_EQ(GetFocus(), Item(IDC_TICK));  // a refusal would have brought it back
    // A log-off asks the same question; now it saves, and a log-off called off ends the program.
    EXPECT_TRUE(SendMessageA(app_->Frame(), WM_QUERYENDSESSION, 0, 0));
    EXPECT_EQ(Ini("CYCLE"), "5");  // the returned focus had selected the "2"
    SendMessageA(app_->Frame(), WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(app_->DispatchQueued());
}

TEST_F(WinProgram, TheSetterAndTheInterfaceLibraryComeFromTheProgramsFolderOnly) {
    // First copies in the working folder only, which an elevated program must never use; then beside it.
    const std::wstring folders[] = {L"", ProgramFilePath("")}, own = folders[1];
    const char commandLine[] = "CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7";
    for (const std::wstring& folder : folders) {
        CopyFileW((own + L"chronvk_setter_standin.exe").c_str(), (folder + L"CHRONVNW.EXE").c_str(), FALSE);
        CopyFileW((own + L"chronvk_interface_standin.dll").c_str(), (folder + L"CHRONIFN.DLL").c_str(), FALSE);
        PlatformProgramLauncher().Launch(commandLine);
        WaitForSetters();
        EXPECT_EQ(library_.Load(), !folder.empty());
        library_.Release();
        std::string written;
        std::getline(std::ifstream((folder + L"setter.txt").c_str()), written);
        EXPECT_EQ(written, folder.empty() ? "" : commandLine) << "which setter started, and how";
    }
    for (const wchar_t* file : {L"CHRONVNW.EXE", L"CHRONIFN.DLL", L"setter.txt"}) {
        for (const std::wstring& folder : folders) DeleteFileW((folder + file).c_str());
    }
}

TEST_F(WinProgram, TheOpenSystemMenuOffersRestoreButNeitherMaximiseNorSize) {
    Start();
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, ReadOpenMenu, nullptr, GetCurrentThreadId());
    SendMessageA(app_->Frame(), WM_SYSCOMMAND, SC_KEYMENU, ' ');                // Alt+Space
    SendMessageA(app_->Frame(), WM_SYSCOMMAND, SC_MOUSEMENU | HTSYSMENU, 0);  // a click on the icon
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(openMenu, "eggegg");
}

TEST_F(WinProgram, TheKeyboardKeepsItsWayAfterEnterOnTheTickAFailedPortAndTheReceptionTest) {
    Start();
    SetFocus(Item(IDC_TICK));
    Press(Item(IDC_TICK), VK_RETURN);  // as a click there does: nothing
    ASSERT_TRUE(IsWindow(Dialog()));
    ports_.openFails = true;
    SendMessageA(Item(IDC_LPT1), BM_CLICK, 0, 0);  // unchecked again: no port button is checked
    std::string stops;
    for (const PortButton& b : kPortButtons) {
        stops += GetWindowLongA(Item(b.id), GWL_STYLE) & WS_TABSTOP ? 'T' : '-';
    }
    EXPECT_EQ(stops, "T--------") << "COM1 takes the group's one tab stop";
    SetFocus(Item(IDC_RECEPTION_TEST));
    SendMessageA(Item(IDC_RECEPTION_TEST), BM_CLICK, 0, 0);  // disables itself and all up to Help
    EXPECT_EQ(GetFocus(), Item(IDC_HELP_BUTTON));

}

TEST(WinResources, TheStringTableHoldsTheProgramsTextsInItsCodePage) {
    for (int id = IDS_MINUTES_MAX_RUN; id <= IDS_COUNTDOWN_PAUSE; ++id) {
        char text[128] = {};
        LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), text, sizeof text);
        EXPECT_EQ(text, ProgramStrings().Text(id)) << id;
    }
}

TEST(WinCommandLine, OnlyExactArgumentsCount) {
    // The polarity's "1" first, the network-off "N" second; near misses change nothing.
    const char* nearMisses[] = {"chronvk", "01", "n"};
    const char* exact[] = {"chronvk", "1", "N"};
    ownDcfState.polarity = 0;
    groupNameNumber = 0;
    ApplyCommandLine(1, exact);  // the arguments are not there
    ApplyCommandLine(3, nearMisses);
    EXPECT_EQ(ownDcfState.polarity * 10 + groupNameNumber, 0);
    ApplyCommandLine(3, exact);
    EXPECT_EQ(ownDcfState.polarity * 10 + groupNameNumber, 10 - 1);
}

}  // namespace
