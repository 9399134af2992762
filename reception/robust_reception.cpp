#include "reception/robust_reception.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <iterator>

#include "reception/edge_decoder.h"
#include "reception/strict_confirmation.h"
#include "reception/telegram_decoder.h"
#include "timebase/civil_days.h"
#include "timebase/legal_time.h"

bool robustReception = false;

namespace robust {
namespace {

// ---- the second grid ---------------------------------------------------------
// A mark's bit shows in how long the line is active after the second's
// instant; jitter of a few tens of milliseconds must not move it out.
constexpr int32_t kWindowBeforeMs = 60;
constexpr int32_t kWindowAfterMs = 300;
constexpr int32_t kMarkMinMs = 50;     // glitches are shorter
constexpr int32_t kOnGridMs = 80;      // a mark starting this near the grid keeps it in step
constexpr int32_t kSampleMs = 50;      // ... and this near is good enough for a time sample
constexpr int kOffGridLimit = 10;      // marks in a row off the grid: another sender, or none
constexpr uint32_t kLostAfterMs = 90000;  // no edge for so long: the signal is gone
constexpr int kHistogramBins = 100;    // of 10 ms
constexpr float kHistogramDecay = 0.97f;
constexpr float kGridFoundWeight = 4.0f;
constexpr float kAlignDecay = 0.8f;
constexpr float kAlignLead = 0.75f;

// ---- the minutes -------------------------------------------------------------
constexpr int kRecords = 30;          // half an hour of evidence
constexpr int kLockCheckRecords = 6;  // the last minutes a lock is checked against
constexpr int kMinObserved = 30;      // of the 42 bits that tell the time apart (A2 aside)
// A minute is delivered only when no other value of any field fits the last
// minutes better than the carried time by more than this (a soft bit counts
// at most 1 each way).
constexpr double kDeliverSlack = 1.0;
// A lock is dropped when another time fits its last minutes better by this
// much (natural log of the likelihood ratio).
constexpr double kDropMargin = 12.0;
constexpr double kMaxErrorShare = 0.3;
constexpr int kLatestDelivery = 10;  // of the minute's seconds: later, the minute is let go

constexpr int kFirstMinuteBit = 21, kFirstHourBit = 29, kFirstDateBit = 36;
constexpr int kA1 = 16, kSummer = 17, kWinter = 18, kA2 = 19, kCall = 15;

struct Pulse {
    uint32_t start = 0;
    uint32_t end = 0;
    bool open = false;
};

struct Record {
    float soft[59];  // -1 a clear 0 .. +1 a clear 1; 0 when no mark was seen
    int64_t seq;     // minutes since the grid came up
    uint32_t boundaryMs;  // where the minute it describes begins
};

struct Observation {
    bool mark = false;
    float soft = 0;
    int32_t offset = 0;  // of the mark's start from the grid
};

// A time (UTC minute) or a day, and how well it explains the evidence.
struct Candidate {
    int64_t value = 0;
    double score = 0;
};

struct RobustState {
    // the line
    bool active = false;
    bool anyEdge = false;
    uint32_t lastEdgeMs = 0;
    Pulse pulses[8];
    int nextPulse = 0;
    // the phase of the second marks, for finding the grid
    bool haveOrigin = false;
    uint32_t phaseOrigin = 0;
    float histogram[kHistogramBins] = {};
    // the grid
    bool gridUp = false;
    uint32_t secondStart = 0;  // where the open second's mark is due
    int64_t secondCount = 0;
    int offGrid = 0;
    // the minute
    float noMark[60] = {};
    bool aligned = false;
    int lastSlot = 0;  // secondCount % 60 of second 59
    int second = 0;    // of the open second in its minute
    bool buildingWhole = false;
    bool leapMinute = false;
    float building[59] = {};
    int64_t minuteSeq = 0;
    // the evidence
    Record records[kRecords] = {};
    int recordCount = 0;
    int newest = -1;
    double weight = 1.0;  // nats per unit of soft evidence, from the measured error rate
    // the time
    bool locked = false;
    int64_t carried = 0;  // the UTC minute the newest record describes
    bool deliveryDue = false;  // for the carried minute, at its next mark on the grid
    uint32_t dueBoundaryMs = 0;
    Status status;
    GridMark mark;
};
RobustState decoder;

// ---- what the transmitter sends --------------------------------------------

using dcf77::Bcd;
int Bit(uint32_t pattern, int i) { return static_cast<int>((pattern >> i) & 1u); }
float Sign(uint32_t pattern, int i) { return Bit(pattern, i) ? 1.0f : -1.0f; }

// Bits 21-28 of a minute value, parity included; bits 29-35 of an hour value.
uint32_t MinutePattern(int minute) {
    const uint32_t bcd = Bcd(minute) & 0x7Fu;
    return bcd | (static_cast<uint32_t>(std::popcount(bcd) & 1) << 7);
}
uint32_t HourPattern(int hour) {
    const uint32_t bcd = Bcd(hour) & 0x3Fu;
    return bcd | (static_cast<uint32_t>(std::popcount(bcd) & 1) << 6);
}

// Bits 16-58 that tell one time from another: A1 (but at the two minutes at
// either end of its hour, where transmitters differ), the summer-time bits and
// all of the time and date.
uint64_t KnownMask(int64_t utcMinute) {
    uint64_t mask = (uint64_t{1} << kSummer) | (uint64_t{1} << kWinter);
    for (int b = kFirstMinuteBit; b <= 58; ++b) mask |= uint64_t{1} << b;
    int year = 0, month = 0, day = 0;
    dcf77::CivilFromDays(dcf77::FloorDiv(utcMinute, 1440), year, month, day);
    bool edge = false;
    for (int64_t change : {dcf77::SummerTimeStartUtc(year), dcf77::SummerTimeEndUtc(year)}) {
        const int64_t at = change / dcf77::kMinuteMs;
        edge = edge || utcMinute == at || utcMinute == at - 59;
    }
    if (!edge) mask |= uint64_t{1} << kA1;
    return mask;
}

const Record& RecordAt(int age) { return decoder.records[(decoder.newest - age + kRecords) % kRecords]; }
int64_t OffsetOf(int age) { return decoder.records[decoder.newest].seq - RecordAt(age).seq; }

// Calls visit(soft, expected) for each known bit of the newest `count`
// records, `expected` the bit the telegrams of `utcMinute` and the minutes
// before it carry there.
template <typename Visit>
void ForKnownBits(int64_t utcMinute, int count, Visit visit) {
    for (int age = 0; age < count; ++age) {
        const int64_t minute = utcMinute - OffsetOf(age);
        const uint64_t expected = dcf77::TelegramDescribing(minute * dcf77::kMinuteMs);
        const uint64_t mask = KnownMask(minute);
        const Record& record = RecordAt(age);
        for (int b = kA1; b <= 58; ++b) {
            if (((mask >> b) & 1u) != 0) visit(record.soft[b], ((expected >> b) & 1u) != 0);
        }
    }
}

// How well `utcMinute` explains the newest `count` records: the sum of each
// soft bit, signed as expected.
double ExactScore(int64_t utcMinute, int count) {
    double score = 0;
    ForKnownBits(utcMinute, count, [&score](float soft, bool one) { score += one ? soft : -soft; });
    return score;
}

// Of the known bits seen clearly, how many `utcMinute` explains and how many not.
void Fit(int64_t utcMinute, int count, int& agreeing, int& seen) {
    agreeing = seen = 0;
    ForKnownBits(utcMinute, count, [&](float soft, bool one) {
        if (std::fabs(soft) < 0.5f) return;
        ++seen;
        agreeing += (soft > 0) == one;
    });
}

// ---- the fields, one at a time ------------------------------------------------
// The best times are found field by field (minute, hour, date), then the few
// that come out on top are weighed whole against each other.

// Minute of the hour of the newest record's minute, scored over `count` records.
void ScoreMinutes(int count, double (&scores)[60]) {
    for (int m0 = 0; m0 < 60; ++m0) {
        double score = 0;
        for (int age = 0; age < count; ++age) {
            const int minute = static_cast<int>(dcf77::FloorMod(m0 - OffsetOf(age), 60));
            const uint32_t pattern = MinutePattern(minute);
            for (int i = 0; i < 8; ++i) score += RecordAt(age).soft[kFirstMinuteBit + i] * Sign(pattern, i);
        }
        scores[m0] = score;
    }
}

// Hour of the newest record's minute, given that minute of the hour.
void ScoreHours(int count, int m0, double (&scores)[24]) {
    for (int h0 = 0; h0 < 24; ++h0) {
        double score = 0;
        for (int age = 0; age < count; ++age) {
            const int64_t ofDay = h0 * 60 + m0 - OffsetOf(age);
            const uint32_t pattern = HourPattern(static_cast<int>(dcf77::FloorMod(dcf77::FloorDiv(ofDay, 60), 24)));
            for (int i = 0; i < 7; ++i) score += RecordAt(age).soft[kFirstHourBit + i] * Sign(pattern, i);
        }
        scores[h0] = score;
    }
}

// The date bits (36-58) summed over records: `after` those of the newest
// record's date, `before` those of the day before.
struct DateSums {
    double after[23] = {};
    double before[23] = {};
    bool anyBefore = false;
};

DateSums SumDates(int count, int timeOfDay) {
    DateSums sums;
    for (int age = 0; age < count; ++age) {
        const bool before = timeOfDay - OffsetOf(age) < 0;
        sums.anyBefore = sums.anyBefore || before;
        for (int i = 0; i < 23; ++i) (before ? sums.before : sums.after)[i] += RecordAt(age).soft[kFirstDateBit + i];
    }
    return sums;
}

// What the date bits of one day score against sums.
struct DayScorer {
    double day[32], weekday[8], month[13], year[100];
    int dayOnes[32], weekdayOnes[8], monthOnes[13], yearOnes[100];
    double parity[2];
    explicit DayScorer(const double (&sum)[23]) {
        auto field = [&sum](int first, int width, uint32_t pattern) {
            double score = 0;
            for (int i = 0; i < width; ++i) score += sum[first + i] * Sign(pattern, i);
            return score;
        };
        for (int d = 0; d < 32; ++d) day[d] = field(0, 6, Bcd(d)), dayOnes[d] = std::popcount(Bcd(d) & 0x3Fu);
        for (int w = 0; w < 8; ++w) weekday[w] = field(6, 3, static_cast<uint32_t>(w)), weekdayOnes[w] = std::popcount(static_cast<unsigned>(w));
        for (int m = 0; m < 13; ++m) month[m] = field(9, 5, Bcd(m)), monthOnes[m] = std::popcount(Bcd(m) & 0x1Fu);
        for (int y = 0; y < 100; ++y) year[y] = field(14, 8, Bcd(y)), yearOnes[y] = std::popcount(Bcd(y));
        parity[0] = -sum[22];
        parity[1] = sum[22];
    }
    double Score(int y2, int m, int d, int w) const {
        const int ones = yearOnes[y2] + monthOnes[m] + dayOnes[d] + weekdayOnes[w];
        return year[y2] + month[m] + day[d] + weekday[w] + parity[ones & 1];
    }
};

// The best days (days since 1970) for the date bits, in the telegram's years
// (1998 to 2097). A year whose best conceivable score cannot reach the third
// best day found so far is not looked into.
void BestDates(const DateSums& sums, Candidate (&best)[3]) {
    for (Candidate& c : best) c = {0, -1e300};
    const DayScorer after(sums.after), before(sums.before);
    auto most = [](const double* scores, int from, int to) { return *std::max_element(scores + from, scores + to); };
    const double rest = most(after.month, 1, 13) + most(after.day, 1, 32) + most(after.weekday, 1, 8) +
                        std::fabs(after.parity[1]);
    const double restBefore = !sums.anyBefore ? 0
                              : most(before.year, 0, 100) + most(before.month, 1, 13) + most(before.day, 1, 32) +
                                    most(before.weekday, 1, 8) + std::fabs(before.parity[1]);
    int years[100];
    for (int i = 0; i < 100; ++i) years[i] = i;
    std::sort(years, years + 100, [&](int a, int b) { return after.year[a] > after.year[b]; });
    for (int y2 : years) {
        if (after.year[y2] + rest + restBefore <= best[2].score) break;
        const int year = FourDigitYear(y2);
        int64_t days = DaysFromCivil(year, 1, 1);
        // The day before the first of January.
        int pm = 12, pd = 31, pw = WeekdayOfDays(days - 1), py = (y2 + 99) % 100;
        for (int month = 1; month <= 12; ++month) {
            for (int d = 1; d <= DaysInMonth(year, month); ++d, ++days) {
                const int w = WeekdayOfDays(days);
                double score = after.Score(y2, month, d, w);
                if (sums.anyBefore) score += before.Score(py, pm, pd, pw);
                if (score > best[2].score) {
                    best[2] = {days, score};
                    std::sort(std::begin(best), std::end(best),
                              [](const Candidate& x, const Candidate& y) { return x.score > y.score; });
                }
                py = y2, pm = month, pd = d, pw = w;
            }
        }
    }
}

// What one day's date bits score, with the day before for the records before midnight.
double DayScore(const DateSums& sums, int64_t days) {
    auto fields = [](int64_t day, int& y2, int& month, int& d, int& w) {
        int year = 0;
        dcf77::CivilFromDays(day, year, month, d);
        y2 = year % 100;
        w = WeekdayOfDays(day);
    };
    int y2 = 0, month = 0, d = 0, w = 0;
    fields(days, y2, month, d, w);
    double score = DayScorer(sums.after).Score(y2, month, d, w);
    if (sums.anyBefore) {
        fields(days - 1, y2, month, d, w);
        score += DayScorer(sums.before).Score(y2, month, d, w);
    }
    return score;
}

// ---- the search --------------------------------------------------------------

void AddCandidate(Candidate* list, int& size, int capacity, int64_t utcMinute) {
    for (int i = 0; i < size; ++i) {
        if (list[i].value == utcMinute) return;
    }
    if (size < capacity) list[size++] = {utcMinute, 0};
}

// The UTC minutes a local date and time of day can be: one, none in the hour
// the spring change skips, two in the hour the autumn change repeats.
template <typename Add>
void LocalToUtc(int64_t days, int timeOfDay, Add add) {
    const int64_t local = days * 1440 + timeOfDay;
    for (int offset : {120, 60}) {
        const int64_t utc = local - offset;
        if (dcf77::IsSummerTime(utc * dcf77::kMinuteMs) == (offset == 120)) add(utc);
    }
}

struct SearchResult {
    int64_t best = 0;
    double margin = 0;  // nats
    bool sound = false;
};

SearchResult Search() {
    SearchResult result;
    const int count = decoder.recordCount;
    if (count < 2) return result;
    double minutes[60];
    ScoreMinutes(count, minutes);
    int order[60];
    for (int i = 0; i < 60; ++i) order[i] = i;
    std::partial_sort(order, order + 3, order + 60, [&](int a, int b) { return minutes[a] > minutes[b]; });

    struct TimeOfDay {
        int value;
        double score;
    };
    TimeOfDay times[6];
    int timeCount = 0;
    for (int k = 0; k < 3; ++k) {
        const int m0 = order[k];
        double hours[24];
        ScoreHours(count, m0, hours);
        int hourOrder[24];
        for (int i = 0; i < 24; ++i) hourOrder[i] = i;
        std::partial_sort(hourOrder, hourOrder + 2, hourOrder + 24, [&](int a, int b) { return hours[a] > hours[b]; });
        for (int j = 0; j < 2; ++j) times[timeCount++] = {hourOrder[j] * 60 + m0, minutes[m0] + hours[hourOrder[j]]};
    }
    std::sort(times, times + timeCount, [](const TimeOfDay& a, const TimeOfDay& b) { return a.score > b.score; });

    Candidate candidates[64];
    int size = 0;
    int lastSplit = -1;
    Candidate dates[3];
    for (int t = 0; t < 4; ++t) {
        const int split = std::min(times[t].value + 1, count);
        if (split != lastSplit) BestDates(SumDates(count, times[t].value), dates);
        lastSplit = split;
        for (const Candidate& date : dates) {
            LocalToUtc(date.value, times[t].value, [&](int64_t utc) { AddCandidate(candidates, size, 64, utc); });
        }
    }
    if (size == 0) return result;
    for (int i = 0; i < size; ++i) candidates[i].score = ExactScore(candidates[i].value, count);
    std::sort(candidates, candidates + size, [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    // The nearest neighbours of the best, whatever the fields said.
    const int64_t top = candidates[0].value;
    for (int64_t step : {1, 60, 1440}) {
        for (int64_t sign : {-1, 1}) {
            const int before = size;
            AddCandidate(candidates, size, 64, top + sign * step);
            if (size > before) candidates[size - 1].score = ExactScore(candidates[size - 1].value, count);
        }
    }
    std::sort(candidates, candidates + size, [](const Candidate& a, const Candidate& b) { return a.score > b.score; });

    // The error rate the best time leaves, counted pessimistically, sets the
    // weight of a bit: a clean signal earns its confirmation in three minutes,
    // a noisy one must show its margin over many more.
    int agreeing = 0, seen = 0;
    Fit(candidates[0].value, count, agreeing, seen);
    if (seen == 0) return result;
    const double errorShare = 1.0 - static_cast<double>(agreeing) / seen;
    double p = (seen - agreeing + 1.0) / (seen + 2.0);
    p = std::clamp(p + 2.0 * std::sqrt(p * (1 - p) / seen), 0.002, 0.4);
    decoder.weight = std::log((1 - p) / p);
    result.best = candidates[0].value;
    result.margin = size > 1 ? decoder.weight * (candidates[0].score - candidates[1].score) : 0;
    result.sound = errorShare <= kMaxErrorShare;
    return result;
}

// ---- a locked time -------------------------------------------------------------

// How much better some other value of one field (minute, hour, date, summer
// time) explains the newest `count` records than the carried time does, in
// units of a soft bit; 0 when nothing does.
double Advantage(int64_t utcMinute, int count) {
    const dcf77::LegalTime local = dcf77::GermanLegalTime(utcMinute * dcf77::kMinuteMs);
    // The fields are weighed as if legal time had not changed in these
    // minutes: after a change, only the minutes since.
    for (int age = 1; age < count; ++age) {
        if (dcf77::IsSummerTime((utcMinute - OffsetOf(age)) * dcf77::kMinuteMs) != local.summer) count = age;
    }
    double minutes[60];
    ScoreMinutes(count, minutes);
    double advantage = *std::max_element(std::begin(minutes), std::end(minutes)) - minutes[local.minute];
    double hours[24];
    ScoreHours(count, local.minute, hours);
    advantage = std::max(advantage, *std::max_element(std::begin(hours), std::end(hours)) - hours[local.hour]);
    const DateSums sums = SumDates(count, local.hour * 60 + local.minute);
    Candidate dates[3];
    BestDates(sums, dates);
    advantage =
        std::max(advantage, dates[0].score - DayScore(sums, DaysFromCivil(local.year, local.month, local.day)));
    double summer = 0;  // the other state, as a real time would have it
    for (int age = 0; age < count; ++age) summer += RecordAt(age).soft[kSummer] - RecordAt(age).soft[kWinter];
    return std::max(advantage, local.summer ? -summer : summer);
}

bool EnoughSeen(const Record& record) {
    int seen = 0;
    for (int b = kA1; b <= 58; ++b) seen += record.soft[b] != 0 && b != kA2;
    return seen >= kMinObserved;
}

// A2, heard in most of the last minutes.
bool LeapAnnounced() {
    double sum = 0;
    const int count = decoder.recordCount;
    for (int age = 0; age < count; ++age) sum += RecordAt(age).soft[kA2];
    return count > 0 && sum > 0.3 * count;
}

void ShowTime(TDcfState& state, int64_t utcMinute, uint32_t boundaryMs, bool valid) {
    const uint64_t bits = dcf77::TelegramDescribing(utcMinute * dcf77::kMinuteMs);
    const dcf77::LegalTime t = dcf77::GermanLegalTime(utcMinute * dcf77::kMinuteMs);
    TDcfTelegram& current = state.current;
    current.callBit = decoder.recordCount > 0 && RecordAt(0).soft[kCall] > 0 ? 1 : 0;
    current.dstAnnounce = static_cast<uint8_t>((bits >> kA1) & 1u);
    current.summerTime = t.summer ? 1 : 0;
    current.leapAnnounce = LeapAnnounced() ? 1 : 0;
    current.hour = static_cast<int16_t>(t.hour);
    current.weekday = static_cast<int16_t>(t.weekday);
    current.day = static_cast<int16_t>(t.day);
    current.month = static_cast<int16_t>(t.month);
    current.year = static_cast<int16_t>(t.year % 100);
    current.minute = static_cast<int16_t>(t.minute);
    current.markTime = static_cast<int32_t>(boundaryMs) / 10;
    current.valid = valid ? 1 : 0;
    state.statusChanged = 1;
}

// A minute is confirmed at a mark on the grid, as the classic decoder does at
// the minute mark: the clock is set in whole seconds since the minute began,
// which is exact only at a mark. Mostly that is the mark of second 0 itself.
void Deliver(int64_t utcMinute, uint32_t boundaryMs) {
    decoder.deliveryDue = true;
    decoder.carried = utcMinute;
    decoder.dueBoundaryMs = boundaryMs;
}

int LockedPercent() {
    int agreeing = 0, seen = 0;
    Fit(decoder.carried, std::min(decoder.recordCount, 10), agreeing, seen);
    return seen ? agreeing * 100 / seen : 0;
}

strict::TelegramFacts FactsOf(int64_t utcMinute, uint32_t boundaryMs) {
    strict::TelegramFacts facts;
    facts.framed = true;
    facts.utcMinute = utcMinute;
    facts.markMs = boundaryMs;
    facts.pauses = EdgePauses();
    return facts;
}

void Unlock() {
    decoder.locked = false;
    decoder.deliveryDue = false;
    decoder.status = {Phase::Gathering, 0};
}

// A minute's record is complete: carry a locked time on, or look for one.
void MinuteDone(TDcfState& state, uint32_t boundaryMs, bool framed) {
    decoder.newest = (decoder.newest + 1) % kRecords;
    Record& record = decoder.records[decoder.newest];
    std::copy(std::begin(decoder.building), std::end(decoder.building), record.soft);
    record.seq = decoder.minuteSeq++;
    record.boundaryMs = boundaryMs;
    decoder.recordCount = std::min(decoder.recordCount + 1, kRecords);

    if (decoder.locked) {
        ++decoder.carried;
        const double advantage = Advantage(decoder.carried, std::min(decoder.recordCount, kLockCheckRecords));
        // Another time that fits the last minutes clearly better: the lock
        // was wrong or the sender jumped; either way it is not bent to follow.
        if (advantage * decoder.weight >= kDropMargin) {
            Unlock();
        } else {
            decoder.status = {Phase::Locked, LockedPercent()};
            const bool fits = framed && EnoughSeen(record) && advantage <= kDeliverSlack;
            if (fits && strict::OnTimeLine(FactsOf(decoder.carried, boundaryMs))) {
                Deliver(decoder.carried, boundaryMs);
            } else {
                ShowTime(state, decoder.carried, boundaryMs, false);
            }
            return;
        }
    }
    const SearchResult found = Search();
    if (found.best != 0) ShowTime(state, found.best, boundaryMs, false);
    decoder.status = {Phase::Gathering, std::clamp(static_cast<int>(100 * found.margin / kConfirmMargin), 0, 99)};
    if (!framed || !found.sound || found.margin < kConfirmMargin || !EnoughSeen(record)) return;
    if (!strict::OnTimeLine(FactsOf(found.best, boundaryMs))) return;  // contradicts the time line
    decoder.locked = true;
    decoder.carried = found.best;
    decoder.status = {Phase::Locked, LockedPercent()};
    Deliver(decoder.carried, boundaryMs);
}

// ---- the second grid -----------------------------------------------------------

// The minute's evidence is no longer where it was thought to be.
void ClearMinutes() {
    decoder.aligned = false;
    decoder.buildingWhole = false;
    decoder.leapMinute = false;
    decoder.recordCount = 0;
    decoder.newest = -1;
    if (decoder.locked) Unlock();
    decoder.status = {decoder.gridUp ? Phase::Gathering : Phase::Searching, 0};
}

void GridLost() {
    decoder.gridUp = false;
    ClearMinutes();
    decoder.status = {Phase::Searching, 0};
}

uint32_t PhaseOf(uint32_t stamp) { return (stamp - decoder.phaseOrigin) % 1000u; }

// A mark found: its start adds to the picture of where the seconds begin,
// which older marks fade from.
void NotePulse(uint32_t start, uint32_t length) {
    if (length < 60 || length > 260) return;
    if (!decoder.haveOrigin || start - decoder.phaseOrigin > 0x40000000u) {
        decoder.phaseOrigin = decoder.haveOrigin ? decoder.phaseOrigin + (start - decoder.phaseOrigin) / 1000u * 1000u : start;
        decoder.haveOrigin = true;
    }
    for (float& bin : decoder.histogram) bin *= kHistogramDecay;
    decoder.histogram[PhaseOf(start) / 10u] += 1.0f;
    if (decoder.gridUp) return;
    int peak = 0;
    float peakWeight = 0, total = 0;
    for (int i = 0; i < kHistogramBins; ++i) {
        total += decoder.histogram[i];
        const float w = decoder.histogram[(i + kHistogramBins - 1) % kHistogramBins] + decoder.histogram[i] +
                        decoder.histogram[(i + 1) % kHistogramBins];
        if (w > peakWeight) peakWeight = w, peak = i;
    }
    if (peakWeight < kGridFoundWeight || peakWeight < 0.6f * total) return;
    // The grid instant nearest this mark, at the peak's centre.
    const int32_t phase = peak * 10 + 5;
    int32_t shift = phase - static_cast<int32_t>(PhaseOf(start));
    if (shift > 500) shift -= 1000;
    if (shift < -500) shift += 1000;
    decoder.gridUp = true;
    decoder.secondStart = start + static_cast<uint32_t>(shift);
    decoder.secondCount = 0;
    decoder.offGrid = 0;
    std::fill(std::begin(decoder.noMark), std::end(decoder.noMark), 0.0f);
    ClearMinutes();
}

int32_t Overlap(uint32_t from, uint32_t to, const Pulse& pulse, uint32_t now) {
    const uint32_t end = pulse.open ? now : pulse.end;
    const int32_t a = static_cast<int32_t>(pulse.start - from) > 0 ? static_cast<int32_t>(pulse.start - from) : 0;
    const int32_t b = std::min(static_cast<int32_t>(end - from), static_cast<int32_t>(to - from));
    return b > a ? b - a : 0;
}

Observation Observe(uint32_t now) {
    const uint32_t from = decoder.secondStart - kWindowBeforeMs;
    const uint32_t to = decoder.secondStart + kWindowAfterMs;
    Observation seen;
    int32_t activity = 0;
    int pulses = 0;
    bool first = true;
    for (const Pulse& pulse : decoder.pulses) {
        if (pulse.start == 0 && !pulse.open && pulse.end == 0) continue;
        const int32_t part = Overlap(from, to, pulse, now);
        if (part == 0) continue;
        activity += part;
        ++pulses;
        const int32_t offset = static_cast<int32_t>(pulse.start - decoder.secondStart);
        if (first || std::abs(offset) < std::abs(seen.offset)) seen.offset = offset;
        first = false;
    }
    seen.mark = activity >= kMarkMinMs;
    if (seen.mark) {
        seen.soft = std::clamp(static_cast<float>(activity - 150) / 50.0f, -1.0f, 1.0f);
        if (pulses > 1) seen.soft *= 0.5f;  // a glitch beside the mark blurs its length
    }
    return seen;
}

void Align() {
    int best = 0;
    for (int i = 1; i < 60; ++i) {
        if (decoder.noMark[i] > decoder.noMark[best]) best = i;
    }
    float second = 0;
    for (int i = 0; i < 60; ++i) {
        if (i != best) second = std::max(second, decoder.noMark[i]);
    }
    // One minute's gap is enough on a clean signal; a missing mark elsewhere
    // must have faded well below it.
    if (decoder.noMark[best] - second < kAlignLead) return;
    if (decoder.aligned && best == decoder.lastSlot) return;
    ClearMinutes();
    decoder.aligned = true;
    decoder.lastSlot = best;
    decoder.second = static_cast<int>(dcf77::FloorMod(decoder.secondCount - best - 1, 60));  // of the next second
}

// The minute ends with the second that has no mark: 59, or 60 when an
// announced leap second lengthens it. A minute whose end does not look so is
// not delivered. A mark in second 59 followed by none is a leap second whose
// announcement was not heard: the minute is taken to have had 61 seconds.
void EndMinute(TDcfState& state, uint32_t boundaryMs, bool leap, bool framed) {
    if (decoder.buildingWhole) MinuteDone(state, boundaryMs, framed);
    if (leap) {
        // The missing mark comes a second later from now on.
        std::rotate(std::begin(decoder.noMark), std::end(decoder.noMark) - 1, std::end(decoder.noMark));
        decoder.lastSlot = (decoder.lastSlot + 1) % 60;
    }
    // A locked time whose minute ends with a leap second, announced by A2.
    decoder.leapMinute = decoder.locked && (decoder.carried + 1) % 1440 == 0 && LeapAnnounced();
    decoder.buildingWhole = false;
}

void FollowMinute(TDcfState& state, const Observation& seen) {
    const int second = decoder.second;
    if (second == 0) decoder.buildingWhole = true;
    if (second <= 58) {
        decoder.building[second] = seen.mark ? seen.soft : 0.0f;
        decoder.second = second + 1;
    } else if (second == 59 && !seen.mark && !decoder.leapMinute) {
        EndMinute(state, decoder.secondStart + 1000u, false, true);
        decoder.second = 0;
    } else if (second == 59) {
        decoder.second = 60;  // a leap second's minute, announced or not: the next second tells
    } else if (!seen.mark) {
        EndMinute(state, decoder.secondStart + 1000u, true, decoder.leapMinute);
        decoder.second = 0;
    } else {
        // No leap second after all: this was second 0 of the next minute.
        EndMinute(state, decoder.secondStart, false, false);
        decoder.buildingWhole = true;
        decoder.building[0] = seen.soft;
        decoder.second = 1;
    }
    if (decoder.second > kLatestDelivery) decoder.deliveryDue = false;
}

void CloseSecond(TDcfState& state, uint32_t now) {
    const Observation seen = Observe(now);
    if (seen.mark && std::abs(seen.offset) <= kOnGridMs) {
        decoder.secondStart += static_cast<uint32_t>(seen.offset / 4);  // follow slowly: jitter averages out
        decoder.offGrid = 0;
    } else if (seen.mark && ++decoder.offGrid >= kOffGridLimit) {
        return GridLost();
    }
    const int slot = static_cast<int>(decoder.secondCount % 60);
    decoder.noMark[slot] = kAlignDecay * decoder.noMark[slot] + (seen.mark ? 0.0f : 1.0f);

    if (decoder.aligned) FollowMinute(state, seen);
    ++decoder.secondCount;
    decoder.secondStart += 1000u;
    Align();
}

}  // namespace

void OnEdge(TDcfState& state, uint8_t level, int32_t stampMs) {
    const auto now = static_cast<uint32_t>(stampMs);
    decoder.mark = GridMark{};
    if (decoder.anyEdge && now - decoder.lastEdgeMs > kLostAfterMs) {
        GridLost();
        std::fill(std::begin(decoder.histogram), std::end(decoder.histogram), 0.0f);
        for (Pulse& pulse : decoder.pulses) pulse = Pulse{};
    }
    decoder.anyEdge = true;
    decoder.lastEdgeMs = now;
    while (decoder.gridUp && static_cast<int32_t>(now - (decoder.secondStart + kWindowAfterMs)) >= 0) CloseSecond(state, now);

    const bool active = level == state.polarity;
    if (active == decoder.active) return;
    decoder.active = active;
    if (active) {
        decoder.pulses[decoder.nextPulse] = {now, now, true};
        const int32_t offset = static_cast<int32_t>(now - decoder.secondStart);
        const bool onGrid = decoder.gridUp && std::abs(offset) <= kSampleMs;
        if (decoder.deliveryDue && onGrid && decoder.second <= kLatestDelivery) {
            decoder.deliveryDue = false;
            ShowTime(state, decoder.carried, decoder.dueBoundaryMs, true);
            ConfirmCurrent(state);
        }
        if (decoder.locked && onGrid && decoder.second <= 59) decoder.mark = {true, decoder.carried * 60 + decoder.second, LeapAnnounced()};
        return;
    }
    Pulse& pulse = decoder.pulses[decoder.nextPulse];
    if (!pulse.open) return;
    pulse.open = false;
    pulse.end = now;
    decoder.nextPulse = (decoder.nextPulse + 1) % 8;
    NotePulse(pulse.start, pulse.end - pulse.start);
}

const GridMark& MarkOfLastEdge() { return decoder.mark; }

Status CurrentStatus() { return decoder.status; }

void Reset() { decoder = RobustState{}; }

}  // namespace robust
