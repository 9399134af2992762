#include "tools/decode/decode_session.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "clock/system_clock.h"
#include "input/port_table.h"
#include "network/network.h"
#include "reception/dcf_state.h"
#include "reception/display_texts.h"
#include "reception/edge_decoder.h"
#include "tools/decode/decode_chart.h"
#include "ui/dlg_dcf77.h"
#include "ui/standard_seams.h"
#include "ui/ui_strings.h"

namespace {

void AppendNumber(std::string& out, uint64_t value) {
    char digits[24];
    out += text_detail::FormatDecimal(static_cast<int64_t>(value), digits);
}

// A reception text keeps its separating space even when it is empty.
void AppendLine(std::string& out, uint64_t index, std::string_view label, std::string_view text,
                bool spaceWhenEmpty = true) {
    AppendNumber(out, index);
    out += ' ';
    out += label;
    if (spaceWhenEmpty || !text.empty()) {
        out += ' ';
        out += text;
    }
    out += '\n';
}

void AppendRecord(std::string& out, uint64_t index, const TDcfState& state) {
    static constexpr char kHex[] = "0123456789abcdef";
    unsigned char bytes[sizeof(TDcfState)];
    std::memcpy(bytes, &state, sizeof bytes);
    AppendNumber(out, index);
    out += " record ";
    for (unsigned char b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    out += '\n';
}

// "<n> set 2026-12-06 13:05:00 UTC", or "refused" when the clock would not take it.
void AppendClockSetting(std::string& out, uint64_t index, const SystemTime& utc, bool set) {
    char text[64];
    std::snprintf(text, sizeof text, " %s %04u-%02u-%02u %02u:%02u:%02u UTC\n",
                  set ? "set" : "refused", unsigned{utc.wYear}, unsigned{utc.wMonth},
                  unsigned{utc.wDay}, unsigned{utc.wHour}, unsigned{utc.wMinute},
                  unsigned{utc.wSecond});
    AppendNumber(out, index);
    out += text;
}

// Whether a tick at `tick` comes before (or with) an event at `at`: the
// difference read as signed, so the clock's wrap changes nothing.
bool DueBy(uint32_t tick, uint32_t at) { return static_cast<int32_t>(at - tick) >= 0; }

}  // namespace

// The program in a replay: the dialog with seams that print what a user would
// see, driven by the log's stamps.
class DecodeSession::Program final : public NullDialogView,
                                     public PortControl,
                                     public MillisecondClock,
                                     public SystemClock,
                                     public ProgramLauncher {
public:
    explicit Program(const DecodeOptions& options)
        : chart_(options.chart ? std::make_unique<QualityChart>() : nullptr), options_(options) {
        // As a fresh process starts: the own record with the command line's
        // polarity, the network off.
        ResetReception();
        ownDcfState.polarity = options.polarity;
        groupNameNumber = -1;
        masterNameNumber = 0;
        auto flag = [](bool on) { return on ? "1" : "0"; };
        profile_.keys = {{PROFILE_UTC, flag(options.utc)},
                         {PROFILE_STRICT, flag(options.strict)},
                         {PROFILE_ROBUST, flag(options.robust)}};
        if (options.program) {
            profile_.keys.insert({{PROFILE_AUTOEND, flag(options.autoEnd)},
                                  {PROFILE_CYCLE, options.minutes},
                                  {PROFILE_LOG, flag(options.log)},
                                  {PROFILE_FILE_SERVER, flag(options.server)},
                                  {PROFILE_COM, options.com}});
        } else {
            // Reception only: nothing ends, pauses or logs, and the record
            // names no port.
            profile_.keys.insert({{PROFILE_AUTOEND, "0"}, {PROFILE_CYCLE, "0"}, {PROFILE_LOG, "0"},
                                  {PROFILE_FILE_SERVER, "0"}, {PROFILE_COM, "0"}});
        }
    }

    ~Program() override {
        // The replay stops here; the program has not closed, so nothing of
        // the dialog's teardown is printed.
        out_ = nullptr;
        dialog_.reset();
    }

    void Edge(uint8_t level, uint32_t stamp, std::string& out) {
        out_ = &out;
        if (!dialog_ && !closed_) SetUp(stamp);
        RunTicks(stamp);
        const uint64_t n = ++edgeCount_;
        if (closed_) return;
        // A closed port posts nothing: an edge of a pause is lost.
        if (options_.program && !portOpen_) return;
        line_ = n;
        now_ = stamp;
        dialog_->EdgeMessage(level, stamp);
        if (chart_) chart_->Collect();
        if (options_.dump && dcfPtr != nullptr) AppendRecord(out, n, *dcfPtr);
        RunPosted();
    }

    void Finish(std::string& out) {
        out_ = &out;
        if (dialog_ && !closed_) RunTicks(now_ + options_.runOnSeconds * 1000u);
    }

    uint64_t edgeCount_ = 0;
    bool closed_ = false;
    std::unique_ptr<QualityChart> chart_;

private:
    void SetUp(uint32_t stamp) {
        now_ = stamp;
        line_ = edgeCount_;
        dialog_ = std::make_unique<TDlgDCF77>(
            DialogServices{*this, profile_, version_, library_, *this, *this, *this, *this});
        dialog_->SetupWindow();
        TDcfState* state = dcfPtr;
        if (options_.receptionTest && state != nullptr) {
            if (options_.program) {
                SetCheck(IDC_RECEPTION_TEST, true);
                dialog_->ButtonClicked(IDC_RECEPTION_TEST);
            } else {
                // Reception only: the record says so, the other options stay.
                state->receptionTest = 1;
            }
        }
        RunPosted();
    }

    // The window timer's ticks at every whole period since it was started,
    // up to `until`, each at its own time.
    void RunTicks(uint32_t until) {
        line_ = edgeCount_;
        while (timerRunning_ && !closed_ && DueBy(nextTick_, until)) {
            now_ = nextTick_;
            nextTick_ += RUN_TIMER_PERIOD_MS;
            dialog_->TimerMessage();
            RunPosted();
        }
        now_ = until;
    }

    // A close the dialog posted runs once its handler has returned.
    void RunPosted() {
        while (closePosted_ && !closed_) {
            closePosted_ = false;
            dialog_->PostedClose();
        }
    }

    void Print(std::string_view label, std::string_view text) {
        if (out_ != nullptr && options_.program) AppendLine(*out_, line_, label, text, false);
    }

    // ---- DialogView ----
    void SetText(int id, std::string_view text) override {
        switch (id) {
            case IDC_BITS: return Reception("bits", text);
            case IDC_TELEGRAM: return Reception("telegram", text);
            case IDC_STATISTICS: return Reception("statistics", text);
            case IDC_LAST_SETTING: return Reception("setting", text);
            case IDC_COUNTDOWN:
                if (texts_[id] != text) Print("countdown", Utf8FromWindows1252(text));
                break;
            default: break;
        }
        texts_[id] = text;
    }
    std::string GetText(int id, std::size_t maxLength) override { return texts_[id].substr(0, maxLength); }
    void SetCheck(int id, bool checked) override { checks_[id] = checked; }
    bool IsChecked(int id) override { return checks_[id]; }
    int MessageBox(std::string_view text, std::string_view caption, unsigned, BoxOwner) override {
        Print("box", Utf8FromWindows1252(caption) + ": " + Utf8FromWindows1252(text));
        return kBoxAnswerOk;
    }
    bool StartTimer(int, unsigned periodMs) override {
        timerRunning_ = true;
        nextTick_ = now_ + periodMs;
        return true;
    }
    void StopTimer(int) override { timerRunning_ = false; }
    void PostClose() override { closePosted_ = true; }
    void EndDialog(int) override {
        closed_ = true;
        timerRunning_ = false;
        Print("close", {});
    }

    // Every redraw of a reception text prints, whether or not it changed.
    void Reception(std::string_view label, std::string_view text) {
        if (out_ != nullptr) AppendLine(*out_, line_, label, text);
    }

    // ---- PortControl: a replay's port always opens when it names one ----
    bool Open(int32_t code) override {
        if (!options_.program) return portOpen_ = true;
        if (!IsPortButtonCode(code)) return false;
        portOpen_ = true;
        char digits[24];
        Print("port opened", text_detail::FormatDecimal(code, digits));
        return true;
    }
    void Close() override {
        if (portOpen_ && options_.program) Print("port closed", {});
        portOpen_ = false;
    }

    // ---- MillisecondClock: the time of the event being handled ----
    uint32_t NowMs() override { return now_; }

    // ---- SystemClock: the dry run, printed ----
    ClockResult SetSystemClock(const SystemTime& utc) override {
        const ClockResult result = dryRun_.SetSystemClock(utc);
        if (out_ != nullptr) AppendClockSetting(*out_, line_, utc, result == ClockResult::kSet);
        return result;
    }

    // ---- ProgramLauncher: never started, only shown ----
    void Launch(const char* commandLine) override { Print("launch", commandLine); }

    DecodeOptions options_;
    MemoryProfile profile_;
    TableVersionStrings version_;
    NoInterfaceLibrary library_;
    DryRunSystemClock dryRun_;
    std::unique_ptr<TDlgDCF77> dialog_;
    std::map<int, std::string> texts_;
    std::map<int, bool> checks_;
    std::string* out_ = nullptr;
    uint64_t line_ = 0;
    uint32_t now_ = 0;
    uint32_t nextTick_ = 0;
    bool timerRunning_ = false;
    bool closePosted_ = false;
    bool portOpen_ = false;
};

DecodeSession::DecodeSession(const DecodeOptions& options)
    : program_(std::make_unique<Program>(options)) {}

DecodeSession::~DecodeSession() = default;

void DecodeSession::OnEdge(uint8_t level, uint32_t stamp, std::string& out) {
    program_->Edge(level, stamp, out);
}

void DecodeSession::Finish(std::string& out) { program_->Finish(out); }

uint64_t DecodeSession::EdgeCount() const { return program_->edgeCount_; }

bool DecodeSession::Closed() const { return program_->closed_; }

const QualityChart* DecodeSession::Chart() const { return program_->chart_.get(); }
