// Broadcast nodes on an in-memory network: registration and its defence,
// queries, release, and the asynchronous datagram send.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "network/nbt_node.h"
#include "tests/network/fake_lan.h"

namespace nbt {
namespace {

// One machine at 10.77.0.<number>: a node and the control blocks it runs.
struct Host {
    Host(FakeLan& lan, uint8_t number)
        : transport(lan, 0x0A4D0000u | number), node(transport, static_cast<uint16_t>(number * 1000)) {}

    uint8_t Run(uint8_t command, const char* name = "", uint8_t lana = 0) {
        block = nb::NCB{};
        block.ncb_command = command;
        block.ncb_lana_num = lana;
        std::memcpy(block.ncb_name, Name(name).data(), nb::kNameSize);
        return node.Netbios(&block);
    }
    uint8_t Send(uint8_t number, std::vector<uint8_t>& data) {
        send = nb::NCB{};
        send.ncb_command = nb::kCmdDatagramSend | nb::kAsynch;
        send.ncb_num = number;
        send.ncb_buffer = data.data();
        send.ncb_length = static_cast<uint16_t>(data.size());
        std::memcpy(send.ncb_callname, Name("CHRONVK").data(), nb::kNameSize);
        return node.Netbios(&send);
    }

    FakeTransport transport;
    Node node;
    nb::NCB block{}, send{};
};

class NbtNodeTest : public ::testing::Test {
protected:
    FakeLan lan;
    Host a{lan, 1}, b{lan, 2}, c{lan, 3};
};

TEST_F(NbtNodeTest, ProbeFindsTheAdapterAndNamesGetSmallDistinctNumbers) {
    EXPECT_EQ(a.Run(nb::kCmdProbe, "", 0), nb::kIllegalCommand);
    EXPECT_EQ(a.Run(nb::kCmdProbe, "", 1), nb::kInvalidAdapter);
    EXPECT_EQ(a.Run(nb::kCmdAddGroupName, "CHRONVK", 1), nb::kInvalidAdapter);
    EXPECT_EQ(a.Run(nb::kCmdReset), nb::kGoodReturn);
    EXPECT_TRUE(lan.log.empty());
    ASSERT_EQ(a.Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    const int group = a.block.ncb_num;
    ASSERT_EQ(a.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    const int unique = a.block.ncb_num;
    EXPECT_TRUE(group > 0 && unique > 0 && unique != group && unique < 16) << group << " " << unique;
    EXPECT_EQ(a.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kDuplicateName);
}

TEST_F(NbtNodeTest, RegistrationIsBroadcastThreeTimesAQuarterSecondApart) {
    ASSERT_EQ(a.Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    EXPECT_EQ(a.block.ncb_cmd_cplt, nb::kGoodReturn);
    const auto sent = lan.Sent(kNamePort);
    ASSERT_EQ(sent.size(), 3u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].at, i * kRegistrationIntervalMs);
        EXPECT_EQ(sent[i].to, FakeLan::kBroadcast);
        EXPECT_EQ(Describe(*ParseNamePacket(sent[i].bytes)),
                  "3e8 request op5 broadcast rcode0 CHRONVK group a4d0001");
    }
}

// Only group members share a name. The holder refuses any other registration
// with a negative response to the requester alone, which ends its tries at once.
TEST(NbtConflict, OnlyGroupMembersShareAName) {
    const struct { bool heldAsGroup, askedAsGroup, refused; } cases[] = {
        {true, true, false}, {true, false, true}, {false, true, true}, {false, false, true}};
    for (const auto& c : cases) {
        FakeLan lan;
        Host holder(lan, 1), asker(lan, 2);
        ASSERT_EQ(holder.Run(c.heldAsGroup ? nb::kCmdAddGroupName : nb::kCmdAddName, "CHRONVK"),
                  nb::kGoodReturn);
        lan.log.clear();
        const uint8_t result =
            asker.Run(c.askedAsGroup ? nb::kCmdAddGroupName : nb::kCmdAddName, "CHRONVK");
        EXPECT_EQ(result, c.refused ? nb::kNameInUse : nb::kGoodReturn);
        if (!c.refused) continue;
        const auto sent = lan.Sent(kNamePort);
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[1].to, asker.transport.address);
        EXPECT_EQ(Describe(*ParseNamePacket(sent[1].bytes)),
                  std::string("7d0 response op5 rcode6 CHRONVK ") +
                      (c.heldAsGroup ? "group" : "unique") + " a4d0001");
    }
}

// Queries for a name held are answered to the asker alone, until the name is
// released. Malformed packets are reported, never answered; the datagram
// service's own traffic (an error packet, a fragment) is no fault.
TEST_F(NbtNodeTest, HeldNamesAreAnsweredUntilReleased) {
    ASSERT_EQ(a.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    const uint8_t number = a.block.ncb_num;
    std::vector<std::string> malformed;
    a.node.OnMalformed([&](Service s, uint32_t from) {
        malformed.push_back((s == Service::Name ? "name " : "datagram ") + std::to_string(from & 0xFF));
    });
    auto answers = [&](std::vector<uint8_t> packet, uint16_t toPort = kNamePort) {
        lan.log.clear();
        lan.Post({0, c.transport.address, 1137, FakeLan::kBroadcast, toPort, packet});
        lan.Pump(0);
        std::vector<std::string> described;
        for (const LanPacket& p : lan.Sent(1137)) {
            described.push_back(Describe(*ParseNamePacket(p.bytes)) + " to " + std::to_string(p.to & 0xFF));
        }
        return described;
    };
    EXPECT_EQ(answers(BuildQueryRequest(77, Name("CHRONVKMASTER"))),
              std::vector<std::string>{"4d response op0 rcode0 CHRONVKMASTER unique a4d0001 to 3"});
    EXPECT_TRUE(answers(BuildQueryRequest(78, Name("SOMEONEELSE"))).empty());
    auto truncated = BuildQueryRequest(79, Name("CHRONVKMASTER"));
    truncated.pop_back();
    auto fragment = BuildDirectGroupDatagram(1, 3, 138, Name("X"), Name("CHRONVKMASTER"), truncated);
    fragment[1] = kFlagFirst | kFlagMore;
    for (const auto& packet : {truncated, fragment}) EXPECT_TRUE(answers(packet).empty());
    for (const auto& packet : {std::vector<uint8_t>{0x11, 0x02}, fragment,
                               std::vector<uint8_t>{0x13, 0x02, 0, 1, 10, 77, 0, 3, 0, 138, 0x82}}) {
        EXPECT_TRUE(answers(packet, kDatagramPort).empty());
    }
    EXPECT_EQ(malformed, (std::vector<std::string>{"name 3", "name 3", "datagram 3"}));

    lan.log.clear();
    ASSERT_EQ(a.Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kGoodReturn);
    EXPECT_EQ(a.block.ncb_num, number);
    ASSERT_EQ(lan.log.size(), 1u);
    EXPECT_EQ(Describe(*ParseNamePacket(lan.log[0].bytes)),
              "3e9 request op6 broadcast rcode0 CHRONVKMASTER unique a4d0001");
    EXPECT_TRUE(answers(BuildQueryRequest(80, Name("CHRONVKMASTER"))).empty());
    EXPECT_EQ(a.Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kNameNotFound);
    EXPECT_EQ(b.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
}

// Two programs that start together register the unique name at the same
// time, the second starting while the first still listens after its last
// try: exactly one gets it, the same one whichever began first.
TEST_F(NbtNodeTest, SimultaneousRegistrationsOfTheUniqueNameLeaveOneHolder) {
    for (const bool lowerFirst : {true, false}) {
        FakeLan net;
        Host low(net, 1), high(net, 2);
        Host& second = lowerFirst ? high : low;
        uint8_t secondResult = 0xEE;
        int pumps = 0;
        std::function<void()> hook = [&] {
            if (++pumps < kRegistrationTries) net.onPump = hook;
            else secondResult = second.Run(nb::kCmdAddName, "CHRONVKMASTER");
        };
        net.onPump = hook;
        const uint8_t firstResult = (lowerFirst ? low : high).Run(nb::kCmdAddName, "CHRONVKMASTER");
        EXPECT_EQ(lowerFirst ? firstResult : secondResult, nb::kGoodReturn) << lowerFirst;
        EXPECT_EQ(lowerFirst ? secondResult : firstResult, nb::kNameInUse) << lowerFirst;
    }
}

// A send still queued when its name is released is cancelled, not sent from
// a name that is no longer ours.
TEST_F(NbtNodeTest, ReleaseCancelsTheSendsQueuedFromTheName) {
    ASSERT_EQ(a.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    std::vector<uint8_t> record(117);
    a.transport.full = true;
    ASSERT_EQ(a.Send(a.block.ncb_num, record), nb::kGoodReturn);
    ASSERT_EQ(a.Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kGoodReturn);
    EXPECT_EQ(nb::CompletionOf(a.send), nb::kNameError);
    a.transport.full = false;
    a.node.Writable(0);
    EXPECT_TRUE(lan.Sent(kDatagramPort).empty());
}

// The send completes when the kernel takes the packet, not before; the member
// of the group gets it, a stranger does not.
TEST_F(NbtNodeTest, DatagramGoesFromTheUniqueNameToTheGroupMembersOnly) {
    ASSERT_EQ(a.Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    ASSERT_EQ(a.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    ASSERT_EQ(b.Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    ASSERT_EQ(c.Run(nb::kCmdAddGroupName, "OTHERS"), nb::kGoodReturn);
    std::vector<std::string> received;
    std::vector<uint8_t> payload;
    b.node.OnDatagram([&](const ReceivedDatagram& d) {
        received.push_back(std::to_string(d.fromAddress & 0xFF) + " " + DisplayName(d.packet.source) +
                           ">" + DisplayName(d.packet.destination));
        payload.assign(d.packet.data.begin(), d.packet.data.end());
    });
    c.node.OnDatagram([&](const ReceivedDatagram&) { received.push_back("at a stranger"); });
    std::vector<uint8_t> record(117);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(3 * i);
    const std::vector<uint8_t> sentRecord = record;

    a.transport.full = true;
    EXPECT_EQ(a.Send(a.block.ncb_num, record), nb::kGoodReturn);
    EXPECT_EQ(nb::CompletionOf(a.send), nb::kPending);
    EXPECT_TRUE(lan.Sent(kDatagramPort).empty());
    a.transport.full = false;
    a.node.Writable(0);
    EXPECT_EQ(nb::CompletionOf(a.send), nb::kGoodReturn);
    record.assign(117, 0);  // the caller's buffer is free once the send completed
    lan.Pump(0);

    const auto sent = lan.Sent(kDatagramPort);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to, FakeLan::kBroadcast);
    EXPECT_EQ(received, std::vector<std::string>{"1 CHRONVKMASTER>CHRONVK"});
    EXPECT_EQ(payload, sentRecord);
}

}  // namespace
}  // namespace nbt
