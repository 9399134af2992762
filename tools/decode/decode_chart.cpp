#include "tools/decode/decode_chart.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "ui/ui_strings.h"

namespace {

using quality::Minute;
using quality::Outcome;

constexpr int kLeft = 76;  // room for the length axis
constexpr int kTop = 72;   // heading and summary above
constexpr int kBinHeight = 8;
constexpr int kPlotHeight = quality::kPulseBins * kBinHeight;
// A day at one pixel a minute, an hour at sixteen.
constexpr int kPlotWidth = 1440;
constexpr int kWidestColumn = 16;
constexpr int kRight = 24;
constexpr int kNarrowest = 800;  // the legend's room
constexpr int kTickHeight = 8;
constexpr int kStripHeight = 14;
constexpr int kMostTicks = 12;
constexpr int kMinutesPerDay = 1440;

// By outcome: none, no minute mark, malformed, well-formed, confirmed.
constexpr const char* kColours[] = {"#bbbbbb", "#d73027", "#f39c12", "#4575b4", "#1a9850"};
// How many marks of one length a minute held: a stray one, a few, many,
// most of the minute's. A clean minute is two dark cells.
constexpr int kShadeFrom[] = {1, 2, 5, 15};
constexpr const char* kShades[] = {"0.3", "0.5", "0.75", "1"};
constexpr int kShadeCount = 4;
constexpr int kOutcomes = 5;

template <typename... Values>
void Add(std::string& out, const char* format, Values... values) {
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, format, values...);
    if (length > 0) out.append(buffer, std::min(static_cast<std::size_t>(length), sizeof buffer - 1));
}

// A program text (Windows-1252) as SVG character data.
std::string Escaped(std::string_view windows1252) {
    std::string text;
    for (const char c : Utf8FromWindows1252(windows1252)) {
        switch (c) {
            case '&': text += "&amp;"; break;
            case '<': text += "&lt;"; break;
            case '>': text += "&gt;"; break;
            case '"': text += "&quot;"; break;
            default: text += c;
        }
    }
    return text;
}

int Shade(int count) {
    int shade = 0;
    while (shade + 1 < kShadeCount && count >= kShadeFrom[shade + 1]) ++shade;
    return shade;
}

int BinTop(int bin) { return kTop + (quality::kPulseBins - 1 - bin) * kBinHeight; }

// Each minute's minute of the day, carried from the nearest minute whose time
// was confirmed (the edges' clock holds a minute a minute); -1 when none was.
std::vector<int> TimesOfDay(const std::vector<Minute>& minutes) {
    const int count = static_cast<int>(minutes.size());
    std::vector<int> times(minutes.size(), -1), distance(minutes.size(), count + 1);
    auto carry = [&](int from, int to) {
        const std::size_t at = static_cast<std::size_t>(to);
        const int away = from > to ? from - to : to - from;
        if (away >= distance[at]) return;
        const Minute& known = minutes[static_cast<std::size_t>(from)];
        distance[at] = away;
        times[at] = ((known.hour * 60 + known.minute + to - from) % kMinutesPerDay + kMinutesPerDay) % kMinutesPerDay;
    };
    for (int i = 0, last = -1; i < count; ++i) {
        if (minutes[static_cast<std::size_t>(i)].hour >= 0) last = i;
        if (last >= 0) carry(last, i);
    }
    for (int i = count - 1, last = -1; i >= 0; --i) {
        if (minutes[static_cast<std::size_t>(i)].hour >= 0) last = i;
        if (last >= 0) carry(last, i);
    }
    return times;
}

std::string Clock(int minuteOfDay) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", minuteOfDay / 60 % 24, minuteOfDay % 60);
    return text;
}

// The label of minute `i`: its time, else how far it lies from the first.
std::string Label(const std::vector<int>& times, int i) {
    const int time = times[static_cast<std::size_t>(i)];
    if (time >= 0) return Clock(time);
    // Appended one by one: gcc 12 warns wrongly about "+" + a temporary.
    std::string label = "+";
    label += std::to_string(i);
    label += " min";
    return label;
}

}  // namespace

void QualityChart::Collect() {
    // The figures keep an hour and close at most that many minutes at one edge.
    for (const uint64_t closed = quality::MinutesClosed(); taken_ < closed; ++taken_) {
        minutes_.push_back(quality::ClosedMinute(static_cast<int>(closed - 1 - taken_)));
    }
}

