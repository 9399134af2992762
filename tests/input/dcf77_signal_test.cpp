#include "input/dcf77_signal.h"

#include <gtest/gtest.h>

#include <string>

using namespace dcf77;

namespace {

std::string BitString(uint64_t bits) {
    std::string s;
    for (int i = 0; i < 59; ++i) s += static_cast<char>('0' + TelegramBit(bits, i));
    return s;
}

int Ones(uint64_t bits, int first, int last) {
    int n = 0;
    for (int i = first; i <= last; ++i) n += TelegramBit(bits, i);
    return n;
}

int Bcd(uint64_t bits, int first, int width) {
    int value = 0;
    static const int kWeights[] = {1, 2, 4, 8, 10, 20, 40, 80};
    for (int i = 0; i < width; ++i) value += TelegramBit(bits, first + i) * kWeights[i];
    return value;
}

}  // namespace

TEST(Dcf77Encoder, KnownWinterMinute) {
    // 14:05 CET on Sunday 06.12.26 is sent during 14:04 CET = 13:04 UTC.
    const uint64_t bits = EncodeMinute(UtcMs(2026, 12, 6, 13, 4));
    EXPECT_EQ(BitString(bits), "00000000000000000010110100000001010001100011101001011001000");
    // Any instant inside the minute names the same transmission.
    EXPECT_EQ(EncodeMinute(UtcMs(2026, 12, 6, 13, 4, 59) + 999), bits);
}

TEST(Dcf77Encoder, FieldsAndParitiesOverAYear) {
    // Every 31st minute for a year covers every minute, hour, weekday, day,
    // month and the switches; each telegram must decode back to its next minute.
    const int64_t from = UtcMs(2026, 1, 1);
    const int64_t to = UtcMs(2027, 1, 1);
    for (int64_t t = from; t < to; t += 31 * kMinuteMs) {
        const uint64_t bits = EncodeMinute(t);
        const LegalTime next = GermanLegalTime(t + kMinuteMs);
        SCOPED_TRACE(t);
        ASSERT_EQ(TelegramBit(bits, 0), 0);
        ASSERT_EQ(Ones(bits, 1, 15), 0);
        ASSERT_EQ(TelegramBit(bits, 20), 1);
        ASSERT_EQ(TelegramBit(bits, 17), next.summer ? 1 : 0);
        ASSERT_EQ(TelegramBit(bits, 18), next.summer ? 0 : 1);
        ASSERT_EQ(Ones(bits, 21, 28) % 2, 0);
        ASSERT_EQ(Ones(bits, 29, 35) % 2, 0);
        ASSERT_EQ(Ones(bits, 36, 58) % 2, 0);
        ASSERT_EQ(Bcd(bits, 21, 7), next.minute);
        ASSERT_EQ(Bcd(bits, 29, 6), next.hour);
        ASSERT_EQ(Bcd(bits, 36, 6), next.day);
        ASSERT_EQ(Bcd(bits, 42, 3), next.weekday);
        ASSERT_EQ(Bcd(bits, 45, 5), next.month);
        ASSERT_EQ(Bcd(bits, 50, 8), next.year % 100);
        ASSERT_EQ(bits >> 59, 0u);
    }
}

TEST(Dcf77Encoder, SummerTimeSwitchDates) {
    struct Case {
        int year, marchDay, octoberDay;
    };
    const Case cases[] = {{2024, 31, 27}, {2025, 30, 26}, {2026, 29, 25}, {2027, 28, 31}, {2000, 26, 29}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.year);
        EXPECT_EQ(SummerTimeStartUtc(c.year), UtcMs(c.year, 3, c.marchDay, 1));
        EXPECT_EQ(SummerTimeEndUtc(c.year), UtcMs(c.year, 10, c.octoberDay, 1));
        EXPECT_EQ(GermanLegalTime(UtcMs(c.year, 3, c.marchDay, 1)).weekday, 7);
    }
}

