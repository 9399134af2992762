#include <cstring>
#include <string>

#include "reception_fixture.h"

namespace {

// The record is a wire format: a peer reads these 117 bytes, written out here
// by hand from the published layout, not from the struct.
TEST(DcfStateLayout, BytesAsAPeerReadsThem) {
    TDcfState s{};
    s.polarity = s.setUtc = s.serverEnabled = s.logEnabled = 1;
    s.statusChanged = s.bitsChanged = 1;
    s.confirmFlagPtr = 0x00403000;
    s.checkFlags = 31;
    s.buffer = {59, {0x12345678, 0x04030201}};
    s.telegramsStored = -1;
    s.telegramCount = 1000;
    s.syncAttempts = 2;
    s.validCount = 999;
    s.confirmedCount = 70000;
    s.current = {0, 1, 0, 1, 14, 7, 6, 12, 26, 5, 0, -100, 1};
    s.history[0] = {1, 0, 1, 0, 13, 0, 0, 0, 0, 59, 0, 0x01020304, 1};
    s.history[1] = {0, 0, 0, 0, -2, 1, 31, 1, 99, 0, 0, 0x7FFFFFFF, 0};
    s.portCode = 20;
    s.cycleMinutes = -30;

    static constexpr char kHex[] = "0123456789abcdef";
    unsigned char bytes[sizeof s];
    std::memcpy(bytes, &s, sizeof s);
    std::string hex;
    for (unsigned char b : bytes) hex += {kHex[b >> 4], kHex[b & 15]};
    EXPECT_EQ(hex,
              "010001000100010000000101"  // the twelve flag bytes
              "00304000" "1f" "3b" "78563412" "01020304"  // confirmFlagPtr, checks, bits
              "ffff" "e8030000" "02000000" "e7030000" "70110100"  // window, counters
              "00010001" "0e00" "0700" "0600" "0c00" "1a00" "0500" "0000" "9cffffff" "01"
              "01000100" "0d00" "0000" "0000" "0000" "0000" "3b00" "0000" "04030201" "01"
              "00000000" "feff" "0100" "1f00" "0100" "6300" "0000" "0000" "ffffff7f" "00"
              "1400" "e2ff");  // portCode, cycleMinutes
}

// A narrow build hands peers the flag's real address; zero stands for none.
TEST(ConfirmFlag, NarrowBuildsStoreTheAddressAndZeroRaisesNothing) {
    TDcfState s{};
    const uint32_t stored = StoreConfirmFlag(s);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(stored, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&timeConfirmed)));
    }
    EXPECT_EQ(ResolveConfirmFlag(0), nullptr);
}

}  // namespace
