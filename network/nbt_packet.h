// NetBIOS over TCP/IP packets of a broadcast node: the name service on UDP 137
// and the datagram service on UDP 138. Building never fails; parsing checks
// every length and offset and gives nothing for a packet it cannot trust.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace nbt {

inline constexpr uint16_t kNamePort = 137;
inline constexpr uint16_t kDatagramPort = 138;

// The 16 bytes of a NetBIOS name, the 16th being its suffix.
using NetbiosName = std::array<uint8_t, 16>;

NetbiosName MakeName(const uint8_t (&bytes)[16]);
// Printable form: trailing spaces dropped, a suffix other than a space shown as <xx>.
std::string DisplayName(const NetbiosName& name);

// First-level encoding: a length byte of 32, two letters 'A'+nibble per byte,
// and the empty scope's terminating zero.
inline constexpr std::size_t kEncodedNameSize = 34;
void EncodeName(const NetbiosName& name, uint8_t* out);

// Name service operation codes.
inline constexpr uint8_t kOpQuery = 0x0;
inline constexpr uint8_t kOpRegistration = 0x5;
inline constexpr uint8_t kOpRelease = 0x6;

// Result code of a negative registration response: the name is owned by another node.
inline constexpr uint8_t kRcodeActiveError = 0x6;

struct NamePacket {
    uint16_t transactionId = 0;
    bool response = false;
    uint8_t opcode = 0;
    bool broadcast = false;
    uint8_t rcode = 0;
    NetbiosName name{};
    bool scoped = false;  // carries a scope: not a name of our (empty) scope
    // From the additional record of a request or the answer of a response.
    bool hasAddress = false;
    bool group = false;
    uint32_t address = 0;  // IPv4, host order
};

std::optional<NamePacket> ParseNamePacket(std::span<const uint8_t> packet);

std::vector<uint8_t> BuildRegistrationRequest(uint16_t id, const NetbiosName& name, bool group,
                                              uint32_t address);
std::vector<uint8_t> BuildReleaseRequest(uint16_t id, const NetbiosName& name, bool group,
                                         uint32_t address);
std::vector<uint8_t> BuildNegativeRegistrationResponse(uint16_t id, const NetbiosName& name,
                                                       bool group, uint32_t address);
std::vector<uint8_t> BuildQueryRequest(uint16_t id, const NetbiosName& name);
std::vector<uint8_t> BuildPositiveQueryResponse(uint16_t id, const NetbiosName& name, bool group,
                                                uint32_t address);

// Datagram service message types.
inline constexpr uint8_t kDirectUnique = 0x10;
inline constexpr uint8_t kDirectGroup = 0x11;
inline constexpr uint8_t kBroadcastDatagram = 0x12;
// Error packets and datagram-service name queries and answers (0x13 to 0x16).
inline constexpr uint8_t kDatagramError = 0x13;
inline constexpr uint8_t kLastServiceType = 0x16;
// Flags: first fragment, no more fragments, sent by a B node.
inline constexpr uint8_t kFlagFirst = 0x02;
inline constexpr uint8_t kFlagMore = 0x01;

struct DatagramPacket {
    uint8_t type = 0;
    uint8_t flags = 0;
    uint16_t id = 0;
    uint32_t sourceAddress = 0;
    uint16_t sourcePort = 0;
    // A whole direct or broadcast datagram; only then are the fields below
    // read. Other datagram service packets (error packets, queries, fragments)
    // are recognised by their header alone.
    bool whole = false;
    NetbiosName source{};
    NetbiosName destination{};
    bool scoped = false;
    std::span<const uint8_t> data;  // points into the parsed packet
};

// Nothing for a packet that no datagram service would send.
std::optional<DatagramPacket> ParseDatagram(std::span<const uint8_t> packet);

std::vector<uint8_t> BuildDirectGroupDatagram(uint16_t id, uint32_t sourceAddress,
                                              uint16_t sourcePort, const NetbiosName& source,
                                              const NetbiosName& destination,
                                              std::span<const uint8_t> data);

}  // namespace nbt
