#include "reception_fixture.h"
#include "reception/display_texts.h"

namespace {

using EdgeDecoder = ReceptionTest;

std::string Bits() {
    BuildBitLine(*dcfPtr);
    return std::string(bitLine.view());
}

TEST_F(EdgeDecoder, PulseAndGapThresholds) {
    struct Case { int markMs; int gapMs; const char* bit; uint32_t losses; };
    const Case cases[] = {
        {120, 880, "0", 1},   // exactly 12 hundredths is a 0
        {130, 870, "1", 1},   // 13 is a 1
        {100, 1300, "0", 1},  // a gap of exactly 1.3 s is no minute mark
        {100, 1310, "", 2},   // 1.31 s is: one bit held, so synchronisation is lost
    };
    for (const Case& c : cases) {
        SetUp();
        DecodeEdge(0, 10000);               // first start: one loss
        DecodeEdge(1, 10000 + c.markMs);    // end of the mark under test
        DecodeEdge(0, 10000 + c.markMs + c.gapMs);
        EXPECT_EQ(Bits(), c.bit) << c.markMs << "/" << c.gapMs;
        EXPECT_EQ(+state().syncAttempts, c.losses) << c.markMs << "/" << c.gapMs;
    }
}

TEST_F(EdgeDecoder, RepeatedLevelChangesNothingNotEvenTheLastEdgeTime) {
    DecodeEdge(0, 10000);
    DecodeEdge(1, 10100);
    DecodeEdge(1, 10450);  // repeated: must not move lastEdgeTime to 10450
    DecodeEdge(0, 10600);  // 0.5 s after 10100: accepted
    EXPECT_EQ(Bits(), "0");
}

TEST_F(EdgeDecoder, GlitchIsIgnoredButItsEndStillMovesTheMarkEnd) {
    DecodeEdge(0, 10000);
    DecodeEdge(1, 10100);
    DecodeEdge(0, 10300);  // spike 0.2 s after the end: ignored
    DecodeEdge(1, 10320);  // end of the spike moves markEndTime to 1032
    DecodeEdge(0, 10700);  // 0.38 s after that end: also ignored
    DecodeEdge(1, 10800);
    EXPECT_EQ(Bits(), "");
    DecodeEdge(0, 11600);  // 0.52 s after the last edge: accepted; pulse 1080 - 1000 is a 1
    EXPECT_EQ(Bits(), "1");
}

TEST_F(EdgeDecoder, SixtyBitsLoseSynchronisationAndAMinuteMarkThereLosesTwice) {
    const int64_t start = Synchronise();
    // Marks a second apart with no gap: after the minute mark at i = 0 the
    // start at i = 61 finds 60 bits held.
    for (int i = 0; i < 62; ++i) Mark(start + i * 1000, 100);
    EXPECT_EQ(+state().syncAttempts, 2u);
    EXPECT_EQ(+state().current.markTime, 0);

    SetUp();
    const int64_t again = Synchronise();
    for (int i = 0; i < 61; ++i) Mark(again + i * 1000, 100);
    const uint32_t before = state().syncAttempts;
    MinuteMark(again + 62000);  // 60 bits held and a 1.9 s gap at once
    EXPECT_EQ(+state().syncAttempts, before + 2);
}

TEST_F(EdgeDecoder, NegativeSinceLastGetsADayAddedButPulseAndGapDoNot) {
    DecodeEdge(0, 86399000);  // one loss, as at any start
    DecodeEdge(1, 86399100);
    DecodeEdge(0, 500);  // sinceLast = 50 - 8639910 + one day = 140: accepted
    EXPECT_EQ(Bits(), "0");                 // pulse 10
    EXPECT_EQ(+state().syncAttempts, 1u);    // gap is negative: no minute mark
}

}  // namespace
