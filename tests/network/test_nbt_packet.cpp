// The broadcast node's packets: exact bytes of what it sends, and a parser
// that turns down truncated and hostile input without reading past it.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "network/posix/nbt_packet.h"

namespace nbt {
namespace {

NetbiosName Name(const char* text) {
    NetbiosName name;
    name.fill(' ');
    for (std::size_t i = 0; i < name.size() && text[i] != '\0'; ++i) {
        name[i] = static_cast<uint8_t>(text[i]);
    }
    return name;
}

std::vector<uint8_t> Hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text) {
        if (c != ' ') digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<uint8_t> Encoded(const NetbiosName& name) {
    std::vector<uint8_t> out(kEncodedNameSize);
    EncodeName(name, out.data());
    return out;
}

constexpr uint32_t kAddress = 0x0A4D0002;  // 10.77.0.2

TEST(NbtName, FirstLevelEncodingTurnsEachNibbleIntoALetter) {
    const auto encoded = Encoded(Name("CHRONVK"));
    EXPECT_EQ(std::string(encoded.begin() + 1, encoded.end() - 1),
              "EDEIFCEPEOFGELCACACACACACACACACA");
    EXPECT_EQ(encoded.front(), 32);
    EXPECT_EQ(encoded.back(), 0);

    NetbiosName binary;
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<uint8_t>(i * 17);
    const auto bytes = Encoded(binary);
    EXPECT_EQ(bytes[1], 'A');
    EXPECT_EQ(bytes[2], 'A');
    EXPECT_EQ(bytes[31], 'P');
    EXPECT_EQ(bytes[32], 'P');
}

TEST(NbtName, DisplayDropsPaddingAndShowsASuffix) {
    EXPECT_EQ(DisplayName(Name("CHRONVKMASTER")), "CHRONVKMASTER");
    NetbiosName withSuffix = Name("WORKGROUP");
    withSuffix[15] = 0x1D;
    withSuffix[3] = 0x07;
    EXPECT_EQ(DisplayName(withSuffix), "WOR.GROUP<1d>");
}

TEST(NbtNamePackets, RegistrationRequestHasTheBroadcastNodeLayout) {
    const auto packet = BuildRegistrationRequest(0x1234, Name("CHRONVK"), true, kAddress);
    const auto expected = Hex("1234 2910 0001 0000 0000 0001" +
                              std::string("20 4544454946434550454F4647454C 434143414341434143414341434143414341 00") +
                              "0020 0001 C00C 0020 0001 000493E0 0006 8000 0A4D0002");
    EXPECT_EQ(packet, expected);
}

TEST(NbtDatagrams, DirectGroupDatagramHasTheDatagramServiceLayout) {
    const std::vector<uint8_t> data = {1, 2, 3};
    const auto packet = BuildDirectGroupDatagram(0xBEEF, kAddress, 138, Name("CHRONVKMASTER"),
                                                 Name("CHRONVK"), data);
    ASSERT_EQ(packet.size(), 14u + 68u + 3u);
    EXPECT_EQ(std::vector<uint8_t>(packet.begin(), packet.begin() + 14),
              Hex("11 02 BEEF 0A4D0002 008A 0047 0000"));
    EXPECT_EQ(std::vector<uint8_t>(packet.begin() + 14, packet.begin() + 48), Encoded(Name("CHRONVKMASTER")));
    EXPECT_EQ(std::vector<uint8_t>(packet.begin() + 48, packet.begin() + 82), Encoded(Name("CHRONVK")));
    EXPECT_EQ(std::vector<uint8_t>(packet.end() - 3, packet.end()), data);
}

struct NameCase {
    const char* what;
    std::function<std::vector<uint8_t>()> build;
    bool response;
    uint8_t opcode;
    bool broadcast;
    uint8_t rcode;
    bool hasAddress;
    bool group;
};

class NamePacketRoundTrip : public ::testing::TestWithParam<NameCase> {};

TEST_P(NamePacketRoundTrip, ParsesBackToWhatWasBuilt) {
    const NameCase& c = GetParam();
    const auto packet = c.build();
    const auto parsed = ParseNamePacket(packet);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->transactionId, 0x4321);
    EXPECT_EQ(parsed->response, c.response);
    EXPECT_EQ(parsed->opcode, c.opcode);
    EXPECT_EQ(parsed->broadcast, c.broadcast);
    EXPECT_EQ(parsed->rcode, c.rcode);
    EXPECT_EQ(parsed->name, Name("CHRONVKMASTER"));
    EXPECT_FALSE(parsed->scoped);
    EXPECT_EQ(parsed->hasAddress, c.hasAddress);
    if (c.hasAddress) {
        EXPECT_EQ(parsed->group, c.group);
        EXPECT_EQ(parsed->address, kAddress);
    }
    // Every shorter piece of a good packet is a bad packet.
    for (std::size_t n = 0; n < packet.size(); ++n) {
        EXPECT_FALSE(ParseNamePacket(std::span(packet.data(), n)).has_value()) << n;
    }
}

const NetbiosName kMaster = Name("CHRONVKMASTER");

INSTANTIATE_TEST_SUITE_P(
    Builders, NamePacketRoundTrip,
    ::testing::Values(
        NameCase{"registration", [] { return BuildRegistrationRequest(0x4321, kMaster, false, kAddress); },
                 false, kOpRegistration, true, 0, true, false},
        NameCase{"group registration", [] { return BuildRegistrationRequest(0x4321, kMaster, true, kAddress); },
                 false, kOpRegistration, true, 0, true, true},
        NameCase{"release", [] { return BuildReleaseRequest(0x4321, kMaster, false, kAddress); },
                 false, kOpRelease, true, 0, true, false},
        NameCase{"negative", [] { return BuildNegativeRegistrationResponse(0x4321, kMaster, false, kAddress); },
                 true, kOpRegistration, false, kRcodeActiveError, true, false},
        NameCase{"query", [] { return BuildQueryRequest(0x4321, kMaster); },
                 false, kOpQuery, true, 0, false, false},
        NameCase{"positive", [] { return BuildPositiveQueryResponse(0x4321, kMaster, true, kAddress); },
                 true, kOpQuery, false, 0, true, true}),
    [](const auto& param) {
        std::string name = param.param.what;
        for (char& c : name) {
            if (c == ' ') c = '_';
        }
        return name;
    });

TEST(NbtDatagrams, ParsesBackAndRefusesEveryTruncation) {
    std::vector<uint8_t> record(117);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i);
    const auto packet = BuildDirectGroupDatagram(7, kAddress, 138, kMaster, Name("CHRONVK"), record);
    const auto parsed = ParseDatagram(packet);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->type, kDirectGroup);
    EXPECT_EQ(parsed->sourceAddress, kAddress);
    EXPECT_EQ(parsed->sourcePort, 138);
    EXPECT_EQ(parsed->source, kMaster);
    EXPECT_EQ(parsed->destination, Name("CHRONVK"));
    EXPECT_EQ(std::vector<uint8_t>(parsed->data.begin(), parsed->data.end()), record);
    for (std::size_t n = 0; n < packet.size(); ++n) {
        EXPECT_FALSE(ParseDatagram(std::span(packet.data(), n)).has_value()) << n;
    }
}

