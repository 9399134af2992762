// The broadcast node's packets: exact bytes of what it sends, and a parser
// that turns down truncated and hostile input without reading past it.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "network/nbt_packet.h"
#include "tests/network/fake_lan.h"

namespace nbt {
namespace {

std::vector<uint8_t> Hex(std::string text) {
    std::erase(text, ' ');
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

constexpr uint32_t kAddress = 0x0A4D0002;  // 10.77.0.2
const NetbiosName kMaster = Name("CHRONVKMASTER");
const NetbiosName kGroup = Name("CHRONVK");
const std::string kGroupEncoded = "20 4544454946434550454F4647454C 434143414341434143414341434143414341 00";
const std::string kMasterEncoded = "20 4544454946434550454F4647454C 454E45424644464545464643 434143414341 00";

TEST(NbtPackets, RegistrationAndDatagramHaveTheWireLayout) {
    EXPECT_EQ(BuildRegistrationRequest(0x1234, kGroup, true, kAddress),
              Hex("1234 2910 0001 0000 0000 0001" + kGroupEncoded +
                  "0020 0001 C00C 0020 0001 000493E0 0006 8000 0A4D0002"));
    EXPECT_EQ(BuildDirectGroupDatagram(0xBEEF, kAddress, 138, kMaster, kGroup, std::vector<uint8_t>{1, 2, 3}),
              Hex("11 02 BEEF 0A4D0002 008A 0047 0000" + kMasterEncoded + kGroupEncoded + "010203"));
}

// One packet of each kind the node builds.
std::vector<std::vector<uint8_t>> BuiltPackets() {
    return {
        BuildRegistrationRequest(1, kMaster, false, kAddress), BuildQueryRequest(4, kMaster),
        BuildReleaseRequest(2, kMaster, true, kAddress),
        BuildNegativeRegistrationResponse(3, kMaster, false, kAddress),
        BuildPositiveQueryResponse(5, kMaster, true, kAddress),
        BuildDirectGroupDatagram(6, kAddress, 138, kMaster, kGroup, std::vector<uint8_t>(117, 0xA5)),
    };
}

// Every packet the node builds parses (what it says is checked where the node
// sends it), and no shorter piece of it parses as either kind.
TEST(NbtPackets, EveryTruncationOfABuiltPacketIsRefused) {
    for (const auto& packet : BuiltPackets()) {
        const auto parses = [&](std::size_t n) {
            const std::span piece(packet.data(), n);
            return ParseNamePacket(piece).has_value() || ParseDatagram(piece).has_value();
        };
        EXPECT_TRUE(parses(packet.size()));
        for (std::size_t n = 0; n < packet.size(); ++n)
            EXPECT_FALSE(parses(n)) << packet.size() << " cut at " << n;
    }
}

// A query whose question name is `name` (hex, raw label bytes) of type
// `type`, with `behind` after the question.
std::vector<uint8_t> QuestionWith(const std::string& name, const std::string& type = "0020",
                                  const std::string& behind = "") {
    return Hex("0001 0110 0001 0000 0000 0000" + name + type + "0001" + behind);
}

TEST(NbtPackets, HostilePacketsAreDropped) {
    const std::string label = kMasterEncoded.substr(2);  // the name's letters, behind its length
    auto longAnswer = BuildPositiveQueryResponse(1, kMaster, false, kAddress);
    longAnswer[12 + 34 + 9] = 0x40;  // its data length reaches past the packet
    const std::vector<std::vector<uint8_t>> names = {
        QuestionWith("20 51" + kMasterEncoded.substr(5)),  // a letter past 'P'
        QuestionWith("1F" + label), QuestionWith("60" + label),  // a short label, a reserved type
        QuestionWith("C00C"),                  // points at itself
        QuestionWith("00"),                    // the root name alone
        QuestionWith("20 4142"),               // a label longer than the packet
        Hex("0001 0110 0005 0000 0000 0000"),  // counts with nothing behind them
        Hex("0001 0110 0000 0000 0000 0000"),  // nothing asked, nothing answered
        longAnswer,
        QuestionWith(kMasterEncoded, "0021"),  // not an NB question: not ours to answer
        QuestionWith("C012", "0020", kMasterEncoded),  // points forwards, at a good name behind it
    };
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_FALSE(ParseNamePacket(names[i])) << i;

    const auto good = BuildDirectGroupDatagram(1, kAddress, 138, kMaster, kGroup, std::vector<uint8_t>(9));
    // Claims more than is there, a name pointer, an unknown type: refused.
    // A fragment, an offset, an error packet: known, but no whole datagram.
    const struct { int at, value; bool known; } edits[] = {
        {10, 0x01, false}, {14, 0xC0, false}, {0, 0x17, false},
        {1, kFlagFirst | kFlagMore, true}, {13, 0x10, true}, {0, kDatagramError, true}};
    for (auto [at, value, known] : edits) {
        auto packet = good;
        packet[static_cast<std::size_t>(at)] = static_cast<uint8_t>(value);
        const auto d = ParseDatagram(packet);
        EXPECT_EQ(d.has_value(), known) << at;
        EXPECT_FALSE(d && d->whole) << at;
    }
}

// Random mutations of good packets and plain noise: the parsers neither crash
// nor read outside the buffer (the sanitizers watch), and a datagram they
// accept lies inside it.
TEST(NbtPackets, RandomizedPacketsNeverBreakTheParsers) {
    std::mt19937 random(20240611);
    const auto seeds = BuiltPackets();
    std::size_t accepted = 0;
    for (int round = 0; round < 60000; ++round) {
        std::vector<uint8_t> packet = seeds[random() % seeds.size()];
        if (round % 10 == 0) {  // plain noise
            packet.resize(random() % 300);
            for (uint8_t& b : packet) b = static_cast<uint8_t>(random());
        }
        for (auto edits = 1 + random() % 4; edits > 0 && !packet.empty(); --edits) {
            const std::size_t at = random() % packet.size();
            switch (random() % 4) {
            case 0: packet[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
            case 1: packet[at] = static_cast<uint8_t>(random()); break;
            case 2: packet.resize(at); break;
            default: packet.insert(packet.begin() + static_cast<long>(at), static_cast<uint8_t>(random()));
            }
        }
        // A heap copy of exactly the packet's size, so that ASan sees any overread.
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[packet.size()]);
        std::copy(packet.begin(), packet.end(), exact.get());
        const std::span<const uint8_t> view(exact.get(), packet.size());
        if (ParseNamePacket(view)) ++accepted;
        if (const auto d = ParseDatagram(view); d && d->whole) {
            ++accepted;
            EXPECT_TRUE(d->data.data() >= view.data() &&
                        d->data.data() + d->data.size() <= view.data() + view.size());
        }
    }
    EXPECT_GT(accepted, 0u);  // the mutations also explore what parses
}

}  // namespace
}  // namespace nbt
