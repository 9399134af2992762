// A NetBIOS broadcast node: answers the control-block commands this program
// issues (probe, reset, add group name, add name, delete name, asynchronous
// datagram send) with the NetBIOS over TCP/IP wire protocol, and serves the
// name service for the names it holds.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "network/ncb.h"
#include "network/nbt_packet.h"
#include "network/nbt_transport.h"

namespace nbt {

inline constexpr uint8_t kAdapterCount = 2;
// A broadcast registration is sent this often, this far apart; silence after
// the last try means the name is ours.
inline constexpr int kRegistrationTries = 3;
inline constexpr uint32_t kRegistrationIntervalMs = 250;

struct ReceivedDatagram {
    uint8_t lana = 0;
    uint32_t fromAddress = 0;  // the UDP source, host order
    DatagramPacket packet;
};

class Node final : public PacketSink {
public:
    // Transaction ids start at `firstId`; give different nodes different starts.
    Node(Transport& transport, uint16_t firstId);
    ~Node() override;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    uint8_t Netbios(nb::NCB* block);
    void Pause(uint32_t ms) { transport_.Pump(ms); }

    // Datagrams addressed to a name this node holds (the program itself never
    // receives; the listener does).
    void OnDatagram(std::function<void(const ReceivedDatagram&)> handler) {
        datagramHandler_ = std::move(handler);
    }
    // Packets that were dropped as malformed, for the listener's report.
    void OnMalformed(std::function<void(Service, uint32_t fromAddress)> handler) {
        malformedHandler_ = std::move(handler);
    }

    void Receive(uint8_t lana, Service service, uint32_t fromAddress, uint16_t fromPort,
                 std::span<const uint8_t> packet) override;
    void Writable(uint8_t lana) override;

private:
    struct LocalName {
        NetbiosName name{};
        uint8_t number = 0;
        bool group = false;
    };
    struct PendingSend {
        nb::NCB* block = nullptr;
        uint8_t source = 0;  // the number of the name it is sent from
        std::vector<uint8_t> packet;
    };
    struct Adapter {
        bool open = false;
        std::vector<LocalName> names;
        std::deque<PendingSend> sends;
    };
    struct Registration {
        bool active = false;
        uint8_t lana = 0;
        uint16_t id = 0;
        NetbiosName name{};
        bool group = false;
        bool refused = false;
    };

    uint8_t Complete(nb::NCB* block, uint8_t code);
    uint8_t AddName(nb::NCB* block, Adapter& adapter, bool group);
    uint8_t DeleteName(nb::NCB* block, Adapter& adapter);
    uint8_t SendDatagram(nb::NCB* block, Adapter& adapter);
    void Reset(Adapter& adapter);
    void FlushSends(uint8_t lana);
    void ServeName(uint8_t lana, uint32_t fromAddress, uint16_t fromPort, const NamePacket& p);
    bool Contest(uint8_t lana, uint32_t fromAddress, uint16_t fromPort, const NamePacket& p);
    const LocalName* Find(const Adapter& adapter, const NetbiosName& name) const;
    uint8_t FreeNumber(const Adapter& adapter) const;
    void Malformed(Service service, uint32_t fromAddress);

    Transport& transport_;
    std::array<Adapter, kAdapterCount> adapters_{};
    Registration registration_;
    uint16_t nextId_;
    std::function<void(const ReceivedDatagram&)> datagramHandler_;
    std::function<void(Service, uint32_t)> malformedHandler_;
};

}  // namespace nbt
