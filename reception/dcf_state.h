// The receiver state record: everything reception knows, in one fixed binary
// layout. The same 117 bytes are lent to the interface library and sent as the
// network datagram, so the layout is a wire format: packed, little-endian,
// every offset pinned by a static_assert below.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the record's multi-byte fields are stored in host order and must be little-endian");

#pragma pack(push, 1)

struct TDcfTelegram {
    uint8_t callBit;       // bit 15
    uint8_t dstAnnounce;   // bit 16, A1
    uint8_t summerTime;    // bit 17, Z1
    uint8_t leapAnnounce;  // bit 19, A2
    int16_t hour;
    int16_t weekday;       // 1 Monday .. 7 Sunday
    int16_t day;
    int16_t month;
    int16_t year;          // two digits
    int16_t minute;
    uint16_t reserved;     // never written
    int32_t markTime;      // hundredths of a second; 0 in `current` = not synchronised
    uint8_t valid;
};

// The bit buffer: count first, then bit i of the minute at bit (i % 32) of word (i / 32).
struct TBitBuffer {
    int8_t bitCount;
    uint32_t bits[2];
};

struct TDcfState {
    uint8_t polarity;
    uint8_t receptionTest;
    uint8_t setUtc;
    uint8_t setRequest;
    uint8_t serverEnabled;
    uint8_t serverRequest;
    uint8_t logEnabled;
    uint8_t logRequest;
    uint8_t autoEnd;
    uint8_t endRequest;
    uint8_t statusChanged;
    uint8_t bitsChanged;
    uint32_t confirmFlagPtr;  // see StoreConfirmFlag / ResolveConfirmFlag
    uint8_t checkFlags;
    TBitBuffer buffer;        // bitCount at 17, bits at 18 and 22
    int16_t telegramsStored;
    uint32_t telegramCount;
    uint32_t syncAttempts;
    uint32_t validCount;
    uint32_t confirmedCount;
    TDcfTelegram current;
    TDcfTelegram history[2];
    int16_t portCode;
    int16_t cycleMinutes;
};

#pragma pack(pop)

static_assert(sizeof(TDcfTelegram) == 23);
static_assert(offsetof(TDcfTelegram, callBit) == 0);
static_assert(offsetof(TDcfTelegram, dstAnnounce) == 1);
static_assert(offsetof(TDcfTelegram, summerTime) == 2);
static_assert(offsetof(TDcfTelegram, leapAnnounce) == 3);
static_assert(offsetof(TDcfTelegram, hour) == 4);
static_assert(offsetof(TDcfTelegram, weekday) == 6);
static_assert(offsetof(TDcfTelegram, day) == 8);
static_assert(offsetof(TDcfTelegram, month) == 10);
static_assert(offsetof(TDcfTelegram, year) == 12);
static_assert(offsetof(TDcfTelegram, minute) == 14);
static_assert(offsetof(TDcfTelegram, reserved) == 16);
static_assert(offsetof(TDcfTelegram, markTime) == 18);
static_assert(offsetof(TDcfTelegram, valid) == 22);

