// Network presence: every copy joins the group name "CHRONVK"; the one that
// also registers the unique name "CHRONVKMASTER" sends the receiver record
// to the group as a datagram. Every failure is silent: the machine then
// simply does not announce.
#pragma once

#include <cstdint>

#include "network/ncb.h"
#include "reception/dcf_state.h"

inline constexpr char kGroupName[] = "CHRONVK";
inline constexpr char kMasterName[] = "CHRONVKMASTER";
inline constexpr uint16_t kDatagramLength = sizeof(TDcfState);
// NetSendDatagram's answer: the NetBIOS return code of the call (Good or any
// other), or Skipped when the previous send still owns the block.
enum class SendCode : int32_t { Good = nb::kGoodReturn, Skipped = 1000 };

// Every command goes through this block, on the adapter registration found.
extern nb::NCB netBlock;
// -1 before set-up: the command line switched the network off. After set-up
// 0 (no group name) or the group name's number.
extern int32_t groupNameNumber;
// The unique name's number, the local name datagrams are sent from; 0: never send.
extern int32_t masterNameNumber;
// The copy of the record in flight; the driver's until the send completes.
extern uint8_t datagramBuffer[kDatagramLength];

// Finds the adapter (0, else 1), resets it, adds `name` as a group name.
int32_t NetAddGroupName(const char* name);
// Adds `name` as a unique name on the adapter found before.
int32_t NetAddName(const char* name);
// Deletes `name`; never touches a block whose datagram send is still running.
int32_t NetDeleteName(const char* name);
// Starts an asynchronous send; Skipped when the previous one has not completed.
SendCode NetSendDatagram(const char* destination, int32_t number, uint8_t* buffer,
                         uint16_t length);
// Sends the record in use to the group, if this machine is the sender.
void BroadcastState();

// The dialog's set-up: register the group name, then try the unique name.
void RegisterNetworkNames();
// The dialog's clean-up: delete whichever names were registered.
void DeleteNetworkNames();

// Writes `name` as NetBIOS names are written: cut after 16 characters,
// padded with spaces to 16 bytes.
void PadNetbiosName(const char* name, uint8_t (&out)[nb::kNameSize]);
