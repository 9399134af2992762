#include "network/network.h"

#include <cstring>

#include "network/netbios_driver.h"

nb::NCB netBlock{};
int32_t groupNameNumber = 0;
int32_t masterNameNumber = 0;
uint8_t datagramBuffer[kDatagramLength] = {};

namespace {

// NetBIOS cannot cancel a datagram send, so at clean-up a send still in
// flight keeps netBlock; the names are then deleted through this block.
nb::NCB cleanupBlock{};

// How long clean-up lets a send in flight finish before it gives up on netBlock.
constexpr uint32_t kSettleLimitMs = 500;
constexpr uint32_t kSettleStepMs = 50;

NetbiosDriver* overrideDriver = nullptr;

uint8_t Call(nb::NCB& block) { return CurrentNetbiosDriver().Netbios(&block); }

bool SendPending() { return nb::CompletionOf(netBlock) == nb::kPending; }

int32_t NameCommand(nb::NCB& block, uint8_t command, const char* name) {
    block.ncb_command = command;
    PadNetbiosName(name, block.ncb_name);
    if (Call(block) != nb::kGoodReturn) return 0;
    return block.ncb_num;
}

// The block clean-up may use: netBlock once its send has completed (after a
// short wait), otherwise a block of its own on the same adapter.
nb::NCB& SettledBlock() {
    for (uint32_t waited = 0; SendPending() && waited < kSettleLimitMs; waited += kSettleStepMs) {
        CurrentNetbiosDriver().Pause(kSettleStepMs);
    }
    if (!SendPending()) return netBlock;
    cleanupBlock = nb::NCB{};
    cleanupBlock.ncb_lana_num = netBlock.ncb_lana_num;
    return cleanupBlock;
}

}  // namespace

void UseNetbiosDriver(NetbiosDriver* driver) { overrideDriver = driver; }

NetbiosDriver& CurrentNetbiosDriver() {
    return overrideDriver != nullptr ? *overrideDriver : SystemNetbios();
}

void PadNetbiosName(const char* name, uint8_t (&out)[nb::kNameSize]) {
    std::memset(out, ' ', sizeof out);
    for (std::size_t i = 0; i < sizeof out && name[i] != '\0'; ++i) {
        out[i] = static_cast<uint8_t>(name[i]);
    }
}

int32_t NetAddGroupName(const char* name) {
    netBlock.ncb_post = nullptr;
    netBlock.ncb_lana_num = 0;
    netBlock.ncb_command = nb::kCmdProbe;
    if (Call(netBlock) != nb::kIllegalCommand) {
        netBlock.ncb_lana_num = 1;
        netBlock.ncb_command = nb::kCmdProbe;
        if (Call(netBlock) != nb::kIllegalCommand) return 0;
    }
    netBlock.ncb_post = nullptr;
    netBlock.ncb_command = nb::kCmdReset;
    Call(netBlock);
    return NameCommand(netBlock, nb::kCmdAddGroupName, name);
}

int32_t NetAddName(const char* name) { return NameCommand(netBlock, nb::kCmdAddName, name); }

int32_t NetDeleteName(const char* name) {
    return NameCommand(SettledBlock(), nb::kCmdDeleteName, name);
}

SendCode NetSendDatagram(const char* destination, int32_t number, uint8_t* buffer,
                         uint16_t length) {
    if (SendPending()) return SendCode::Skipped;
    netBlock.ncb_command = nb::kCmdDatagramSend | nb::kAsynch;
    netBlock.ncb_buffer = buffer;
    netBlock.ncb_length = length;
    netBlock.ncb_num = static_cast<uint8_t>(number);
    PadNetbiosName(destination, netBlock.ncb_callname);
    return static_cast<SendCode>(Call(netBlock));
}

void BroadcastState() {
    if (masterNameNumber == 0) return;
    // The buffer still belongs to the send in flight: drop this one, the next
    // broadcast carries the news.
    if (SendPending()) return;
    std::memcpy(datagramBuffer, dcfPtr, kDatagramLength);
    NetSendDatagram(kGroupName, masterNameNumber, datagramBuffer, kDatagramLength);
}

void RegisterNetworkNames() {
    if (groupNameNumber != 0) {
        groupNameNumber = 0;
        return;
    }
    groupNameNumber = NetAddGroupName(kGroupName);
    if (groupNameNumber != 0) masterNameNumber = NetAddName(kMasterName);
}

void DeleteNetworkNames() {
    if (groupNameNumber == 0 && masterNameNumber == 0) return;
    nb::NCB& block = SettledBlock();
    if (groupNameNumber != 0) NameCommand(block, nb::kCmdDeleteName, kGroupName);
    if (masterNameNumber != 0) NameCommand(block, nb::kCmdDeleteName, kMasterName);
    // The names are gone: nothing may be sent from them any more.
    groupNameNumber = 0;
    masterNameNumber = 0;
}
