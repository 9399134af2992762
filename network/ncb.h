// The NetBIOS control block and the codes this program uses with it.
//
// The block has the field names and the memory layout of the Windows NCB, so
// that on Windows the very same object goes to netapi32 and the driver writes
// its completion fields straight into it. The codes carry names of their own:
// the Windows header defines the classic ones as macros.
#pragma once

#include <cstddef>
#include <cstdint>

// netapi32 calls a completion routine with the stdcall convention. Only
// 32-bit x86 Windows has a convention of that name; everywhere else a plain
// function pointer is the same thing, and gcc would warn about the attribute.
#if defined(_WIN32) && defined(__i386__)
#define CHRONVK_NCB_CALLBACK __attribute__((stdcall))
#else
#define CHRONVK_NCB_CALLBACK
#endif

namespace nb {

inline constexpr std::size_t kNameSize = 16;

struct NCB;
using PostRoutine = void(CHRONVK_NCB_CALLBACK*)(NCB*);

struct NCB {
    uint8_t ncb_command;
    uint8_t ncb_retcode;
    uint8_t ncb_lsn;
    uint8_t ncb_num;
    uint8_t* ncb_buffer;
    uint16_t ncb_length;
    uint8_t ncb_callname[kNameSize];
    uint8_t ncb_name[kNameSize];
    uint8_t ncb_rto;
    uint8_t ncb_sto;
    PostRoutine ncb_post;
    uint8_t ncb_lana_num;
    uint8_t ncb_cmd_cplt;
    uint8_t ncb_reserve[sizeof(void*) == 8 ? 18 : 10];
    void* ncb_event;
};

// Commands.
inline constexpr uint8_t kAsynch = 0x80;
inline constexpr uint8_t kCmdDatagramSend = 0x20;
inline constexpr uint8_t kCmdAddName = 0x30;
inline constexpr uint8_t kCmdDeleteName = 0x31;
inline constexpr uint8_t kCmdReset = 0x32;
inline constexpr uint8_t kCmdAddGroupName = 0x36;
// A code NetBIOS does not know: an adapter that answers "illegal command" exists.
inline constexpr uint8_t kCmdProbe = 0x7F;

// Return codes.
inline constexpr uint8_t kGoodReturn = 0x00;
inline constexpr uint8_t kBufferLength = 0x01;
inline constexpr uint8_t kIllegalCommand = 0x03;
inline constexpr uint8_t kCommandCancelled = 0x0B;
inline constexpr uint8_t kDuplicateName = 0x0D;
inline constexpr uint8_t kNameTableFull = 0x0E;
inline constexpr uint8_t kIllegalNameNumber = 0x13;
inline constexpr uint8_t kNameInUse = 0x16;
inline constexpr uint8_t kNameNotFound = 0x15;
inline constexpr uint8_t kNameError = 0x17;
inline constexpr uint8_t kInvalidAdapter = 0x23;
inline constexpr uint8_t kSystemError = 0x40;
inline constexpr uint8_t kPending = 0xFF;

// The driver completes an asynchronous command behind the compiler's back, so
// the completion byte is always read through a volatile access.
inline uint8_t CompletionOf(const NCB& block) {
    return *static_cast<const volatile uint8_t*>(&block.ncb_cmd_cplt);
}

}  // namespace nb
