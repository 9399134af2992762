#include "ui/tui/headless_view.h"

#include <ctime>

#include "reception/signal_quality.h"
#include "ui/resource_ids.h"

namespace {
constexpr uint32_t kSummaryPeriodMs = 3600000;
}  // namespace

HeadlessView::HeadlessView(EventLoop& loop, std::FILE* out, std::FILE* err)
    : LoopDialogView(loop), out_(out), err_(err) {
    loop_.StartTimer(kSummaryTimerId, kSummaryPeriodMs, [this] { ShowSummary(); });
}

void HeadlessView::Print(std::FILE* stream, const char* label, std::string_view text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(stream, "%s %s %s\n", stamp, label, Utf8FromWindows1252(text).c_str());
    std::fflush(stream);
}

void HeadlessView::Changed(int id, bool text) {
    if (!text) return;
    const char* label = nullptr;
    switch (id) {
        case IDC_STATISTICS: label = "statistics"; break;
        case IDC_BITS: label = "bits"; break;
        case IDC_TELEGRAM: label = "telegram"; break;
        case IDC_LAST_SETTING: label = "setting"; break;
        case IDC_COUNTDOWN: label = "countdown"; break;
        default: return;
    }
    Print(out_, label, ControlOf(id).text);
}

int HeadlessView::MessageBox(std::string_view text, std::string_view caption, unsigned, BoxOwner) {
    std::string line(caption);
    line += ": ";
    line += text;
    Print(err_, "box", line);
    return kBoxAnswerOk;
}

void HeadlessView::OpenHelp(const char*) {}

void HeadlessView::ShowSummary() {
    quality::AdvanceTo(SystemMillisecondClock().NowMs());
    Print(out_, "quality", quality::SummaryText());
}
