#include "ui/tui/screen_view.h"

#include <fcntl.h>
#include <langinfo.h>
#include <ncurses.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termcap.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "reception/signal_quality.h"
#include "ui/dlg_dcf77.h"
#include "ui/resource_ids.h"

namespace {

constexpr int kMinRows = 24;
constexpr int kMinCols = 80;
constexpr int kEscape = 27;
constexpr int kCtrlC = 3;  // raw mode: a key, not a signal
// The last lines the program wrote to stderr, above the key line.
constexpr int kMessageRows = 4;
// The quality panel under the dialog; messages, when there are any, cover
// its last rows.
constexpr int kPanelRow = 17;
// A silent receiver changes nothing on the screen; its minutes still pass.
constexpr uint32_t kPanelRedrawMs = 10000;

enum class Kind { Text, Radio, Check, Field, Button };
struct Place {
    int id;
    Kind kind;
    int row, col, width;
    const char* label;  // fixed labels; texts set by the dialog have none
};

// The controls in the template's order: the first 18 are the keyboard group
// the arrows move in, and the tab stops are among them.
constexpr Place kPlaces[] = {
    {IDC_COM1, Kind::Radio, 10, 1, 8, "COM1"},
    {IDC_COM2, Kind::Radio, 11, 1, 8, "COM2"},
    {IDC_COM3, Kind::Radio, 12, 1, 8, "COM3"},
    {IDC_COM4, Kind::Radio, 13, 1, 8, "COM4"},
    {IDC_GAME, Kind::Radio, 15, 1, 8, "GAME"},
    {IDC_LPT1, Kind::Radio, 10, 10, 8, "LPT1"},
    {IDC_LPT2, Kind::Radio, 11, 10, 8, "LPT2"},
    {IDC_LPT3, Kind::Radio, 12, 10, 8, "LPT3"},
    {IDC_LPT4, Kind::Radio, 13, 10, 8, "LPT4"},
    {IDC_RECEPTION_TEST, Kind::Check, 10, 20, 24, "Empfangstest"},
    {IDC_UTC, Kind::Check, 11, 20, 24, "auf UTC stellen"},
    {IDC_LOG, Kind::Check, 12, 20, 24, "Log schreiben"},
    {IDC_AUTO_END, Kind::Check, 13, 20, 24, "autom. beenden"},
    {IDC_SERVER, Kind::Check, 14, 20, 24, "NovellServer stellen"},
    {IDC_MINUTES, Kind::Field, 15, 20, 6, nullptr},
    {IDC_TICK, Kind::Button, 15, 26, 3, nullptr},
    {IDC_HELP_BUTTON, Kind::Button, 10, 73, 7, "Hilfe"},
    {IDC_OK, Kind::Button, 14, 73, 7, "OK"},
    {IDC_COUNTDOWN, Kind::Text, 7, 56, 23, nullptr},
    {IDC_MINUTES_LABEL, Kind::Text, 16, 20, 24, nullptr},
    {IDC_BUILD, Kind::Text, 12, 45, 27, nullptr},
    {IDC_STATISTICS, Kind::Text, 2, 3, 76, nullptr},
    {IDC_TELEGRAM, Kind::Text, 5, 3, 76, nullptr},
    {IDC_BITS, Kind::Text, 4, 16, 63, nullptr},
    {IDC_LAST_SETTING, Kind::Text, 7, 21, 33, nullptr},
    {IDC_VERSION, Kind::Text, 10, 45, 27, nullptr},
    {IDC_COPYRIGHT, Kind::Text, 14, 45, 27, nullptr},
};
constexpr std::size_t kGroupSize = 18;
constexpr int kTabStops[] = {IDC_COM1, IDC_GAME, IDC_LPT1, IDC_RECEPTION_TEST, IDC_UTC, IDC_LOG,
                             IDC_AUTO_END, IDC_SERVER, IDC_MINUTES, IDC_TICK, IDC_HELP_BUTTON, IDC_OK};

const Place* PlaceOf(int id) {
    for (const Place& place : kPlaces) {
        if (place.id == id) return &place;
    }
    return nullptr;
}

int GroupIndex(int id) {
    for (std::size_t i = 0; i < kGroupSize; ++i) {
        if (kPlaces[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

// Characters, not bytes, of a UTF-8 text.
int Columns(const std::string& text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// At most `width` characters of a UTF-8 text, padded with blanks.
std::string Fit(const std::string& text, int width) {
    std::string out;
    int used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && used == width) break;
        if (starts) ++used;
        out += text[i];
    }
    out.append(static_cast<std::size_t>(width - used), ' ');
    return out;
}

// A text centred in `width` characters.
std::string Centre(const std::string& text, int width) {
    std::string out(static_cast<std::size_t>(std::max(0, (width - Columns(text)) / 2)), ' ');
    out += text;
    return Fit(out, width);
}

void Put(int row, int col, const std::string& text) { mvaddstr(row, col, text.c_str()); }

// A Windows-1252 text for a terminal that is not UTF-8: German letters
// spelled out, anything else outside ASCII a '?', never bytes it would garble.
std::string AsciiFromWindows1252(std::string_view text) {
    static constexpr std::pair<unsigned char, const char*> kStandIns[] = {
        {0xC4, "Ae"}, {0xD6, "Oe"}, {0xDC, "Ue"}, {0xDF, "ss"}, {0xE4, "ae"}, {0xF6, "oe"}, {0xFC, "ue"}, {0xA9, "(c)"},
    };
    std::string ascii;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const auto* standIn = std::find_if(std::begin(kStandIns), std::end(kStandIns),
                                           [byte](const auto& entry) { return entry.first == byte; });
        if (byte < 0x80) {
            ascii += c;
        } else {
            ascii += standIn != std::end(kStandIns) ? standIn->second : "?";
        }
    }
    return ascii;
}

// Breaks a text into lines of at most `width` characters, at blanks where it can.
std::vector<std::string> Wrap(const std::string& text, int width) {
    std::vector<std::string> lines;
    std::string line, word;
    auto flush = [&] {
        if (!line.empty() && Columns(line) + 1 + Columns(word) > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        word.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == '\n') {
            flush();
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            }
        } else {
            word += c;
        }
    }
    flush();
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

StderrCapture::StderrCapture() {
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;
    savedFd_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    dup2(ends[1], STDERR_FILENO);
    close(ends[1]);
    readFd_ = ends[0];
}

StderrCapture::~StderrCapture() {
    if (readFd_ < 0) return;
    // Back to the real stderr first: the pipe then ends, and all of it is read.
    dup2(savedFd_, STDERR_FILENO);
    close(savedFd_);
    Read();
    if (!partial_.empty()) unshown_.push_back(partial_);
    for (const std::string& line : unshown_) std::fprintf(stderr, "%s\n", line.c_str());
    close(readFd_);
}

bool StderrCapture::Read() {
    char buffer[512];
    for (ssize_t got; (got = read(readFd_, buffer, sizeof buffer)) > 0;) {
        partial_.append(buffer, static_cast<std::size_t>(got));
    }
    bool lines = false;
    for (std::size_t end; (end = partial_.find('\n')) != std::string::npos; lines = true) {
        unshown_.push_back(partial_.substr(0, end));
        recent_.push_back(unshown_.back());
        if (recent_.size() > kMessageRows) recent_.pop_front();
        partial_.erase(0, end + 1);
    }
    return lines;
}

const std::deque<std::string>& StderrCapture::Show() {
    unshown_.clear();
    return recent_;
}

ScreenView::ScreenView(EventLoop& loop, StderrCapture& messages, std::string settingsPath,
                       std::function<void()> logOff)
    : LoopDialogView(loop), messages_(messages), settingsPath_(std::move(settingsPath)), logOff_(std::move(logOff)) {
    std::setlocale(LC_ALL, "");
    utf8_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    // Asked first: initscr would end the program with a line nobody sees
    // (stderr is taken), and newterm leaves its half-made screen behind.
    const char* term = std::getenv("TERM");
    if (tgetent(nullptr, term ? term : "") != 1 || !(screen_ = newterm(nullptr, stdout, stdin))) {
        std::fprintf(stderr, "chronvk: no description of the terminal type \"%s\"; --headless runs without one\n",
                     term ? term : "");
        return;
    }
    raw();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    focus_ = IDC_COM1;
    if (messages_.Fd() >= 0) {
        loop_.AddSource({[this](std::vector<pollfd>& fds) { fds.push_back({messages_.Fd(), POLLIN, 0}); },
                         [this](const pollfd&) {
                             if (messages_.Read()) ScheduleDraw();
                         }});
    }
    // A terminal that goes away without a hang-up signal only says so here.
    keysSource_ = loop_.AddSource({[](std::vector<pollfd>& fds) { fds.push_back({STDIN_FILENO, POLLIN, 0}); },
                                   [this](const pollfd& ready) {
                                       if ((ready.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return ReadKeys();
                                       loop_.RemoveSource(keysSource_);
                                       logOff_();
                                   }});
    // ncurses learns of a new size only inside getch; without a key the
    // screen would stay as it was.
    loop_.WatchSignals({SIGWINCH}, [this](int) { Resized(); });
    loop_.StartTimer(kPanelTimerId, kPanelRedrawMs, [this] { ScheduleDraw(); });
    messages_.Read();
    ScheduleDraw();
}

ScreenView::~ScreenView() {
    if (!screen_) return;
    endwin();
    delscreen(screen_);
}

void ScreenView::Resized() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return;
    resize_term(size.ws_row, size.ws_col);
    clearok(curscr, TRUE);
    ScheduleDraw();
}

std::string ScreenView::Shown(std::string_view text) const {
    return utf8_ ? Utf8FromWindows1252(text) : AsciiFromWindows1252(text);
}

void ScreenView::Changed(int, bool) { ScheduleDraw(); }

void ScreenView::ScheduleDraw() {
    if (drawPending_) return;
    drawPending_ = true;
    loop_.Post([this] {
        drawPending_ = false;
        Draw();
    });
}

void ScreenView::Draw() {
    erase();
    if (LINES < kMinRows || COLS < kMinCols) {
        curs_set(0);
        Put(0, 0, "CHRONVK: Das Terminal ist zu klein.");
        Put(1, 0, Shown("Mindestens 80 x 24 Zeichen, bitte vergr\xF6\xDF" "ern."));
        refresh();
        return;
    }
    DrawDialog();
    if (helpShown_) DrawHelp();
    for (const Box& box : boxes_) DrawBox(box);
    const Place* field = PlaceOf(IDC_MINUTES);
    if (boxes_.empty() && !helpShown_ && focus_ == IDC_MINUTES) {
        move(field->row, field->col + field->width - 1);
        curs_set(1);
    } else {
        curs_set(0);
    }
    refresh();
}

void ScreenView::DrawDialog() {
    attron(A_REVERSE);
    Put(0, 0, Fit(" CHRONVK", kMinCols));
    attroff(A_REVERSE);
    Put(1, 1, "empfangen");
    Put(4, 1, "lfd.Telegramm:");
    Put(7, 1, "letzte Einstellung:");
    mvhline(8, 0, ACS_HLINE, kMinCols);
    Put(9, 1, "Anschluss");
    Put(9, 20, "Optionen");
    for (const Place& place : kPlaces) DrawControl(place.id);
    DrawQuality();
    Put(kMinRows - 1, 0, "Tab/Umschalt+Tab weiter  Pfeile Gruppe  Leertaste an/aus  Enter OK  Esc Abbruch");
    const std::deque<std::string>& messages = messages_.Show();
    int row = kMinRows - 1 - static_cast<int>(messages.size());
    for (const std::string& line : messages) Put(row++, 0, Fit(line, kMinCols - 1));
}

void ScreenView::DrawQuality() {
    quality::AdvanceTo(SystemMillisecondClock().NowMs());
    mvhline(kPanelRow, 0, ACS_HLINE, kMinCols);
    std::string legend = " Empfang:";
    for (const quality::Outcome outcome : {quality::Outcome::Confirmed, quality::Outcome::Good,
                                           quality::Outcome::Malformed, quality::Outcome::NoMinuteMark}) {
        legend += "  ";
        legend += quality::Symbol(outcome);
        legend += ' ';
        legend += quality::Name(outcome);
    }
    Put(kPanelRow, 2, Shown(legend + " "));
    Put(kPanelRow + 1, 1, "Minuten  " + quality::HistoryText() + "  jetzt");
    // Two peaks, at 100 and 200 ms, are a good signal; anything between or
    // beside them is noise the decoder has to guess through.
    uint32_t bins[quality::kPulseBins];
    quality::PulseDistribution(bins);
    const uint32_t most = *std::max_element(std::begin(bins), std::end(bins));
    static constexpr const char* kBars[] = {" ", "\xE2\x96\x81", "\xE2\x96\x82", "\xE2\x96\x83", "\xE2\x96\x84",
                                            "\xE2\x96\x85", "\xE2\x96\x86", "\xE2\x96\x87", "\xE2\x96\x88"};
    static constexpr char kAsciiBars[] = " .:-=+*#@";
    std::string bars;
    for (const uint32_t count : bins) {
        const uint32_t level = most == 0 ? 0 : (count * 8 + most - 1) / most;
        bars += utf8_ ? kBars[level] : std::string(1, kAsciiBars[level]);
    }
    Put(kPanelRow + 2, 1, "Impulse  0" + bars + "300 ms  (letzte " + std::to_string(quality::kPulseMinutes) + " Min.)");
    Put(kPanelRow + 3, 1, Fit(Shown(quality::PhaseText(quality::PhaseOfMarks())), 44) + Shown(quality::ConfidenceText()));
    Put(kPanelRow + 4, 1, Fit(Shown(quality::CountersText()), kMinCols - 2));
}

void ScreenView::DrawControl(int id) {
    const Place& place = *PlaceOf(id);
    const Control& control = ControlOf(id);
    const std::string text = Shown(control.text);
    std::string shown;
    switch (place.kind) {
        case Kind::Text: shown = Fit(text, place.width); break;
        case Kind::Radio: shown = std::string(control.checked ? "(*) " : "( ) ") + place.label; break;
        case Kind::Check: shown = std::string(control.checked ? "[x] " : "[ ] ") + place.label; break;
        case Kind::Field: {
            // Right-aligned, the end of a long text in view.
            const int room = place.width - 2, used = Columns(text);
            shown = "[";
            if (used >= room) {
                shown += text.substr(text.size() - static_cast<std::size_t>(room));
            } else {
                shown.append(static_cast<std::size_t>(room - used), ' ');
                shown += text;
            }
            shown += "]";
            break;
        }
        case Kind::Button: {
            if (id == IDC_TICK) {
                shown = utf8_ ? "[\xE2\x9C\x93]" : "[v]";
                break;
            }
            shown = "[";
            shown += Centre(place.label, place.width - 2);
            shown += "]";
            break;
        }
    }
    // Centre the version block's lines and the buttons' labels as the dialog does.
    if (place.kind == Kind::Text && (id == IDC_VERSION || id == IDC_COPYRIGHT || id == IDC_BUILD ||
                                     id == IDC_LAST_SETTING)) {
        shown = Centre(text, place.width);
    }
    const bool focused = id == focus_ && place.kind != Kind::Text;
    if (!control.enabled) attron(A_DIM);
    if (focused) attron(A_REVERSE);
    Put(place.row, place.col, shown);
    attroff(A_REVERSE | A_DIM);
}

void ScreenView::DrawBox(const Box& shown) {
    const std::vector<std::string> lines = Wrap(shown.text, 56);
    int width = Columns(shown.caption) + 4;
    for (const std::string& line : lines) width = std::max(width, Columns(line) + 4);
    width = std::max(width, 12);
    const int height = static_cast<int>(lines.size()) + 4;
    const int top = (kMinRows - height) / 2, left = (kMinCols - width) / 2;
    for (int row = top; row < top + height; ++row) Put(row, left, std::string(static_cast<std::size_t>(width), ' '));
    mvhline(top, left + 1, ACS_HLINE, width - 2);
    mvhline(top + height - 1, left + 1, ACS_HLINE, width - 2);
    mvvline(top + 1, left, ACS_VLINE, height - 2);
    mvvline(top + 1, left + width - 1, ACS_VLINE, height - 2);
    mvaddch(top, left, ACS_ULCORNER);
    mvaddch(top, left + width - 1, ACS_URCORNER);
    mvaddch(top + height - 1, left, ACS_LLCORNER);
    mvaddch(top + height - 1, left + width - 1, ACS_LRCORNER);
    std::string caption = " ";
    caption += shown.caption;
    caption += " ";
    Put(top, left + 2, caption);
    for (std::size_t i = 0; i < lines.size(); ++i) Put(top + 1 + static_cast<int>(i), left + 2, lines[i]);
    attron(A_REVERSE);
    Put(top + height - 2, left + (width - 6) / 2, "[ OK ]");
    attroff(A_REVERSE);
}

void ScreenView::DrawHelp() {
    const std::string lines[] = {
        "CHRONVK stellt die Uhr nach dem Zeitzeichen DCF77.",
        "",
        Shown("COM1-COM4, LPT1-LPT4, GAME  Anschluss des Empf\xE4ngers"),
        "Empfangstest            nur empfangen, nichts stellen",
        "auf UTC stellen         Einstellungen in UTC anzeigen und loggen",
        "Log schreiben           jede Einstellung in CHRONVK.LOG",
        "autom. beenden          nach dem Stellen beenden",
        "NovellServer stellen    danach den Dateiserver stellen",
        "Minuten                 Maximallaufzeit bzw. Pause (0 = keine)",
        "",
        "Einstellungen: " + settingsPath_,
        "Log: CHRONVK.LOG im Arbeitsverzeichnis",
        "",
        Shown("Beliebige Taste: zur\xFC" "ck"),
    };
    const int height = 16, width = 72, top = 4, left = 4;
    for (int row = 0; row < height; ++row) Put(top + row, left, std::string(static_cast<std::size_t>(width), ' '));
    attron(A_BOLD);
    Put(top, left + 2, "Hilfe");
    attroff(A_BOLD);
    int row = top + 1;
    for (const std::string& line : lines) Put(row++, left + 2, Fit(line, width - 4));
}

int ScreenView::MessageBox(std::string_view text, std::string_view caption, unsigned, BoxOwner) {
    if (ending_) return kBoxAnswerOk;
    boxes_.push_back({Shown(caption), Shown(text)});
    const std::size_t depth = boxes_.size();
    ScheduleDraw();
    // Like a Windows box: the loop goes on (edges, timer, network) until it is answered.
    while (!ending_ && boxes_.size() >= depth) {
        if (loop_.RunOnce(-1) < 0) break;
    }
    if (boxes_.size() >= depth) boxes_.resize(depth - 1);
    ScheduleDraw();
    return kBoxAnswerOk;
}

void ScreenView::OpenHelp(const char*) {
    helpShown_ = true;
    ScheduleDraw();
}

void ScreenView::ReadKeys() {
    for (int key; (key = getch()) != ERR;) {
        if (key == kCtrlC) return logOff_();
        if (key == KEY_RESIZE) {
            ScheduleDraw();
        } else if (!boxes_.empty()) {
            // Only the topmost box takes keys; its OK is the only answer.
            if (key == '\r' || key == '\n' || key == ' ' || key == kEscape || key == KEY_ENTER) boxes_.pop_back();
            ScheduleDraw();
        } else if (helpShown_) {
            helpShown_ = false;
            ScheduleDraw();
        } else {
            DialogKey(key);
        }
        if (Ended() || ending_) return;
    }
}

void ScreenView::MoveFocus(int to) {
    const int from = focus_;
    SetFocus(to);
    if (from == IDC_MINUTES && to != IDC_MINUTES && dialog_) dialog_->CycleFieldKillFocus(true, to);
}

void ScreenView::TabFrom(bool backwards) {
    if (focus_ == IDC_MINUTES && dialog_ && !dialog_->CycleFieldTab()) return;
    const int count = static_cast<int>(std::size(kTabStops));
    int at = 0;
    while (at < count && kTabStops[at] != focus_) ++at;
    // From a radio button the tab goes on from its group's tab stop.
    if (at == count) {
        const int group = GroupIndex(focus_);
        at = group >= 5 && group <= 8 ? 2 : group == 4 ? 1 : 0;
    }
    for (int step = 1; step <= count; ++step) {
        const int next = kTabStops[((backwards ? at - step : at + step) % count + count) % count];
        if (ControlOf(next).enabled) return MoveFocus(next);
    }
}

void ScreenView::ArrowFrom(bool backwards) {
    const int count = static_cast<int>(kGroupSize);
    const int at = GroupIndex(focus_);
    if (at < 0) return;
    for (int step = 1; step < count; ++step) {
        const Place& place = kPlaces[((backwards ? at - step : at + step) % count + count) % count];
        if (!ControlOf(place.id).enabled) continue;
        MoveFocus(place.id);
        // An automatic radio button is chosen by moving onto it.
        if (place.kind == Kind::Radio && !ControlOf(place.id).checked) Press(place.id);
        return;
    }
}

void ScreenView::Press(int id) {
    const Place* place = PlaceOf(id);
    if (!place || !ControlOf(id).enabled || !dialog_) return;
    switch (place->kind) {
        case Kind::Radio:
            for (const PortButton& button : kPortButtons) SetCheck(button.id, button.id == id);
            dialog_->ButtonClicked(id);
            return;
        case Kind::Check:
            SetCheck(id, !ControlOf(id).checked);
            dialog_->ButtonClicked(id);
            return;
        case Kind::Button:
            if (id == IDC_OK) return dialog_->OkCommand();
            if (id == IDC_HELP_BUTTON) dialog_->ButtonClicked(id);
            return;
        case Kind::Field:
        case Kind::Text: return;
    }
}

void ScreenView::DialogKey(int key) {
    if (!dialog_) return;
    switch (key) {
        case '\t': return TabFrom(false);
        case KEY_BTAB: return TabFrom(true);
        case kEscape: return dialog_->CancelCommand();
        case '\r':
        case '\n':
        case KEY_ENTER:
            // Enter is OK unless another push button has the focus.
            if (focus_ == IDC_HELP_BUTTON || focus_ == IDC_TICK) return Press(focus_);
            return dialog_->OkCommand();
        default: break;
    }
    if (focus_ == IDC_MINUTES) {
        std::string text = ControlOf(IDC_MINUTES).text;
        if (key == KEY_BACKSPACE || key == 127 || key == 8) {
            if (!text.empty()) text.pop_back();
        } else if (key >= 32 && key < 127 && text.size() < MINUTES_MAX_LENGTH &&
                   TCycleValidator::CheckTyping(text + static_cast<char>(key))) {
            text += static_cast<char>(key);
        } else {
            beep();
            return;
        }
        SetText(IDC_MINUTES, text);
        return;
    }
    switch (key) {
        case ' ': return Press(focus_);
        case KEY_UP:
        case KEY_LEFT: return ArrowFrom(true);
        case KEY_DOWN:
        case KEY_RIGHT: return ArrowFrom(false);
        default: break;
    }
}