// A name service packet whose question name is `name` (raw label bytes).
std::vector<uint8_t> QuestionWith(const std::vector<uint8_t>& name) {
    auto packet = Hex("0001 0110 0001 0000 0000 0000");
    packet.insert(packet.end(), name.begin(), name.end());
    for (uint8_t b : Hex("0020 0001")) packet.push_back(b);
    return packet;
}

TEST(NbtHostileInput, NamePacketsThatCannotBeTrustedAreDropped) {
    auto goodName = Encoded(kMaster);
    auto badLetter = goodName;
    badLetter[5] = 'Q';
    auto shortLabel = goodName;
    shortLabel[0] = 31;
    auto reservedLabel = goodName;
    reservedLabel[0] = 0x60;
    const std::vector<std::vector<uint8_t>> hostile = {
        QuestionWith(badLetter),
        QuestionWith(shortLabel),
        QuestionWith(reservedLabel),
        QuestionWith({0xC0, 0x0C}),          // points at itself
        QuestionWith({0xC0, 0x40}),          // points forwards, past the end
        QuestionWith({0x00}),                // the root name alone
        QuestionWith({0x20, 'A', 'B'}),      // label longer than the packet
        Hex("0001 0110 0005 0000 0000 0000"),  // counts with nothing behind them
        Hex("0001 0110 0000 0000 0000 0000"),  // nothing asked, nothing answered
        Hex("0001 0110 0001"),                 // header cut short
    };
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        EXPECT_FALSE(ParseNamePacket(hostile[i]).has_value()) << i;
    }
    // A record's data length reaching past the packet.
    auto answer = BuildPositiveQueryResponse(1, kMaster, false, kAddress);
    answer[12 + 34 + 8] = 0x00;
    answer[12 + 34 + 9] = 0x40;
    EXPECT_FALSE(ParseNamePacket(answer).has_value());
    // A type other than NB (an adapter status query) is not ours to answer.
    auto status = QuestionWith(goodName);
    status[status.size() - 3] = 0x21;
    EXPECT_FALSE(ParseNamePacket(status).has_value());
}

