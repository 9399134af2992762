// Broadcast nodes on an in-memory network: registration and its defence,
// queries, release, and the asynchronous datagram send.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "network/posix/nbt_node.h"
#include "tests/network/fake_lan.h"

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

struct Host {
    Host(FakeLan& lan, uint32_t address, uint16_t firstId)
        : transport(lan, address), node(transport, firstId) {}

    uint8_t Run(uint8_t command, const char* name = "", uint8_t lana = 0) {
        block = nb::NCB{};
        block.ncb_command = command;
        block.ncb_lana_num = lana;
        const NetbiosName padded = Name(name);
        std::memcpy(block.ncb_name, padded.data(), padded.size());
        return node.Netbios(&block);
    }
    uint8_t Send(uint8_t number, const char* destination, std::vector<uint8_t>& data) {
        send = nb::NCB{};
        send.ncb_command = nb::kCmdDatagramSend | nb::kAsynch;
        send.ncb_num = number;
        send.ncb_buffer = data.data();
        send.ncb_length = static_cast<uint16_t>(data.size());
        const NetbiosName padded = Name(destination);
        std::memcpy(send.ncb_callname, padded.data(), padded.size());
        return node.Netbios(&send);
    }

    FakeTransport transport;
    Node node;
    nb::NCB block{};
    nb::NCB send{};
};

class NbtNodeTest : public ::testing::Test {
protected:
    std::unique_ptr<Host> Make(uint32_t hostByte) {
        return std::make_unique<Host>(lan, 0x0A4D0000 | hostByte, static_cast<uint16_t>(hostByte * 1000));
    }
    std::vector<NamePacket> NamePackets() const {
        std::vector<NamePacket> parsed;
        for (const LanPacket& p : lan.Sent(kNamePort)) parsed.push_back(*ParseNamePacket(p.bytes));
        return parsed;
    }

    FakeLan lan;
};

TEST_F(NbtNodeTest, ProbeFindsOnlyAdaptersThatExist) {
    auto a = Make(1);
    EXPECT_EQ(a->Run(nb::kCmdProbe, "", 0), nb::kIllegalCommand);
    EXPECT_EQ(a->Run(nb::kCmdProbe, "", 1), nb::kInvalidAdapter);
    EXPECT_EQ(a->Run(nb::kCmdAddGroupName, "CHRONVK", 1), nb::kInvalidAdapter);
    EXPECT_EQ(a->Run(nb::kCmdReset), nb::kGoodReturn);
    EXPECT_TRUE(lan.log.empty());
}

TEST_F(NbtNodeTest, RegistrationIsBroadcastThreeTimesAQuarterSecondApart) {
    auto a = Make(1);
    ASSERT_EQ(a->Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    EXPECT_NE(a->block.ncb_num, 0);
    EXPECT_EQ(a->block.ncb_cmd_cplt, nb::kGoodReturn);
    const auto sent = lan.Sent(kNamePort);
    ASSERT_EQ(sent.size(), 3u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].at, i * kRegistrationIntervalMs);
        EXPECT_EQ(sent[i].to, FakeLan::kBroadcast);
        EXPECT_EQ(sent[i].bytes, sent[0].bytes) << "a retry repeats the same request";
        const auto p = ParseNamePacket(sent[i].bytes);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->opcode, kOpRegistration);
        EXPECT_FALSE(p->response);
        EXPECT_TRUE(p->broadcast);
        EXPECT_EQ(p->name, Name("CHRONVK"));
        EXPECT_TRUE(p->group);
        EXPECT_EQ(p->address, 0x0A4D0001u);
    }
    EXPECT_EQ(lan.now, 3 * kRegistrationIntervalMs);
}

TEST_F(NbtNodeTest, NameNumbersAreSmallDistinctAndNonZero) {
    auto a = Make(1);
    ASSERT_EQ(a->Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    const uint8_t group = a->block.ncb_num;
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    const uint8_t unique = a->block.ncb_num;
    EXPECT_NE(group, 0);
    EXPECT_NE(unique, 0);
    EXPECT_NE(group, unique);
    EXPECT_LT(unique, 16);
    EXPECT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kDuplicateName);
}

