// An in-memory broadcast network for broadcast nodes: packets wait in one
// queue and are delivered, in order, whenever a node pumps; pumping also moves
// the network's clock. Like a real interface, a broadcast reaches its sender too.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "network/nbt_packet.h"
#include "network/nbt_transport.h"

namespace nbt {

// A NetBIOS name, padded with spaces.
inline NetbiosName Name(const char* text) {
    NetbiosName name;
    name.fill(' ');
    for (std::size_t i = 0; i < name.size() && text[i] != '\0'; ++i) name[i] = static_cast<uint8_t>(text[i]);
    return name;
}

// A name service packet in one line: id, kind, opcode, flags, name and address.
inline std::string Describe(const NamePacket& p) {
    std::ostringstream text;
    text << std::hex << p.transactionId << (p.response ? " response" : " request") << " op"
         << int{p.opcode} << (p.broadcast ? " broadcast" : "") << " rcode" << int{p.rcode} << " "
         << DisplayName(p.name) << (p.scoped ? " scoped" : "");
    if (p.hasAddress) text << (p.group ? " group " : " unique ") << p.address;
    return text.str();
}

struct LanPacket {
    uint32_t at, from;  // `at`: the network's clock when it was sent
    uint16_t fromPort;
    uint32_t to;
    uint16_t toPort;
    std::vector<uint8_t> bytes;
};

class FakeTransport;

struct FakeLan {
    static constexpr uint32_t kBroadcast = 0x0A4D00FF;  // 10.77.0.255

    void Post(const LanPacket& packet) {
        queue.push_back(packet);
        log.push_back(packet);
    }
    // Delivers until nothing is left (answers included), runs `onPump` once if
    // set (another node's command, say), then moves the clock.
    void Pump(uint32_t ms);
    std::vector<LanPacket> Sent(uint16_t toPort) const {
        std::vector<LanPacket> found;
        for (const LanPacket& p : log)
            if (p.toPort == toPort) found.push_back(p);
        return found;
    }

    uint32_t now = 0;
    std::vector<LanPacket> log;
    std::deque<LanPacket> queue;
    std::vector<FakeTransport*> hosts;
    std::function<void()> onPump;
};

class FakeTransport final : public Transport {
public:
    FakeTransport(FakeLan& lan, uint32_t host) : lan_(lan), address(host) { lan.hosts.push_back(this); }
    void SetSink(PacketSink* to) override { sink = to; }
    bool OpenAdapter(uint8_t lana) override { return lana == 0; }
    uint32_t AdapterAddress(uint8_t) const override { return address; }
    uint32_t BroadcastAddress(uint8_t) const override { return FakeLan::kBroadcast; }
    SendResult Send(uint8_t, Service from, uint32_t toAddress, uint16_t toPort,
                    std::span<const uint8_t> packet) override {
        if (from == Service::Datagram && full) return SendResult::WouldBlock;
        lan_.Post({lan_.now, address, from == Service::Name ? kNamePort : kDatagramPort, toAddress,
                   toPort, std::vector<uint8_t>(packet.begin(), packet.end())});
        return SendResult::Sent;
    }
    void Pump(uint32_t ms) override { lan_.Pump(ms); }

    FakeLan& lan_;
    const uint32_t address;
    PacketSink* sink = nullptr;
    bool full = false;  // the datagram service's send buffer
};

inline void FakeLan::Pump(uint32_t ms) {
    while (!queue.empty()) {
        const LanPacket p = queue.front();
        queue.pop_front();
        for (FakeTransport* host : hosts) {
            if (host->sink == nullptr || (p.to != kBroadcast && p.to != host->address)) continue;
            host->sink->Receive(0, p.toPort == kNamePort ? Service::Name : Service::Datagram,
                                p.from, p.fromPort, p.bytes);
        }
    }
    if (auto hook = std::exchange(onPump, nullptr)) hook();
    now += ms;
}

}  // namespace nbt