TEST(Dcf77Encoder, LegalTimeAroundTheSwitches) {
    const int64_t spring = UtcMs(2026, 3, 29, 1);
    const LegalTime before = GermanLegalTime(spring - 1);
    EXPECT_FALSE(before.summer);
    EXPECT_EQ(before.hour, 1);
    EXPECT_EQ(before.minute, 59);
    const LegalTime after = GermanLegalTime(spring);
    EXPECT_TRUE(after.summer);
    EXPECT_EQ(after.hour, 3);
    EXPECT_EQ(after.minute, 0);

    const int64_t autumn = UtcMs(2026, 10, 25, 1);
    const LegalTime lastSummer = GermanLegalTime(autumn - kMinuteMs);
    EXPECT_TRUE(lastSummer.summer);
    EXPECT_EQ(lastSummer.hour, 2);
    EXPECT_EQ(lastSummer.minute, 59);
    const LegalTime firstWinter = GermanLegalTime(autumn);
    EXPECT_FALSE(firstWinter.summer);
    EXPECT_EQ(firstWinter.hour, 2);  // the hour from 2 to 3 comes twice
    EXPECT_EQ(firstWinter.minute, 0);

    // New Year in legal time comes an hour before it does in UTC.
    const LegalTime newYear = GermanLegalTime(UtcMs(2026, 12, 31, 23));
    EXPECT_EQ(newYear.year, 2027);
    EXPECT_EQ(newYear.month, 1);
    EXPECT_EQ(newYear.day, 1);
    EXPECT_EQ(newYear.hour, 0);
}

TEST(Dcf77Encoder, AnnouncementInTheHourBeforeASwitch) {
    for (const int64_t change : {SummerTimeStartUtc(2026), SummerTimeEndUtc(2026)}) {
        EXPECT_EQ(TelegramBit(EncodeMinute(change - kHourMs - kMinuteMs), 16), 0);
        EXPECT_EQ(TelegramBit(EncodeMinute(change - kHourMs), 16), 1);
        // The last telegram before the switch already describes the new time and still announces it.
        const uint64_t last = EncodeMinute(change - kMinuteMs);
        EXPECT_EQ(TelegramBit(last, 16), 1);
        EXPECT_EQ(TelegramBit(last, 17), IsSummerTime(change) ? 1 : 0);
        EXPECT_EQ(TelegramBit(EncodeMinute(change), 16), 0);
    }
    // Exactly 60 announcing telegrams around each switch.
    int announced = 0;
    for (int64_t t = UtcMs(2026, 3, 28); t < UtcMs(2026, 3, 30); t += kMinuteMs)
        announced += TelegramBit(EncodeMinute(t), 16);
    EXPECT_EQ(announced, 60);
}

TEST(Dcf77Encoder, CivilDaysRoundTrip) {
    for (int64_t days = -800000; days < 800000; days += 997) {
        int y = 0, m = 0, d = 0;
        CivilFromDays(days, y, m, d);
        ASSERT_EQ(DaysFromCivil(y, m, d), days);
    }
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(GermanLegalTime(0).weekday, 4);  // a Thursday
}

TEST(Dcf77LineLevel, MarksFollowTheBits) {
    const int64_t minute = UtcMs(2026, 12, 6, 13, 4);
    const uint64_t bits = EncodeMinute(minute);
    for (int s = 0; s < 60; ++s) {
        const int64_t second = minute + s * kSecondMs;
        const int mark = MarkLengthMs(bits, s);
        SCOPED_TRACE(s);
        if (mark != 0) {
            EXPECT_EQ(LineLevel(second, 0), 0);
            EXPECT_EQ(LineLevel(second + mark - 1, 0), 0);
            EXPECT_EQ(LineLevel(second + mark - 1, 1), 1);
        }
        EXPECT_EQ(LineLevel(second + mark, 0), 1);
        EXPECT_EQ(LineLevel(second + 999, 0), 1);
        EXPECT_EQ(LineLevel(second + 999, 1), 0);
    }
    EXPECT_EQ(MarkLengthMs(bits, 59), 0);
    EXPECT_EQ(MarkLengthMs(bits, 18), 200);
    EXPECT_EQ(MarkLengthMs(bits, 17), 100);
}

