// What the NetBIOS node needs from the network: per adapter (lana), a name
// service and a datagram service endpoint. The UDP implementation binds ports
// 137 and 138; tests connect several nodes through an in-memory network.
#pragma once

#include <cstdint>
#include <span>

namespace nbt {

enum class Service : uint8_t { Name, Datagram };

enum class SendResult : uint8_t { Sent, WouldBlock, Failed };

class PacketSink {
public:
    virtual ~PacketSink() = default;
    virtual void Receive(uint8_t lana, Service service, uint32_t fromAddress, uint16_t fromPort,
                         std::span<const uint8_t> packet) = 0;
    // The adapter's datagram endpoint can take a packet again after a WouldBlock.
    virtual void Writable(uint8_t lana) = 0;
};

class Transport {
public:
    virtual ~Transport() = default;
    virtual void SetSink(PacketSink* sink) = 0;
    // Makes the adapter ready on first use; false when it does not exist or
    // its endpoints cannot be opened.
    virtual bool OpenAdapter(uint8_t lana) = 0;
    virtual uint32_t AdapterAddress(uint8_t lana) const = 0;    // IPv4, host order
    virtual uint32_t BroadcastAddress(uint8_t lana) const = 0;  // IPv4, host order
    virtual SendResult Send(uint8_t lana, Service from, uint32_t toAddress, uint16_t toPort,
                            std::span<const uint8_t> packet) = 0;
    // Serves incoming packets for `ms` milliseconds, handing them to the sink,
    // and nothing else.
    virtual void Pump(uint32_t ms) = 0;
};

}  // namespace nbt
