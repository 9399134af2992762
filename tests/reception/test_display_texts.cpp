#include "reception_fixture.h"
#include "reception/display_texts.h"

namespace {

TEST(TelegramLine, Layouts) {
    struct Case { const char* name; TDcfState state; const char* line; };
    TDcfState notSynced{};
    TDcfState sunday{};
    // callBit, dstAnnounce, summerTime, leapAnnounce, hour, weekday, day, month, year, minute
    sunday.current = {0, 0, 0, 0, 14, 7, 6, 12, 26, 5, 0, 12345, 0};
    sunday.checkFlags = 31;
    sunday.telegramsStored = 2;
    TDcfState friday{};
    friday.current = {1, 0, 1, 0, 9, 5, 1, 7, 5, 59, 0, 12345, 0};
    friday.checkFlags = 23;
    TDcfState noWeekday = sunday;
    noWeekday.current.weekday = 0;
    noWeekday.checkFlags = 0;

    const Case cases[] = {
        {"not synchronised", notSynced,
         "synchronisiere...                                   komplett: 0/3"},
        {"sunday", sunday, "RA- ZU- SZ- SS-  14:05  So 06.12.26    Check: ++++++  komplett: 2/3"},
        {"friday", friday, "RA+ ZU- SZ+ SS-  09:59  Fr 01.07.05    Check: ++++-+  komplett: 0/3"},
        {"no weekday", noWeekday,
         "RA- ZU- SZ- SS-  14:05     06.12.26    Check: -+----  komplett: 2/3"},
    };
    for (const Case& c : cases) {
        BuildStatusLines(c.state);
        EXPECT_EQ(telegramLine.view(), c.line) << c.name;
    }
}

// Counters right-aligned in seven places and never cut; the malformed count
// is a 32-bit difference shown unsigned.
TEST(StatisticsAndSettingLines, Formatting) {
    TDcfState s{};
    s.syncAttempts = 12345678;
    s.telegramCount = 10;
    s.validCount = 11;
    s.confirmedCount = 5;
    BuildStatusLines(s);
    EXPECT_EQ(statisticsLine.view(),
              "Syn.vers. 12345678 / Telegr.      10 / Form.fehl. 4294967295 / bestaet.       5");
    FormatSettingTime(26, 12, 6, 14, 5, 0);
    EXPECT_EQ(lastSettingLine.view(), "06.12.26 14:05:00");
}

}  // namespace