std::string QualityChart::Render(const std::string& source) const {
    // The log's last part of a minute counts like its first: a minute whose
    // minute mark was not seen.
    std::vector<Minute> minutes = minutes_;
    const Minute& open = quality::OpenMinute();
    if (open.outcome != Outcome::None || open.marks != 0) minutes.push_back(open);
    if (minutes.size() > minutes_.size()) minutes.back().outcome = std::max(open.outcome, Outcome::NoMinuteMark);
    const int count = static_cast<int>(minutes.size());
    const int column = std::clamp(kPlotWidth / std::max(count, 1), 1, kWidestColumn);
    const int plotWidth = count * column;
    const int width = std::max(kLeft + plotWidth + kRight, kNarrowest);
    const int settingsY = kTop + kPlotHeight + 6;
    const int stripY = settingsY + kTickHeight + 4;
    const int axisY = stripY + kStripHeight + 16;
    const int legendY = axisY + 28;
    const int height = legendY + 22;
    const std::vector<int> times = TimesOfDay(minutes);
    const bool timed = std::any_of(times.begin(), times.end(), [](int time) { return time >= 0; });

    std::string svg;
    Add(svg,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
        "font-family=\"sans-serif\" font-size=\"12\">\n",
        width, height, width, height);
    const std::string heading = "CHRONVK: Empfang aus " + Escaped(source);
    svg += "<title>" + heading + "</title>\n";
    Add(svg, "<rect width=\"%d\" height=\"%d\" fill=\"#ffffff\"/>\n", width, height);

    std::string span = std::to_string(count) + " Minuten";
    if (timed) span += ", " + Label(times, 0) + " bis " + Label(times, count - 1);
    svg += "<g id=\"header\">\n<text x=\"12\" y=\"24\" font-size=\"16\" font-weight=\"bold\">" + heading + "</text>\n";
    svg += "<text x=\"12\" y=\"44\">" +
           Escaped(quality::CountersText() + " / " + quality::PhaseText(quality::PhaseOf(minutes.data(), count))) +
           "</text>\n<text x=\"12\" y=\"60\">" + Escaped(span) + "</text>\n</g>\n";

    // The frame, 100 and 200 ms where a good signal's marks lie, and the
    // decoder's line between a 0 and a 1.
    svg += "<g id=\"axes\">\n";
    Add(svg, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"#999999\"/>\n", kLeft, kTop,
        plotWidth, kPlotHeight);
    for (const int bin : {10, 20}) {
        Add(svg, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"#dddddd\"/>\n", kLeft, BinTop(bin) + kBinHeight / 2,
            kLeft + plotWidth, BinTop(bin) + kBinHeight / 2);
    }
    Add(svg, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"#999999\" stroke-dasharray=\"4 3\"/>\n", kLeft,
        BinTop(12), kLeft + plotWidth, BinTop(12));
    Add(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\" fill=\"#777777\">0|1</text>\n", kLeft - 6, BinTop(12) + 4);
    for (const int bin : {0, 10, 20, 30}) {
        Add(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%d%s</text>\n", kLeft - 6, BinTop(bin) + kBinHeight,
            bin * quality::kPulseBinMs, bin == quality::kPulseBins - 1 ? "+" : "");
    }
    Add(svg, "<text transform=\"translate(18 %d) rotate(-90)\" text-anchor=\"middle\">", kTop + kPlotHeight / 2);
    svg += Escaped("Impulsl\xE4nge (ms)") + "</text>\n";
    Add(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">gestellt</text>\n", kLeft - 6, settingsY + kTickHeight);
    Add(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">Minuten</text>\n", kLeft - 6, stripY + kStripHeight - 3);
    // Labels at round times when the signal gave them, a dozen at most.
    int step = 1;
    for (const int candidate : {1, 2, 5, 10, 15, 30, 60, 120, 180, 240, 360}) {
        step = candidate;
        if (count / candidate < kMostTicks) break;
    }
    for (int i = 0; i < count; ++i) {
        const int time = times[static_cast<std::size_t>(i)];
        if ((timed ? time : i) % step != 0) continue;
        const int x = kLeft + i * column + column / 2;
        Add(svg, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"#555555\"/>\n", x, stripY + kStripHeight, x,
            stripY + kStripHeight + 4);
        Add(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">", x, axisY);
        svg += Label(times, i) + "</text>\n";
    }
    Add(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\" fill=\"#555555\">", kLeft + plotWidth, axisY + 14);
    svg += (timed ? "Uhrzeit laut Telegramm" : "Minuten seit Beginn") + std::string("</text>\n</g>\n");

    // The marks: one path per outcome and shade, a cell per minute and length.
    std::string paths[kOutcomes][kShadeCount];
    std::string ticks;
    for (int i = 0; i < count; ++i) {
        const Minute& minute = minutes[static_cast<std::size_t>(i)];
        const int x = kLeft + i * column;
        for (int bin = 0; bin < quality::kPulseBins; ++bin) {
            if (minute.pulses[bin] == 0) continue;
            Add(paths[static_cast<int>(minute.outcome)][Shade(minute.pulses[bin])], "M%d %dh%dv%dh-%dz", x, BinTop(bin),
                column, kBinHeight, column);
        }
        if (minute.setting) Add(ticks, "M%d.5 %dv%d", x + column / 2, settingsY, kTickHeight);
    }
    svg += "<g id=\"pulses\" shape-rendering=\"crispEdges\">\n";
    for (int outcome = 0; outcome < kOutcomes; ++outcome) {
        for (int shade = 0; shade < kShadeCount; ++shade) {
            if (paths[outcome][shade].empty()) continue;
            Add(svg, "<path fill=\"%s\" fill-opacity=\"%s\" d=\"", kColours[outcome], kShades[shade]);
            svg += paths[outcome][shade] + "\"/>\n";
        }
    }
    svg += "</g>\n<g id=\"settings\">\n";
    if (!ticks.empty()) svg += "<path stroke=\"#222222\" fill=\"none\" d=\"" + ticks + "\"/>\n";

    // Each minute's outcome, its time and name as a tooltip.
    svg += "</g>\n<g id=\"minutes\" shape-rendering=\"crispEdges\">\n";
    for (int i = 0; i < count; ++i) {
        const Minute& minute = minutes[static_cast<std::size_t>(i)];
        const int outcome = static_cast<int>(minute.outcome);
        Add(svg, "<rect class=\"m%d\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"><title>", outcome,
            kLeft + i * column, stripY, column, kStripHeight, kColours[outcome]);
        svg += Label(times, i) + " " + Escaped(quality::Name(minute.outcome)) + (minute.setting ? ", gestellt" : "") +
               "</title></rect>\n";
    }

    svg += "</g>\n<g id=\"legend\">\n";
    int x = 12;
    for (const Outcome outcome :
         {Outcome::Confirmed, Outcome::Good, Outcome::Malformed, Outcome::NoMinuteMark}) {
        Add(svg, "<rect x=\"%d\" y=\"%d\" width=\"10\" height=\"10\" fill=\"%s\"/>", x, legendY - 9,
            kColours[static_cast<int>(outcome)]);
        const std::string name = Escaped(quality::Name(outcome));
        Add(svg, "<text x=\"%d\" y=\"%d\">", x + 14, legendY);
        svg += name + "</text>\n";
        x += 14 + 7 * static_cast<int>(name.size()) + 16;
    }
    Add(svg, "<path stroke=\"#222222\" d=\"M%d.5 %dv10\"/><text x=\"%d\" y=\"%d\">gestellt</text>\n", x, legendY - 9,
        x + 6, legendY);
    x += 80;
    Add(svg, "<text x=\"%d\" y=\"%d\">Impulse je Minute und L", x, legendY);
    svg += Escaped("\xE4nge:") + "</text>\n";
    x += 180;
    const char* const counts[] = {"1", "2-4", "5-14", "ab 15"};
    for (int shade = 0; shade < kShadeCount; ++shade) {
        Add(svg, "<rect x=\"%d\" y=\"%d\" width=\"10\" height=\"10\" fill=\"#333333\" fill-opacity=\"%s\"/>", x,
            legendY - 9, kShades[shade]);
        Add(svg, "<text x=\"%d\" y=\"%d\">%s</text>\n", x + 14, legendY, counts[shade]);
        x += 60;
    }
    svg += "</g>\n</svg>\n";
    return svg;
}
