// The sockets' read: a flood is taken in bounded bites.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "network/posix/udp_transport.h"

namespace nbt {
namespace {

TEST(UdpTransport, AFloodIsReadInBoundedBitesInOrder) {
    UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0));
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof self;
    ASSERT_EQ(bind(fd.Get(), reinterpret_cast<const sockaddr*>(&self), sizeof self), 0);
    ASSERT_EQ(getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&self), &length), 0);
    const int flood = kPacketsPerRead * 2 + 5;
    for (int i = 0; i < flood; ++i) {
        const uint8_t packet[] = {static_cast<uint8_t>(i)};
        ASSERT_EQ(sendto(fd.Get(), packet, 1, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self), 1);
    }
    int taken = 0;
    const PacketTaker take = [&](uint32_t, uint16_t, std::span<const uint8_t> packet) {
        EXPECT_EQ(packet[0], taken++);
    };
    for (const int total : {kPacketsPerRead, 2 * kPacketsPerRead, flood, flood}) {
        ReadSome(fd.Get(), take);
        ASSERT_EQ(taken, total);
    }
}

}  // namespace
}  // namespace nbt
