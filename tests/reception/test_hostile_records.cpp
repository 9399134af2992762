// A record is not always ours alone: a lent block or a datagram off the network
// can hold anything. Decoding and text building must stay inside the record
// and the texts whatever it holds (ASan and UBSan watch these runs).
#include <cstring>
#include <random>

#include "reception_fixture.h"
#include "reception/display_texts.h"
#include "reception/telegram_decoder.h"

namespace {

using HostileRecord = ReceptionTest;

void Randomise(TDcfState& s, std::mt19937& rng) {
    unsigned char bytes[sizeof(TDcfState)];
    for (auto& b : bytes) b = static_cast<unsigned char>(rng());
    std::memcpy(&s, bytes, sizeof bytes);
}

TEST_F(HostileRecord, RandomRecordsThroughDecoderAndTexts) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 20000; ++round) {
        Randomise(state(), rng);
        const uint8_t stored = static_cast<uint8_t>(rng() & 1);
        timeConfirmed = 0;
        switch (rng() % 4) {
            case 0: DecodeTelegram(); break;
            case 1: AppendBit(stored); break;
            case 2: DecodeEdge(static_cast<uint8_t>(rng()), static_cast<int32_t>(rng())); break;
            default: ClearBits(); break;
        }
        BuildBitLine(state());
        BuildStatusLines(state());
        FormatSettingTime(static_cast<int>(rng()), static_cast<int>(rng()), static_cast<int>(rng()),
                          static_cast<int>(rng()), static_cast<int>(rng()), static_cast<int>(rng()));
        ASSERT_LE(bitLine.size(), 60u);
        ASSERT_LT(telegramLine.size(), 120u);
        ASSERT_LT(statisticsLine.size(), 120u);
        ASSERT_LT(lastSettingLine.size(), 100u);
    }
}

TEST_F(HostileRecord, OutOfRangeCountsNeverReachOutside) {
    for (int8_t count : {int8_t{-128}, int8_t{-1}, int8_t{64}, int8_t{127}}) {
        state().buffer.bitCount = count;
        state().buffer.bits[0] = state().buffer.bits[1] = 0xFFFFFFFFu;
        AppendBit(0);
        EXPECT_EQ(+state().buffer.bitCount, count);  // nothing written, nothing counted
        EXPECT_EQ(+state().buffer.bits[1], 0xFFFFFFFFu);
        BuildBitLine(state());
        EXPECT_EQ(bitLine.size(), count < 0 ? 0u : 60u);
    }
    // Appending overwrites whatever a stale position held.
    ClearBits();
    state().buffer.bits[0] = 0xFFFFFFFFu;
    AppendBit(0);
    EXPECT_EQ(+state().buffer.bits[0], 0xFFFFFFFEu);
    EXPECT_EQ(TestBit(state().buffer, -1), 0);
    EXPECT_EQ(TestBit(state().buffer, 64), 0);

    // A negative window count fills from the first slot instead of before the window.
    const TDcfState before = state();
    state().telegramsStored = -5;
    ClearBits();
    for (char c : std::string(kSunday1405)) AppendBit(c == '1');
    DecodeTelegram();
    EXPECT_EQ(+state().telegramsStored, -4);
    EXPECT_EQ(+state().history[0].hour, 14);
    EXPECT_EQ(std::memcmp(&before.portCode, &state().portCode, 4), 0);
}

TEST_F(HostileRecord, ForeignConfirmFlagValueOnlySetsOurOwnByte) {
    state().confirmFlagPtr = 0x00000010u;  // an address that is not ours
    for (int m = 0; m < 3; ++m) {
        ClearBits();
        for (char c : MinuteAt(14, 10 + m)) AppendBit(c == '1');
        state().current.markTime = 1000 + 6000 * m;
        DecodeTelegram();
    }
    EXPECT_EQ(+state().confirmedCount, 1u);
    EXPECT_EQ(timeConfirmed, 1);
    EXPECT_EQ(+state().confirmFlagPtr, 0x10u);
}

}  // namespace