TEST_F(NbtNodeTest, SecondUniqueRegistrationIsRefusedByTheHolder) {
    auto a = Make(1);
    auto b = Make(2);
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    lan.log.clear();
    EXPECT_EQ(b->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kNameInUse);
    EXPECT_EQ(b->block.ncb_num, 0);

    const auto packets = NamePackets();
    ASSERT_EQ(packets.size(), 2u) << "the refusal ends the tries at once";
    EXPECT_EQ(packets[1].opcode, kOpRegistration);
    EXPECT_TRUE(packets[1].response);
    EXPECT_EQ(packets[1].rcode, kRcodeActiveError);
    EXPECT_EQ(packets[1].transactionId, packets[0].transactionId);
    EXPECT_EQ(packets[1].address, 0x0A4D0001u);
    EXPECT_EQ(lan.Sent(kNamePort)[1].to, 0x0A4D0002u) << "the answer goes to the requester only";
}

struct ConflictCase {
    bool heldAsGroup;
    bool requestAsGroup;
    bool refused;
};

class NbtConflict : public NbtNodeTest, public ::testing::WithParamInterface<ConflictCase> {};

TEST_P(NbtConflict, OnlyGroupMembersShareAName) {
    const ConflictCase& c = GetParam();
    auto a = Make(1);
    auto b = Make(2);
    ASSERT_EQ(a->Run(c.heldAsGroup ? nb::kCmdAddGroupName : nb::kCmdAddName, "CHRONVK"),
              nb::kGoodReturn);
    EXPECT_EQ(b->Run(c.requestAsGroup ? nb::kCmdAddGroupName : nb::kCmdAddName, "CHRONVK"),
              c.refused ? nb::kNameInUse : nb::kGoodReturn);
}

INSTANTIATE_TEST_SUITE_P(Names, NbtConflict,
                         ::testing::Values(ConflictCase{true, true, false},
                                           ConflictCase{true, false, true},
                                           ConflictCase{false, true, true},
                                           ConflictCase{false, false, true}));

TEST_F(NbtNodeTest, QueriesForHeldNamesAreAnswered) {
    auto a = Make(1);
    auto asker = Make(9);
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    lan.log.clear();
    lan.Post(LanPacket{lan.now, asker->transport.address(), 1137, FakeLan::kBroadcast, kNamePort,
                       BuildQueryRequest(77, Name("CHRONVKMASTER"))});
    lan.Post(LanPacket{lan.now, asker->transport.address(), 1137, FakeLan::kBroadcast, kNamePort,
                       BuildQueryRequest(78, Name("SOMEONEELSE"))});
    lan.Pump(0);
    const auto sent = lan.Sent(1137);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to, asker->transport.address());
    const auto answer = ParseNamePacket(sent[0].bytes);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->response);
    EXPECT_EQ(answer->opcode, kOpQuery);
    EXPECT_EQ(answer->transactionId, 77);
    EXPECT_EQ(answer->name, Name("CHRONVKMASTER"));
    EXPECT_EQ(answer->address, a->transport.address());
    EXPECT_FALSE(answer->group);
}

TEST_F(NbtNodeTest, DeletedNameIsReleasedAndFreeForOthers) {
    auto a = Make(1);
    auto b = Make(2);
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    const uint8_t number = a->block.ncb_num;
    lan.log.clear();
    ASSERT_EQ(a->Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kGoodReturn);
    EXPECT_EQ(a->block.ncb_num, number);
    const auto packets = NamePackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].opcode, kOpRelease);
    EXPECT_EQ(packets[0].name, Name("CHRONVKMASTER"));
    EXPECT_EQ(packets[0].address, a->transport.address());
    EXPECT_EQ(a->Run(nb::kCmdDeleteName, "CHRONVKMASTER"), nb::kNameNotFound);
    EXPECT_EQ(b->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
}