TEST(NbtHostileInput, ScopedNamesAreRecognisedAsNotOurs) {
    auto scoped = Encoded(kMaster);
    scoped.pop_back();
    for (uint8_t b : Hex("03 6C 61 6E 00")) scoped.push_back(b);  // ".lan"
    const auto parsed = ParseNamePacket(QuestionWith(scoped));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_TRUE(parsed->scoped);
    EXPECT_EQ(parsed->name, kMaster);
}

TEST(NbtHostileInput, DatagramsThatCannotBeTrustedAreDropped) {
    const std::vector<uint8_t> data(117, 0x55);
    const auto good = BuildDirectGroupDatagram(1, kAddress, 138, kMaster, Name("CHRONVK"), data);
    auto longer = good;
    longer[10] = 0x01;  // claims more than is there
    auto fragment = good;
    fragment[1] = kFlagFirst | kFlagMore;
    auto offset = good;
    offset[13] = 0x10;
    auto error = good;
    error[0] = 0x13;
    auto pointer = good;
    pointer[14] = 0xC0;
    pointer[15] = 0x00;
    for (const auto& packet : {longer, fragment, offset, error, pointer}) {
        EXPECT_FALSE(ParseDatagram(packet).has_value());
    }
}

// Random mutations of good packets and plain noise: the parsers must neither
// crash nor read outside the buffer (the sanitizers watch), and whatever they
// accept must be self-consistent.
TEST(NbtHostileInput, RandomizedPacketsNeverBreakTheParsers) {
    std::mt19937 random(20240611);
    const std::vector<uint8_t> record(117, 0xA5);
    const std::vector<std::vector<uint8_t>> seeds = {
        BuildRegistrationRequest(1, kMaster, false, kAddress),
        BuildReleaseRequest(2, kMaster, true, kAddress),
        BuildNegativeRegistrationResponse(3, kMaster, false, kAddress),
        BuildQueryRequest(4, kMaster),
        BuildPositiveQueryResponse(5, kMaster, true, kAddress),
        BuildDirectGroupDatagram(6, kAddress, 138, kMaster, Name("CHRONVK"), record),
    };
    std::size_t accepted = 0;
    for (int round = 0; round < 60000; ++round) {
        std::vector<uint8_t> packet;
        if (round % 10 == 0) {
            packet.resize(random() % 300);
            for (auto& b : packet) b = static_cast<uint8_t>(random());
        } else {
            packet = seeds[random() % seeds.size()];
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits && !packet.empty(); ++e) {
                const std::size_t at = random() % packet.size();
                switch (random() % 4) {
                case 0: packet[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
                case 1: packet[at] = static_cast<uint8_t>(random()); break;
                case 2: packet.resize(at); break;
                default: packet.insert(packet.begin() + static_cast<std::ptrdiff_t>(at),
                                       static_cast<uint8_t>(random()));
                }
            }
        }
        // Parse a heap copy of exactly the packet's size, so ASan sees any overread.
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[packet.size()]);
        std::copy(packet.begin(), packet.end(), exact.get());
        const std::span<const uint8_t> view(exact.get(), packet.size());
        if (ParseNamePacket(view)) ++accepted;
        if (const auto d = ParseDatagram(view)) {
            ++accepted;
            EXPECT_GE(d->data.data(), view.data());
            EXPECT_LE(d->data.data() + d->data.size(), view.data() + view.size());
        }
    }
    EXPECT_GT(accepted, 0u);  // the mutations also explore what parses
}

}  // namespace
}  // namespace nbt
