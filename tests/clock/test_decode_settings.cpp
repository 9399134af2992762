// chronvk-decode over generated signals: every confirmed minute prints, before
// the other lines of its edge, the UTC time the dry-run clock was given.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "input/dcf77_signal.h"
#include "tools/decode/decode_session.h"

namespace {

using dcf77::kMinuteMs;

// The "set" and "refused" lines of a replay from the program-start state,
// taken only where they come first among their edge's lines.
std::vector<std::string> ClockLines(const std::vector<dcf77::SampledEdge>& edges, bool utc) {
    DecodeOptions options;
    options.utc = utc;
    DecodeSession session(options);
    std::vector<std::string> found;
    for (const auto& edge : edges) {
        std::string out;
        session.OnEdge(edge.level, edge.stampMs, out);
        const std::string first = out.substr(0, out.find('\n'));
        const std::size_t label = first.find(' ') + 1;
        if (first.compare(label, 4, "set ") == 0 || first.compare(label, 8, "refused ") == 0) {
            found.push_back(first.substr(label));
        }
    }
    return found;
}

std::string SetLine(int64_t utcMs) {
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    char text[48];
    std::strftime(text, sizeof text, "set %Y-%m-%d %H:%M:%S UTC", std::gmtime(&seconds));
    return text;
}

TEST(DecodeSettings, OneSetLinePerConfirmedMinuteAtItsUtcTime) {
    // Each change of the local hour empties the confirmation window, so the
    // minutes :00 to :02 after it are not set. Across UTC midnight the local
    // date is already the first of the next month.
    const struct { const char* name; int64_t start; int minutes; std::vector<std::pair<int, int>> set; }
        cases[] = {
        {"winter month end", dcf77::UtcMs(2026, 1, 31, 23, 50), 20, {{3, 9}, {13, 20}}},
        {"summer month end", dcf77::UtcMs(2026, 4, 30, 23, 50), 20, {{3, 9}, {13, 20}}},
        {"new year", dcf77::UtcMs(2026, 12, 31, 23, 50), 20, {{3, 9}, {13, 20}}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> expected;
        for (const auto& [from, to] : c.set) {
            for (int m = from; m <= to; ++m) expected.push_back(SetLine(c.start + m * kMinuteMs));
        }
        const auto edges = dcf77::GenerateEdgeVector(dcf77::OptionsForMinutes(c.start, c.minutes));
        // The clock gets UTC whatever the report shows.
        for (bool utc : {false, true}) EXPECT_EQ(ClockLines(edges, utc), expected) << c.name << utc;
    }
}

}  // namespace
