// netapi32's Netbios. Our control block is laid out exactly like the Windows
// NCB, so the block itself goes to the driver, which writes the completion of
// an asynchronous send straight into it.
#include <windows.h>
#include <nb30.h>

#include <cstddef>
#include <type_traits>

#include "network/netbios_driver.h"

static_assert(sizeof(nb::NCB) == sizeof(::NCB));
static_assert(offsetof(nb::NCB, ncb_command) == offsetof(::NCB, ncb_command));
static_assert(offsetof(nb::NCB, ncb_retcode) == offsetof(::NCB, ncb_retcode));
static_assert(offsetof(nb::NCB, ncb_lsn) == offsetof(::NCB, ncb_lsn));
static_assert(offsetof(nb::NCB, ncb_num) == offsetof(::NCB, ncb_num));
static_assert(offsetof(nb::NCB, ncb_buffer) == offsetof(::NCB, ncb_buffer));
static_assert(offsetof(nb::NCB, ncb_length) == offsetof(::NCB, ncb_length));
static_assert(offsetof(nb::NCB, ncb_callname) == offsetof(::NCB, ncb_callname));
static_assert(offsetof(nb::NCB, ncb_name) == offsetof(::NCB, ncb_name));
static_assert(offsetof(nb::NCB, ncb_rto) == offsetof(::NCB, ncb_rto));
static_assert(offsetof(nb::NCB, ncb_sto) == offsetof(::NCB, ncb_sto));
static_assert(offsetof(nb::NCB, ncb_post) == offsetof(::NCB, ncb_post));
// Same place is not enough for the completion routine: netapi32 calls it, so
// its convention must be the one the Windows header declares.
static_assert(std::is_same_v<decltype(::NCB::ncb_post), void(CALLBACK*)(::NCB*)>);
static_assert(std::is_same_v<nb::PostRoutine, void(CALLBACK*)(nb::NCB*)>);
static_assert(offsetof(nb::NCB, ncb_lana_num) == offsetof(::NCB, ncb_lana_num));
static_assert(offsetof(nb::NCB, ncb_cmd_cplt) == offsetof(::NCB, ncb_cmd_cplt));
static_assert(offsetof(nb::NCB, ncb_event) == offsetof(::NCB, ncb_event));

static_assert(nb::kNameSize == NCBNAMSZ);
static_assert(nb::kCmdAddName == NCBADDNAME && nb::kCmdDeleteName == NCBDELNAME);
static_assert(nb::kCmdReset == NCBRESET && nb::kCmdAddGroupName == NCBADDGRNAME);
static_assert(nb::kCmdDatagramSend == NCBDGSEND && nb::kAsynch == ASYNCH);
static_assert(nb::kIllegalCommand == NRC_ILLCMD && nb::kPending == NRC_PENDING);
static_assert(nb::kGoodReturn == NRC_GOODRET && nb::kNameInUse == NRC_INUSE);

namespace {

class Win32Netbios final : public NetbiosDriver {
public:
    uint8_t Netbios(nb::NCB* block) override {
        return ::Netbios(reinterpret_cast<PNCB>(block));
    }
    // The driver completes sends on its own; a plain sleep dispatches nothing.
    void Pause(uint32_t ms) override { ::Sleep(ms); }
};

}  // namespace

NetbiosDriver& SystemNetbios() {
    static Win32Netbios driver;
    return driver;
}
