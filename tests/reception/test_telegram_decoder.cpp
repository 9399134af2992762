#include "reception_fixture.h"
#include "reception/telegram_decoder.h"

namespace {

class TelegramDecoder : public ReceptionTest {
protected:
    void SetUp() override {
        ReceptionTest::SetUp();
        StoreConfirmFlag(state());
    }
    // What the edge decoder does at a minute mark with 59 bits.
    void Decode(const std::string& bits, int32_t markTime) {
        ClearBits();
        for (char c : bits) AppendBit(c == '1' ? 1 : 0);
        state().current.markTime = markTime;
        DecodeTelegram();
        ClearBits();
    }
    // Minutes hh:mm, hh:mm+1, ... with marks a minute apart.
    void DecodeRun(int hour, int firstMinute, int count, int32_t firstMark = 100000) {
        for (int i = 0; i < count; ++i) Decode(MinuteAt(hour, firstMinute + i), firstMark + 6000 * i);
    }
};

TEST_F(TelegramDecoder, FailedChecksShowInCheckFlagsAndLeaveTheWindow) {
    struct Case { int flipBit; uint8_t flags; };
    const Case cases[] = {{28, 27}, {35, 23}, {58, 15}, {20, 29}, {0, 31}};
    for (const Case& c : cases) {
        SetUp();
        DecodeRun(14, 10, 2);
        std::string bits = MinuteAt(14, 12);
        bits[static_cast<std::size_t>(c.flipBit)] ^= 1;
        Decode(bits, 112000);
        EXPECT_EQ(+state().checkFlags, c.flags) << "bit " << c.flipBit;
        const bool wellFormed = c.flags == 31;
        EXPECT_EQ(+state().validCount, wellFormed ? 3u : 2u) << "bit " << c.flipBit;
        EXPECT_EQ(+state().confirmedCount, wellFormed ? 1u : 0u) << "bit " << c.flipBit;
        EXPECT_EQ(+state().telegramsStored, wellFormed ? 3 : 2) << "bit " << c.flipBit;
        if (!wellFormed) {
            Decode(MinuteAt(14, 13), 118000);  // the next good minute still confirms
            EXPECT_EQ(+state().confirmedCount, 1u) << "bit " << c.flipBit;
        }
    }
}

// The third agreeing telegram confirms and slides the window (peers read it);
// outside reception-test mode it raises the requests the options ask for.
TEST_F(TelegramDecoder, ThirdAgreeingTelegramConfirms) {
    for (int receptionTest : {0, 1}) {
        SetUp();
        state().receptionTest = static_cast<uint8_t>(receptionTest);
        state().logEnabled = state().serverEnabled = state().autoEnd = 1;
        DecodeRun(14, 10, 3);
        EXPECT_EQ(+state().confirmedCount, 1u);
        EXPECT_EQ(+state().history[0].minute, 11);
        EXPECT_EQ(+state().history[1].minute, 12);
        const int raised = receptionTest ? 0 : 1;
        for (uint8_t flag : {timeConfirmed, state().setRequest, state().logRequest,
                             state().serverRequest, state().endRequest})
            EXPECT_EQ(flag, raised);
    }
    for (const TDcfTelegram& t : {state().current, state().history[0], state().history[1]})
        EXPECT_EQ(+t.reserved, 0);
}

TEST_F(TelegramDecoder, ChangeOfHourOrStatusEmptiesTheWindow) {
    for (int statusBit : {-1, 15, 16, 17, 19}) {
        SetUp();
        DecodeRun(14, 57, 2);
        std::string next = statusBit < 0 ? MinuteAt(15, 0) : MinuteAt(14, 59);
        if (statusBit >= 0) next[static_cast<std::size_t>(statusBit)] = '1';
        Decode(next, 112000);
        EXPECT_EQ(+state().telegramsStored, 0) << statusBit;
        EXPECT_EQ(+state().current.valid, 1);
        EXPECT_EQ(+state().history[0].valid + state().history[1].valid, 0);
        EXPECT_EQ(+state().confirmedCount, 0u);
    }
}

TEST_F(TelegramDecoder, ElapsedTimeBetweenMarks) {
    struct Case { int32_t apart; int minutes; bool confirms; };
    const Case cases[] = {
        {5950, 1, true}, {5949, 1, false}, {12000, 1, true}, {12000, 2, true}, {11949, 2, false},
        {100, 0, true},  // the same minute again passes the one-sided test
    };
    for (const Case& c : cases) {
        SetUp();
        Decode(MinuteAt(14, 10), 100000);
        Decode(MinuteAt(14, 11), 106000);
        Decode(MinuteAt(14, 11 + c.minutes), 106000 + c.apart);
        EXPECT_EQ(+state().confirmedCount, c.confirms ? 1u : 0u) << c.apart << "/" << c.minutes;
    }
}

}  // namespace