TEST_F(NbtNodeTest, DatagramGoesFromTheLocalNameToTheGroupMembers) {
    auto sender = Make(1);
    auto member = Make(2);
    auto stranger = Make(3);
    ASSERT_EQ(sender->Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    ASSERT_EQ(sender->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    const uint8_t number = sender->block.ncb_num;
    ASSERT_EQ(member->Run(nb::kCmdAddGroupName, "CHRONVK"), nb::kGoodReturn);
    ASSERT_EQ(stranger->Run(nb::kCmdAddGroupName, "OTHERS"), nb::kGoodReturn);
    std::vector<ReceivedDatagram> atMember;
    std::vector<uint8_t> payload;
    member->node.OnDatagram([&](const ReceivedDatagram& d) {
        atMember.push_back(d);
        payload.assign(d.packet.data.begin(), d.packet.data.end());
    });
    int atStranger = 0;
    stranger->node.OnDatagram([&](const ReceivedDatagram&) { ++atStranger; });

    std::vector<uint8_t> record(117);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(3 * i);
    EXPECT_EQ(sender->Send(number, "CHRONVK", record), nb::kGoodReturn);
    EXPECT_EQ(sender->send.ncb_cmd_cplt, nb::kGoodReturn);
    record.assign(117, 0);  // the caller's buffer is free once the send completed
    lan.Pump(0);

    const auto sent = lan.Sent(kDatagramPort);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to, FakeLan::kBroadcast);
    const auto d = ParseDatagram(sent[0].bytes);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->type, kDirectGroup);
    EXPECT_EQ(d->source, Name("CHRONVKMASTER"));
    EXPECT_EQ(d->destination, Name("CHRONVK"));
    EXPECT_EQ(d->sourceAddress, sender->transport.address());
    ASSERT_EQ(atMember.size(), 1u);
    EXPECT_EQ(atMember[0].fromAddress, sender->transport.address());
    ASSERT_EQ(payload.size(), 117u);
    EXPECT_EQ(payload[116], static_cast<uint8_t>(3 * 116));
    EXPECT_EQ(atStranger, 0);
}

TEST_F(NbtNodeTest, SendStaysPendingUntilTheKernelTakesIt) {
    auto a = Make(1);
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    const uint8_t number = a->block.ncb_num;
    a->transport.full = true;
    std::vector<uint8_t> record(117, 1);
    EXPECT_EQ(a->Send(number, "CHRONVK", record), nb::kGoodReturn);
    EXPECT_EQ(nb::CompletionOf(a->send), nb::kPending);
    EXPECT_TRUE(lan.Sent(kDatagramPort).empty());
    a->transport.full = false;
    a->node.Writable(0);
    EXPECT_EQ(nb::CompletionOf(a->send), nb::kGoodReturn);
    EXPECT_EQ(lan.Sent(kDatagramPort).size(), 1u);
}

TEST_F(NbtNodeTest, ResetCancelsAPendingSendAndForgetsTheNames) {
    auto a = Make(1);
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    const uint8_t number = a->block.ncb_num;
    a->transport.full = true;
    std::vector<uint8_t> record(117, 1);
    a->Send(number, "CHRONVK", record);
    EXPECT_EQ(a->Run(nb::kCmdReset), nb::kGoodReturn);
    EXPECT_EQ(a->send.ncb_cmd_cplt, nb::kCommandCancelled);
    EXPECT_EQ(a->Send(number, "CHRONVK", record), nb::kIllegalNameNumber);
}

TEST_F(NbtNodeTest, BadSendsAreRefusedAtOnce) {
    auto a = Make(1);
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    std::vector<uint8_t> tooLong(513);
    EXPECT_EQ(a->Send(a->block.ncb_num, "CHRONVK", tooLong), nb::kBufferLength);
    std::vector<uint8_t> record(117);
    EXPECT_EQ(a->Send(99, "CHRONVK", record), nb::kIllegalNameNumber);
    EXPECT_EQ(a->send.ncb_cmd_cplt, nb::kIllegalNameNumber);
    EXPECT_TRUE(lan.Sent(kDatagramPort).empty());
}

TEST_F(NbtNodeTest, MalformedPacketsAreReportedAndNeverAnswered) {
    auto a = Make(1);
    ASSERT_EQ(a->Run(nb::kCmdAddName, "CHRONVKMASTER"), nb::kGoodReturn);
    std::vector<std::pair<Service, uint32_t>> reported;
    a->node.OnMalformed([&](Service s, uint32_t from) { reported.emplace_back(s, from); });
    lan.log.clear();
    auto query = BuildQueryRequest(5, Name("CHRONVKMASTER"));
    query.pop_back();
    lan.Post(LanPacket{lan.now, 0x0A4D0009, 137, FakeLan::kBroadcast, kNamePort, query});
    lan.Post(LanPacket{lan.now, 0x0A4D0009, 138, FakeLan::kBroadcast, kDatagramPort, {0x11, 0x02}});
    lan.Pump(0);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0].first, Service::Name);
    EXPECT_EQ(reported[1].first, Service::Datagram);
    EXPECT_EQ(reported[1].second, 0x0A4D0009u);
    EXPECT_EQ(lan.log.size(), 2u) << "nothing was answered";
}

}  // namespace
}  // namespace nbt