TEST(Dcf77EdgeStream, CleanMinuteOnTheSampleGrid) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 12, 6, 13, 5), 1);
    options.firstStampMs = 10000;
    const std::vector<SampledEdge> edges = GenerateEdgeVector(options);
    // Starting 5 s before the mark: the first sample at second 55 is a mark (level 0,
    // as the sampler already remembers), so the first post is its end.
    ASSERT_FALSE(edges.empty());
    EXPECT_EQ(edges[0].level, 1);
    // Levels alternate, every stamp on the 25 ms grid, each mark 100 or 200 ms.
    for (size_t i = 0; i < edges.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(edges[i].level, i % 2 == 0 ? 1 : 0);
        EXPECT_EQ((edges[i].stampMs - 10000u) % 25u, 0u);
        if (edges[i].level == 1 && i > 0) {
            const uint32_t mark = edges[i].stampMs - edges[i - 1].stampMs;
            EXPECT_TRUE(mark == 100 || mark == 200) << mark;
        }
    }
    // Starts of marks: seconds 56..58 (the sampler began inside 55's mark), the
    // 59 marks of the minute, and the closing minute mark.
    size_t starts = 0;
    for (const SampledEdge& e : edges) starts += e.level == 0 ? 1 : 0;
    EXPECT_EQ(starts, 3u + 59u + 1u);
    // The minute mark: 1.8 or 1.9 s without a mark before the start of second 0.
    const uint32_t markStampOfSecond0 = 10000u + 5000u;
    bool found = false;
    for (size_t i = 1; i < edges.size(); ++i) {
        if (edges[i].level == 0 && edges[i].stampMs == markStampOfSecond0) {
            const uint32_t gap = edges[i].stampMs - edges[i - 1].stampMs;
            EXPECT_TRUE(gap == 1800 || gap == 1900) << gap;
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST(Dcf77EdgeStream, PolarityInvertsEveryLevelAndKeepsTheStamps) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 6, 1, 8, 0), 2);
    options.initialLevel = 0;
    const auto normal = GenerateEdgeVector(options);
    options.polarity = 1;
    options.initialLevel = 1;  // the same remembered state, seen through the other polarity
    const auto inverted = GenerateEdgeVector(options);
    ASSERT_EQ(normal.size(), inverted.size());
    for (size_t i = 0; i < normal.size(); ++i) {
        EXPECT_EQ(inverted[i].level, 1 - normal[i].level);
        EXPECT_EQ(inverted[i].stampMs, normal[i].stampMs);
    }
}

TEST(Dcf77EdgeStream, StampsWrapModulo32Bits) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 6, 1, 8, 0), 2);
    options.firstStampMs = 4294967295u - 30000u;
    options.phaseMs = 10;
    const auto edges = GenerateEdgeVector(options);
    bool wrapped = false;
    for (size_t i = 1; i < edges.size(); ++i) {
        const uint32_t step = edges[i].stampMs - edges[i - 1].stampMs;  // modulo 2^32
        EXPECT_GT(step, 0u);
        EXPECT_LT(step, 2000u);
        EXPECT_EQ((edges[i].stampMs - options.firstStampMs) % 25u, 0u);
        wrapped = wrapped || edges[i].stampMs < edges[i - 1].stampMs;
    }
    EXPECT_TRUE(wrapped);
}

TEST(Dcf77EdgeStream, NoiseIsReproducibleAndVisible) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 6, 1, 8, 0), 10);
    const auto clean = GenerateEdgeVector(options);
    options.glitchRate = 0.2;
    options.dropoutRate = 0.05;
    options.flipRate = 0.05;
    options.jitterMs = 9;
    options.seed = 42;
    const auto noisy = GenerateEdgeVector(options);
    const auto again = GenerateEdgeVector(options);
    ASSERT_EQ(noisy.size(), again.size());
    for (size_t i = 0; i < noisy.size(); ++i) {
        EXPECT_EQ(noisy[i].level, again[i].level);
        EXPECT_EQ(noisy[i].stampMs, again[i].stampMs);
    }
    EXPECT_NE(noisy.size(), clean.size());
    for (size_t i = 1; i < noisy.size(); ++i) {
        EXPECT_NE(noisy[i].level, noisy[i - 1].level);
        EXPECT_GE(noisy[i].stampMs, noisy[i - 1].stampMs);
    }
}

TEST(Dcf77EdgeStream, DropoutsRemoveMarksAndFlipsChangeTheirLength) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 6, 1, 8, 0), 1);
    options.dropoutRate = 1.0;
    const auto silent = GenerateEdgeVector(options);
    // The sampler remembered 0, so it posts the idle line once, then nothing.
    ASSERT_EQ(silent.size(), 1u);
    EXPECT_EQ(silent[0].level, 1);

    options.dropoutRate = 0;
    options.flipRate = 1.0;
    const auto flipped = GenerateEdgeVector(options);
    options.flipRate = 0;
    const auto clean = GenerateEdgeVector(options);
    ASSERT_EQ(flipped.size(), clean.size());
    for (size_t i = 2; i < clean.size(); i += 2) {
        const uint32_t cleanMark = clean[i].stampMs - clean[i - 1].stampMs;
        const uint32_t flippedMark = flipped[i].stampMs - flipped[i - 1].stampMs;
        EXPECT_EQ(cleanMark + flippedMark, 300u);
    }
}
