#include "network/posix/udp_transport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "network/nbt_packet.h"

namespace nbt {

namespace {

// Larger than any packet a broadcast node exchanges; anything longer is cut
// by the kernel and then dropped here.
constexpr std::size_t kReceiveBuffer = 2048;

uint32_t HostOrder(const sockaddr* address) {
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    return ntohl(in.sin_addr.s_addr);
}

std::string ErrnoText(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

bool SetFlag(int fd, int level, int option) {
    const int on = 1;
    return setsockopt(fd, level, option, &on, sizeof on) == 0;
}

// A UDP socket on `port` of every address, tied to one interface so that each
// adapter sees only its own network's broadcasts.
UniqueFd BindService(const std::string& interface, uint16_t port, std::string& failure) {
    UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        failure = ErrnoText("socket", errno);
        return {};
    }
    if (!SetFlag(fd.Get(), SOL_SOCKET, SO_REUSEADDR) || !SetFlag(fd.Get(), SOL_SOCKET, SO_BROADCAST)) {
        failure = ErrnoText("setsockopt", errno);
        return {};
    }
    if (setsockopt(fd.Get(), SOL_SOCKET, SO_BINDTODEVICE, interface.c_str(),
                   static_cast<socklen_t>(interface.size() + 1)) != 0) {
        failure = ErrnoText(("SO_BINDTODEVICE " + interface).c_str(), errno);
        return {};
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        failure = ErrnoText(("bind UDP " + std::to_string(port)).c_str(), errno);
        return {};
    }
    return fd;
}

}  // namespace

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

std::vector<InterfaceInfo> BroadcastInterfaces() {
    std::vector<InterfaceInfo> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
        if ((it->ifa_flags & IFF_BROADCAST) == 0 || it->ifa_broadaddr == nullptr) continue;
        const std::string name = it->ifa_name;
        bool seen = false;
        for (const InterfaceInfo& info : found) seen = seen || info.name == name;
        if (seen) continue;
        found.push_back(InterfaceInfo{name, HostOrder(it->ifa_addr), HostOrder(it->ifa_broadaddr)});
    }
    freeifaddrs(list);
    return found;
}

UdpTransport::UdpTransport(std::string onlyInterface) : onlyInterface_(std::move(onlyInterface)) {}

void UdpTransport::Discover() {
    if (discovered_) return;
    discovered_ = true;
    interfaces_ = BroadcastInterfaces();
    if (!onlyInterface_.empty()) {
        std::vector<InterfaceInfo> chosen;
        for (const InterfaceInfo& info : interfaces_) {
            if (info.name == onlyInterface_) chosen.push_back(info);
        }
        interfaces_ = chosen;
    }
}

bool UdpTransport::OpenAdapter(uint8_t lana) {
    if (lana >= kAdapters) return false;
    Endpoint& e = endpoints_[lana];
    if (e.tried) return e.open;
    e.tried = true;
    Discover();
    if (lana >= interfaces_.size()) {
        e.failure = onlyInterface_.empty()
                        ? "no IPv4 interface with a broadcast address for adapter " + std::to_string(lana)
                        : "interface " + onlyInterface_ + " is not up with an IPv4 broadcast address";
        return false;
    }
    e.info = interfaces_[lana];
    e.nameSocket = BindService(e.info.name, kNamePort, e.failure);
    if (e.nameSocket.Get() < 0) return false;
    e.datagramSocket = BindService(e.info.name, kDatagramPort, e.failure);
    if (e.datagramSocket.Get() < 0) {
        e.nameSocket = UniqueFd();
        return false;
    }
    e.open = true;
    return true;
}

uint32_t UdpTransport::AdapterAddress(uint8_t lana) const {
    return lana < kAdapters ? endpoints_[lana].info.address : 0;
}

uint32_t UdpTransport::BroadcastAddress(uint8_t lana) const {
    return lana < kAdapters ? endpoints_[lana].info.broadcast : 0;
}

const std::string& UdpTransport::FailureReason(uint8_t lana) const {
    static const std::string none;
    return lana < kAdapters ? endpoints_[lana].failure : none;
}

const std::string& UdpTransport::InterfaceName(uint8_t lana) const {
    static const std::string none;
    return lana < kAdapters ? endpoints_[lana].info.name : none;
}

SendResult UdpTransport::Send(uint8_t lana, Service from, uint32_t toAddress, uint16_t toPort,
                              std::span<const uint8_t> packet) {
    if (lana >= kAdapters || !endpoints_[lana].open) return SendResult::Failed;
    Endpoint& e = endpoints_[lana];
    const int fd = from == Service::Name ? e.nameSocket.Get() : e.datagramSocket.Get();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(toPort);
    to.sin_addr.s_addr = htonl(toAddress);
    const ssize_t sent = sendto(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent >= 0) return SendResult::Sent;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (from == Service::Datagram) e.wantWrite = true;
        return SendResult::WouldBlock;
    }
    return SendResult::Failed;
}

void UdpTransport::AppendPollFds(std::vector<pollfd>& fds) const {
    for (const Endpoint& e : endpoints_) {
        if (!e.open) continue;
        fds.push_back(pollfd{e.nameSocket.Get(), POLLIN, 0});
        const short events = static_cast<short>(POLLIN | (e.wantWrite ? POLLOUT : 0));
        fds.push_back(pollfd{e.datagramSocket.Get(), events, 0});
    }
}

void UdpTransport::Dispatch(const pollfd& ready) {
    for (uint8_t lana = 0; lana < kAdapters; ++lana) {
        Endpoint& e = endpoints_[lana];
        if (!e.open) continue;
        if (ready.fd == e.nameSocket.Get()) {
            if ((ready.revents & (POLLIN | POLLERR)) != 0) Drain(lana, Service::Name, ready.fd);
            return;
        }
        if (ready.fd == e.datagramSocket.Get()) {
            if ((ready.revents & (POLLIN | POLLERR)) != 0) Drain(lana, Service::Datagram, ready.fd);
            if ((ready.revents & POLLOUT) != 0 && e.wantWrite) {
                e.wantWrite = false;
                if (sink_ != nullptr) sink_->Writable(lana);
            }
            return;
        }
    }
}

void ReadSome(int fd, const PacketTaker& take) {
    uint8_t buffer[kReceiveBuffer];
    for (int n = 0; n < kPacketsPerRead; ++n) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) return;  // drained (or an error the next poll reports again)
        if (static_cast<std::size_t>(got) > sizeof buffer) continue;
        take(ntohl(from.sin_addr.s_addr), ntohs(from.sin_port),
             std::span<const uint8_t>(buffer, static_cast<std::size_t>(got)));
    }
}

void UdpTransport::Drain(uint8_t lana, Service service, int fd) {
    // The sink may close this transport's adapter (a reset); it only ever
    // clears names and pending sends, never sockets, so reading on is safe.
    ReadSome(fd, [&](uint32_t fromAddress, uint16_t fromPort, std::span<const uint8_t> packet) {
        if (sink_ != nullptr) sink_->Receive(lana, service, fromAddress, fromPort, packet);
    });
}

void UdpTransport::Pump(uint32_t ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::vector<pollfd> fds;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return;
        fds.clear();
        AppendPollFds(fds);
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(left));
        if (ready <= 0) continue;
        for (const pollfd& fd : fds) {
            if (fd.revents != 0) Dispatch(fd);
        }
    }
}

}  // namespace nbt
