// NetBIOS over UDP on the machine's IPv4 interfaces: adapter (lana) 0 is the
// first interface that is up, not loopback and has a broadcast address, lana 1
// the second. Each adapter binds the name service (UDP 137) and datagram
// service (UDP 138) ports on its interface, which needs root or
// CAP_NET_BIND_SERVICE.
//
// No thread: whatever loop the program runs polls the descriptors this
// transport lists and hands back the ready ones.
#pragma once

#include <poll.h>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "network/nbt_transport.h"

namespace nbt {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int Get() const { return fd_; }
    int Release();

private:
    int fd_ = -1;
};

struct InterfaceInfo {
    std::string name;
    uint32_t address = 0;    // host order
    uint32_t broadcast = 0;  // host order
};

// The up, non-loopback IPv4 interfaces with a broadcast address, in the
// kernel's order, each once.
std::vector<InterfaceInfo> BroadcastInterfaces();

// Reads what waits on the non-blocking UDP socket `fd`, handing each packet
// and its sender to `take`, but at most kPacketsPerRead of them: a flood
// cannot keep the loop that called inside one call; the rest waits for its
// next poll. Packets longer than any NetBIOS packet are dropped (and count).
inline constexpr int kPacketsPerRead = 32;
using PacketTaker =
    std::function<void(uint32_t fromAddress, uint16_t fromPort, std::span<const uint8_t> packet)>;
void ReadSome(int fd, const PacketTaker& take);

class UdpTransport final : public Transport {
public:
    // With an interface name, that interface is the only adapter (lana 0).
    explicit UdpTransport(std::string onlyInterface = {});

    void SetSink(PacketSink* sink) override { sink_ = sink; }
    bool OpenAdapter(uint8_t lana) override;
    uint32_t AdapterAddress(uint8_t lana) const override;
    uint32_t BroadcastAddress(uint8_t lana) const override;
    SendResult Send(uint8_t lana, Service from, uint32_t toAddress, uint16_t toPort,
                    std::span<const uint8_t> packet) override;
    void Pump(uint32_t ms) override;

    // The event-loop side: the descriptors to watch (with POLLOUT while a
    // send waits for room), and the handler for those poll() marked ready.
    void AppendPollFds(std::vector<pollfd>& fds) const;
    void Dispatch(const pollfd& ready);

    // Why the adapter could not be opened, for the one message the program gives.
    const std::string& FailureReason(uint8_t lana) const;
    const std::string& InterfaceName(uint8_t lana) const;

private:
    static constexpr std::size_t kAdapters = 2;
    struct Endpoint {
        bool tried = false;
        bool open = false;
        InterfaceInfo info;
        UniqueFd nameSocket;
        UniqueFd datagramSocket;
        bool wantWrite = false;
        std::string failure;
    };

    void Discover();
    void Drain(uint8_t lana, Service service, int fd);

    std::string onlyInterface_;
    bool discovered_ = false;
    std::vector<InterfaceInfo> interfaces_;
    std::array<Endpoint, kAdapters> endpoints_{};
    PacketSink* sink_ = nullptr;
};

}  // namespace nbt
