#include <cstring>

#include "reception_fixture.h"

namespace {

// The record is a wire format: peers read fields at fixed byte offsets,
// little-endian, even where a field starts at an odd offset.
TEST(DcfStateLayout, MultiByteFieldsAreLittleEndianAtTheirOffsets) {
    TDcfState s{};
    s.telegramsStored = 0x0102;
    s.telegramCount = 0x03040506;
    s.current.markTime = 0x0708090A;
    s.history[0].minute = 0x0B0C;
    s.history[1].markTime = 0x0D0E0F10;
    s.portCode = 0x1112;
    s.cycleMinutes = 0x1314;
    s.buffer.bits[1] = 0x15161718;

    unsigned char b[sizeof s];
    std::memcpy(b, &s, sizeof s);
    struct { std::size_t offset; std::vector<unsigned char> bytes; } cases[] = {
        {26, {0x02, 0x01}},
        {28, {0x06, 0x05, 0x04, 0x03}},
        {62, {0x0A, 0x09, 0x08, 0x07}},
        {81, {0x0C, 0x0B}},
        {108, {0x10, 0x0F, 0x0E, 0x0D}},
        {113, {0x12, 0x11}},
        {115, {0x14, 0x13}},
        {22, {0x18, 0x17, 0x16, 0x15}},
    };
    for (const auto& c : cases) {
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
            EXPECT_EQ(+b[c.offset + i], c.bytes[i]) << "offset " << c.offset + i;
    }
}

TEST(ConfirmFlag, StoredValueIsNonZeroAndResolvesToOurOwnByte) {
    TDcfState s{};
    const uint32_t stored = StoreConfirmFlag(s);
    EXPECT_NE(stored, 0u);
    EXPECT_EQ(+s.confirmFlagPtr, stored);
    EXPECT_EQ(ResolveConfirmFlag(stored), &timeConfirmed);
    EXPECT_EQ(ResolveConfirmFlag(0), nullptr);
    // Whatever a foreign block holds, only our own byte is ever written.
    EXPECT_EQ(ResolveConfirmFlag(0xDEADBEEF), &timeConfirmed);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(stored, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&timeConfirmed)));
    }
}

}  // namespace