static_assert(sizeof(TBitBuffer) == 9);
static_assert(sizeof(TDcfState) == 117);
static_assert(offsetof(TDcfState, polarity) == 0);
static_assert(offsetof(TDcfState, receptionTest) == 1);
static_assert(offsetof(TDcfState, setUtc) == 2);
static_assert(offsetof(TDcfState, setRequest) == 3);
static_assert(offsetof(TDcfState, serverEnabled) == 4);
static_assert(offsetof(TDcfState, serverRequest) == 5);
static_assert(offsetof(TDcfState, logEnabled) == 6);
static_assert(offsetof(TDcfState, logRequest) == 7);
static_assert(offsetof(TDcfState, autoEnd) == 8);
static_assert(offsetof(TDcfState, endRequest) == 9);
static_assert(offsetof(TDcfState, statusChanged) == 10);
static_assert(offsetof(TDcfState, bitsChanged) == 11);
static_assert(offsetof(TDcfState, confirmFlagPtr) == 12);
static_assert(offsetof(TDcfState, checkFlags) == 16);
static_assert(offsetof(TDcfState, buffer) + offsetof(TBitBuffer, bitCount) == 17);
static_assert(offsetof(TDcfState, buffer) + offsetof(TBitBuffer, bits) == 18);
static_assert(offsetof(TDcfState, buffer) + offsetof(TBitBuffer, bits) + 4 == 22);
static_assert(offsetof(TDcfState, telegramsStored) == 26);
static_assert(offsetof(TDcfState, telegramCount) == 28);
static_assert(offsetof(TDcfState, syncAttempts) == 32);
static_assert(offsetof(TDcfState, validCount) == 36);
static_assert(offsetof(TDcfState, confirmedCount) == 40);
static_assert(offsetof(TDcfState, current) == 44);
static_assert(offsetof(TDcfState, history) == 67);
static_assert(offsetof(TDcfState, history) + sizeof(TDcfTelegram) == 90);
static_assert(offsetof(TDcfState, portCode) == 113);
static_assert(offsetof(TDcfState, cycleMinutes) == 115);

// Absolute offsets of the telegram fields, as peers on the network see them.
constexpr std::size_t kCurrentAt = offsetof(TDcfState, current);
constexpr std::size_t kHistory0At = offsetof(TDcfState, history);
constexpr std::size_t kHistory1At = kHistory0At + sizeof(TDcfTelegram);
static_assert(kCurrentAt + offsetof(TDcfTelegram, hour) == 48);
static_assert(kCurrentAt + offsetof(TDcfTelegram, weekday) == 50);
static_assert(kCurrentAt + offsetof(TDcfTelegram, day) == 52);
static_assert(kCurrentAt + offsetof(TDcfTelegram, month) == 54);
static_assert(kCurrentAt + offsetof(TDcfTelegram, year) == 56);
static_assert(kCurrentAt + offsetof(TDcfTelegram, minute) == 58);
static_assert(kCurrentAt + offsetof(TDcfTelegram, reserved) == 60);
static_assert(kCurrentAt + offsetof(TDcfTelegram, markTime) == 62);
static_assert(kCurrentAt + offsetof(TDcfTelegram, valid) == 66);
static_assert(kHistory0At + offsetof(TDcfTelegram, hour) == 71);
static_assert(kHistory0At + offsetof(TDcfTelegram, minute) == 81);
static_assert(kHistory0At + offsetof(TDcfTelegram, markTime) == 85);
static_assert(kHistory0At + offsetof(TDcfTelegram, valid) == 89);
static_assert(kHistory1At + offsetof(TDcfTelegram, hour) == 94);
static_assert(kHistory1At + offsetof(TDcfTelegram, minute) == 104);
static_assert(kHistory1At + offsetof(TDcfTelegram, markTime) == 108);
static_assert(kHistory1At + offsetof(TDcfTelegram, valid) == 112);

// The record in use: the program's own block, or a block lent by the interface library.
extern TDcfState* dcfPtr;

// The program's own block, all zero at start.
extern TDcfState ownDcfState;

// Set by the telegram decoder at each confirmation outside reception-test mode;
// the edge handler acts on it and clears it.
extern uint8_t timeConfirmed;

// The record's confirmFlagPtr field is 32 bits wide. A 32-bit build stores the
// real address of timeConfirmed there; a wider build stores a non-zero handle
// that only this program resolves. Either way 0 still means "none".
uint32_t StoreConfirmFlag(TDcfState& state);
// The byte a stored non-zero value stands for, or nullptr for 0. Whatever the
// field holds, this never yields anything but the program's own timeConfirmed.
uint8_t* ResolveConfirmFlag(uint32_t stored);
