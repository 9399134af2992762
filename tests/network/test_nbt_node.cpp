// Broadcast nodes on an in-memory network: registration and its defence,
// queries, release, and the asynchronous datagram send.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
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

    FakeTransport transport;
    Node node;
    nb::NCB block{};
};

class NbtNodeTest : public ::testing::Test {
protected:
    FakeLan lan;
    Host a{lan, 1}, b{lan, 2}, c{lan, 3};
};

// The probe finds adapter 0 only; a name is registered by three broadcasts a
// quarter second apart, and only once on a node, as group or as unique name.
TEST_F(NbtNodeTest, ProbeAndRegistration) {
    EXPECT_EQ(a.Run(nb::kCmdProbe, "", 0), nb::kIllegalCommand);
    EXPECT_EQ(a.Run(nb::kCmdProbe, "", 1), nb::kInvalidAdapter);
    ASSERT_EQ(a.Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    const auto sent = lan.Sent(kNamePort);
    ASSERT_EQ(sent.size(), 3u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_TRUE(sent[i].at == i * kRegistrationIntervalMs && sent[i].to == FakeLan::kBroadcast);
        EXPECT_EQ(Describe(*ParseNamePacket(sent[i].bytes)),
                  "3e8 request op5 broadcast rcode0 CHRONVK group a4d0001");
    }
    EXPECT_EQ(a.Run(nb::kCmdAddName, "CHRONVK"), nb::kDuplicateName);
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

// Two programs that start together register the unique name at the same
// time, the second starting while the first still listens after its last
// try: exactly one gets it, the same one whichever began first.
TEST(NbtConflict, SimultaneousRegistrationsOfTheUniqueNameLeaveOneHolder) {
    for (const bool lowerFirst : {true, false}) {
        FakeLan lan;
        Host low(lan, 1), high(lan, 2);
        uint8_t secondResult = 0xEE;
        int pumps = 0;
        std::function<void()> hook = [&] {
            if (++pumps < kRegistrationTries) lan.onPump = hook;
            else secondResult = (lowerFirst ? high : low).Run(nb::kCmdAddName, "CHRONVKMASTER");
        };
        lan.onPump = hook;
        const uint8_t firstResult = (lowerFirst ? low : high).Run(nb::kCmdAddName, "CHRONVKMASTER");
        EXPECT_EQ(lowerFirst ? firstResult : secondResult, nb::kGoodReturn) << lowerFirst;
        EXPECT_EQ(lowerFirst ? secondResult : firstResult, nb::kNameInUse) << lowerFirst;
    }
}

// Queries for a name held are answered to the asker alone, until the name is
// released. Malformed packets are reported, never answered; the datagram
// service's own traffic (a fragment, an error packet) is no fault.
TEST_F(NbtNodeTest, HeldNamesAreAnsweredUntilReleased) {
    ASSERT_EQ(a.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    std::vector<std::string> malformed;
    a.node.OnMalformed([&](Service s, uint32_t) { malformed.push_back(s == Service::Name ? "name" : "datagram"); });
    auto answers = [&](std::vector<uint8_t> packet, uint16_t toPort = kNamePort) {
        lan.log.clear();
        lan.Post({0, c.transport.address, 1137, FakeLan::kBroadcast, toPort, packet});
        lan.Pump(0);
        std::string described;
        for (const LanPacket& p : lan.Sent(1137))
            described += Describe(*ParseNamePacket(p.bytes)) + " to " + std::to_string(p.to & 0xFF);
        return described;
    };
    EXPECT_EQ(answers(BuildQueryRequest(77, Name("CHRONVKMASTER"))),
              "4d response op0 rcode0 CHRONVKMASTER unique a4d0001 to 3");
    auto fragment = BuildDirectGroupDatagram(1, 3, 138, Name("X"), Name("CHRONVKMASTER"), {});
    fragment[1] = kFlagFirst | kFlagMore;
    const std::vector<uint8_t> error = {0x13, 0x02, 0, 1, 10, 77, 0, 3, 0, 138, 0x82};
    const std::pair<std::vector<uint8_t>, uint16_t> unanswered[] = {
        {{0x00, 0x4D}, kNamePort}, {{0x11, 0x02}, kDatagramPort}, {fragment, kDatagramPort},
        {error, kDatagramPort}};
    for (const auto& [packet, port] : unanswered) EXPECT_EQ(answers(packet, port), "");
    EXPECT_EQ(malformed, (std::vector<std::string>{"name", "datagram"}));

    lan.log.clear();
    ASSERT_EQ(a.Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kGoodReturn);
    ASSERT_EQ(lan.log.size(), 1u);
    EXPECT_EQ(Describe(*ParseNamePacket(lan.log[0].bytes)),
              "3e9 request op6 broadcast rcode0 CHRONVKMASTER unique a4d0001");
    EXPECT_EQ(answers(BuildQueryRequest(80, Name("CHRONVKMASTER"))), "");
    EXPECT_EQ(a.Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kNameNotFound);
}

// The send completes when the kernel takes the packet, not before; the member
// of the group gets it, a stranger does not. A send still queued when its
// name is released is cancelled, not sent from a name no longer ours.
TEST_F(NbtNodeTest, DatagramGoesFromTheUniqueNameToTheGroupMembersOnly) {
    ASSERT_EQ(a.Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    ASSERT_EQ(a.Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    ASSERT_EQ(b.Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    ASSERT_EQ(c.Run(nb::kCmdAddGroupName, "OTHERS"), nb::kGoodReturn);
    std::vector<std::string> received;
    b.node.OnDatagram([&](const ReceivedDatagram& d) {
        received.push_back(DisplayName(d.packet.source) + " " + std::to_string(d.packet.data.size()) +
                           " " + std::to_string(d.packet.data[116]));
    });
    c.node.OnDatagram([&](const ReceivedDatagram&) { received.push_back("at a stranger"); });
    std::vector<uint8_t> record(117, 7);
    nb::NCB send{};
    send.ncb_command = nb::kCmdDatagramSend | nb::kAsynch;
    send.ncb_num = a.block.ncb_num;  // CHRONVKMASTER's
    send.ncb_buffer = record.data();
    send.ncb_length = 117;
    std::memcpy(send.ncb_callname, Name("CHRONVK").data(), nb::kNameSize);

    a.transport.full = true;
    EXPECT_EQ(a.node.Netbios(&send), nb::kGoodReturn);
    EXPECT_EQ(nb::CompletionOf(send), nb::kPending);
    a.transport.full = false;
    a.node.Writable(0);
    EXPECT_EQ(nb::CompletionOf(send), nb::kGoodReturn);
    record.assign(117, 0);  // the caller's buffer is free once the send completed
    lan.Pump(0);
    EXPECT_EQ(received, std::vector<std::string>{"CHRONVKMASTER 117 7"});

    a.transport.full = true;
    ASSERT_EQ(a.node.Netbios(&send), nb::kGoodReturn);
    ASSERT_EQ(a.Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kGoodReturn);
    EXPECT_EQ(nb::CompletionOf(send), nb::kNameError);
    a.transport.full = false;
    a.node.Writable(0);
    EXPECT_EQ(lan.Sent(kDatagramPort).size(), 1u);
}

}  // namespace
}  // namespace nbt
