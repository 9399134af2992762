#include "network/nbt_node.h"

#include <algorithm>
#include <utility>

namespace nbt {

namespace {

// Number 1 is the adapter's permanent name in NetBIOS; added names count from 2.
constexpr uint8_t kFirstNameNumber = 2;
constexpr uint8_t kLastNameNumber = 254;
constexpr uint16_t kMaxDatagramData = 512;

}  // namespace

Node::Node(Transport& transport, uint16_t firstId) : transport_(transport), nextId_(firstId) {
    transport_.SetSink(this);
}

Node::~Node() { transport_.SetSink(nullptr); }

uint8_t Node::Complete(nb::NCB* block, uint8_t code) {
    block->ncb_retcode = code;
    block->ncb_cmd_cplt = code;
    return code;
}

uint8_t Node::Netbios(nb::NCB* block) {
    const uint8_t lana = block->ncb_lana_num;
    if (lana >= kAdapterCount || !transport_.OpenAdapter(lana)) {
        return Complete(block, nb::kInvalidAdapter);
    }
    Adapter& adapter = adapters_[lana];
    adapter.open = true;
    switch (block->ncb_command) {
    case nb::kCmdReset:
        Reset(adapter);
        return Complete(block, nb::kGoodReturn);
    case nb::kCmdAddGroupName:
        return AddName(block, adapter, true);
    case nb::kCmdAddName:
        return AddName(block, adapter, false);
    case nb::kCmdDeleteName:
        return DeleteName(block, adapter);
    case nb::kCmdDatagramSend | nb::kAsynch:
        return SendDatagram(block, adapter);
    default:
        // The probe lands here on purpose: "illegal command" from an adapter
        // that exists is how a program finds NetBIOS.
        return Complete(block, nb::kIllegalCommand);
    }
}

uint8_t Node::AddName(nb::NCB* block, Adapter& adapter, bool group) {
    const NetbiosName name = MakeName(block->ncb_name);
    if (name[0] == '*' || name[0] == 0) return Complete(block, nb::kNameError);
    if (Find(adapter, name) != nullptr) return Complete(block, nb::kDuplicateName);
    const uint8_t number = FreeNumber(adapter);
    if (number == 0) return Complete(block, nb::kNameTableFull);

    const uint8_t lana = block->ncb_lana_num;
    registration_ = Registration{true, lana, nextId_++, name, group, false};
    const auto request =
        BuildRegistrationRequest(registration_.id, name, group, transport_.AdapterAddress(lana));
    // Broadcast registration: the name is ours unless a holder objects.
    for (int attempt = 0; attempt < kRegistrationTries && !registration_.refused; ++attempt) {
        transport_.Send(lana, Service::Name, transport_.BroadcastAddress(lana), kNamePort, request);
        transport_.Pump(kRegistrationIntervalMs);
    }
    const bool refused = registration_.refused;
    registration_ = Registration{};
    if (refused) return Complete(block, nb::kNameInUse);

    adapter.names.push_back(LocalName{name, number, group});
    block->ncb_num = number;
    return Complete(block, nb::kGoodReturn);
}

uint8_t Node::DeleteName(nb::NCB* block, Adapter& adapter) {
    const NetbiosName name = MakeName(block->ncb_name);
    const auto held = std::find_if(adapter.names.begin(), adapter.names.end(),
                                   [&](const LocalName& n) { return n.name == name; });
    if (held == adapter.names.end()) return Complete(block, nb::kNameNotFound);
    const uint8_t lana = block->ncb_lana_num;
    transport_.Send(lana, Service::Name, transport_.BroadcastAddress(lana), kNamePort,
                    BuildReleaseRequest(nextId_++, name, held->group,
                                        transport_.AdapterAddress(lana)));
    // A send still queued from the name must not go out after its release.
    std::erase_if(adapter.sends, [&](const PendingSend& send) {
        if (send.source != held->number) return false;
        Complete(send.block, nb::kNameError);
        return true;
    });
    block->ncb_num = held->number;
    adapter.names.erase(held);
    return Complete(block, nb::kGoodReturn);
}

uint8_t Node::SendDatagram(nb::NCB* block, Adapter& adapter) {
    const auto source = std::find_if(adapter.names.begin(), adapter.names.end(),
                                     [&](const LocalName& n) { return n.number == block->ncb_num; });
    if (source == adapter.names.end()) return Complete(block, nb::kIllegalNameNumber);
    if (block->ncb_length > kMaxDatagramData ||
        (block->ncb_length > 0 && block->ncb_buffer == nullptr)) {
        return Complete(block, nb::kBufferLength);
    }
    const uint8_t lana = block->ncb_lana_num;
    // The payload is copied here, so the caller's buffer is free the moment
    // the send completes, whenever the kernel takes the packet.
    PendingSend send{block, source->number, BuildDirectGroupDatagram(
                                nextId_++, transport_.AdapterAddress(lana), kDatagramPort,
                                source->name, MakeName(block->ncb_callname),
                                std::span<const uint8_t>(block->ncb_buffer, block->ncb_length))};
    block->ncb_retcode = nb::kPending;
    block->ncb_cmd_cplt = nb::kPending;
    adapter.sends.push_back(std::move(send));
    FlushSends(lana);
    return nb::kGoodReturn;
}

void Node::FlushSends(uint8_t lana) {
    Adapter& adapter = adapters_[lana];
    while (!adapter.sends.empty()) {
        PendingSend& send = adapter.sends.front();
        const SendResult result = transport_.Send(lana, Service::Datagram,
                                                  transport_.BroadcastAddress(lana),
                                                  kDatagramPort, send.packet);
        if (result == SendResult::WouldBlock) return;
        Complete(send.block, result == SendResult::Sent ? nb::kGoodReturn : nb::kSystemError);
        adapter.sends.pop_front();
    }
}

void Node::Reset(Adapter& adapter) {
    for (PendingSend& send : adapter.sends) Complete(send.block, nb::kCommandCancelled);
    adapter.sends.clear();
    adapter.names.clear();
}

void Node::Writable(uint8_t lana) {
    if (lana < kAdapterCount) FlushSends(lana);
}

void Node::Receive(uint8_t lana, Service service, uint32_t fromAddress, uint16_t fromPort,
                   std::span<const uint8_t> packet) {
    if (lana >= kAdapterCount || !adapters_[lana].open) return;
    if (service == Service::Name) {
        const auto parsed = ParseNamePacket(packet);
        if (!parsed) {
            Malformed(service, fromAddress);
            return;
        }
        if (!parsed->scoped) ServeName(lana, fromAddress, fromPort, *parsed);
        return;
    }
    const auto parsed = ParseDatagram(packet);
    if (!parsed) {
        Malformed(service, fromAddress);
        return;
    }
    // Error packets, datagram queries and fragments are the protocol's own
    // traffic, not faults; this node has nothing to do with them.
    if (!parsed->whole || parsed->scoped || parsed->type == kBroadcastDatagram) return;
    if (Find(adapters_[lana], parsed->destination) == nullptr) return;
    if (datagramHandler_) datagramHandler_(ReceivedDatagram{lana, fromAddress, *parsed});
}

void Node::ServeName(uint8_t lana, uint32_t fromAddress, uint16_t fromPort, const NamePacket& p) {
    if (p.response) {
        if (p.opcode == kOpRegistration && p.rcode != 0 && registration_.active &&
            registration_.lana == lana && registration_.id == p.transactionId &&
            registration_.name == p.name) {
            registration_.refused = true;
        }
        return;
    }
    if (Contest(lana, fromAddress, fromPort, p)) return;
    const LocalName* held = Find(adapters_[lana], p.name);
    if (held == nullptr) return;
    const uint32_t ours = transport_.AdapterAddress(lana);
    if (p.opcode == kOpQuery) {
        transport_.Send(lana, Service::Name, fromAddress, fromPort,
                        BuildPositiveQueryResponse(p.transactionId, held->name, held->group, ours));
    } else if (p.opcode == kOpRegistration && p.hasAddress && (!held->group || !p.group)) {
        // A unique name admits nobody else; a group name admits only members.
        transport_.Send(
            lana, Service::Name, fromAddress, fromPort,
            BuildNegativeRegistrationResponse(p.transactionId, held->name, held->group, ours));
    }
}

// Two nodes that register one name at the same time each hear only silence,
// since neither holds it yet, and both would take it. When the claims
// exclude each other, the lower (address, transaction id) goes on and
// objects as a holder would; the other gives up.
bool Node::Contest(uint8_t lana, uint32_t fromAddress, uint16_t fromPort, const NamePacket& p) {
    Registration& ours = registration_;
    if (p.opcode != kOpRegistration || !p.hasAddress || !ours.active || ours.lana != lana ||
        ours.name != p.name) {
        return false;
    }
    const uint32_t address = transport_.AdapterAddress(lana);
    const bool echo = p.address == address && p.transactionId == ours.id;
    if (echo || (ours.group && p.group) || ours.refused) return true;
    if (std::pair(address, ours.id) < std::pair(p.address, p.transactionId)) {
        transport_.Send(lana, Service::Name, fromAddress, fromPort,
                        BuildNegativeRegistrationResponse(p.transactionId, p.name, ours.group,
                                                          address));
    } else {
        ours.refused = true;
    }
    return true;
}

const Node::LocalName* Node::Find(const Adapter& adapter, const NetbiosName& name) const {
    for (const LocalName& held : adapter.names) {
        if (held.name == name) return &held;
    }
    return nullptr;
}

uint8_t Node::FreeNumber(const Adapter& adapter) const {
    for (uint8_t number = kFirstNameNumber; number <= kLastNameNumber; ++number) {
        const bool used = std::any_of(adapter.names.begin(), adapter.names.end(),
                                      [&](const LocalName& n) { return n.number == number; });
        if (!used) return number;
    }
    return 0;
}

void Node::Malformed(Service service, uint32_t fromAddress) {
    if (malformedHandler_) malformedHandler_(service, fromAddress);
}

}  // namespace nbt
