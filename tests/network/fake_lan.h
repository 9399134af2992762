// An in-memory broadcast network for broadcast nodes: packets wait in one
// queue and are delivered, in order, whenever a node pumps; pumping also moves
// the network's clock. Like a real interface, a broadcast reaches its sender too.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "network/posix/nbt_packet.h"
#include "network/posix/nbt_transport.h"

namespace nbt {

class FakeLan;

class FakeTransport final : public Transport {
public:
    FakeTransport(FakeLan& lan, uint32_t address);
    void SetSink(PacketSink* sink) override { sink_ = sink; }
    bool OpenAdapter(uint8_t lana) override { return lana == 0; }
    uint32_t AdapterAddress(uint8_t) const override { return address_; }
    uint32_t BroadcastAddress(uint8_t) const override;
    SendResult Send(uint8_t lana, Service from, uint32_t toAddress, uint16_t toPort,
                    std::span<const uint8_t> packet) override;
    void Pump(uint32_t ms) override;

    uint32_t address() const { return address_; }
    PacketSink* sink() const { return sink_; }
    bool full = false;  // the datagram service's send buffer

private:
    FakeLan& lan_;
    uint32_t address_;
    PacketSink* sink_ = nullptr;
};

struct LanPacket {
    uint32_t at = 0;  // the network's clock when it was sent
    uint32_t from = 0;
    uint16_t fromPort = 0;
    uint32_t to = 0;
    uint16_t toPort = 0;
    std::vector<uint8_t> bytes;
};

class FakeLan {
public:
    static constexpr uint32_t kBroadcast = 0x0A4D00FF;  // 10.77.0.255

    void Attach(FakeTransport* transport) { transports_.push_back(transport); }

    void Post(const LanPacket& packet) {
        queue_.push_back(packet);
        log.push_back(packet);
    }

    // Delivers until nothing is left (answers included), then moves the clock.
    void Pump(uint32_t ms) {
        while (!queue_.empty()) {
            const LanPacket packet = queue_.front();
            queue_.pop_front();
            for (FakeTransport* t : transports_) {
                if (t->sink() == nullptr) continue;
                if (packet.to != kBroadcast && packet.to != t->address()) continue;
                const Service service = packet.toPort == kNamePort ? Service::Name : Service::Datagram;
                t->sink()->Receive(0, service, packet.from, packet.fromPort, packet.bytes);
            }
        }
        now += ms;
    }

    std::vector<LanPacket> Sent(uint16_t toPort) const {
        std::vector<LanPacket> found;
        for (const LanPacket& p : log) {
            if (p.toPort == toPort) found.push_back(p);
        }
        return found;
    }

    uint32_t now = 0;
    std::vector<LanPacket> log;

private:
    std::vector<FakeTransport*> transports_;
    std::deque<LanPacket> queue_;
};

inline FakeTransport::FakeTransport(FakeLan& lan, uint32_t address) : lan_(lan), address_(address) {
    lan_.Attach(this);
}

inline uint32_t FakeTransport::BroadcastAddress(uint8_t) const { return FakeLan::kBroadcast; }

inline SendResult FakeTransport::Send(uint8_t, Service from, uint32_t toAddress, uint16_t toPort,
                                      std::span<const uint8_t> packet) {
    if (from == Service::Datagram && full) return SendResult::WouldBlock;
    lan_.Post(LanPacket{lan_.now, address_, from == Service::Name ? kNamePort : kDatagramPort,
                        toAddress, toPort, std::vector<uint8_t>(packet.begin(), packet.end())});
    return SendResult::Sent;
}

inline void FakeTransport::Pump(uint32_t ms) { lan_.Pump(ms); }

}  // namespace nbt
