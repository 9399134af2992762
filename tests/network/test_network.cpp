// Registration, broadcast and clean-up over a scripted NetBIOS driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "network/network.h"
#include "tests/support/scripted_netbios.h"

namespace {

std::string Padded(const char* name) {
    std::string text(name);
    text.resize(16, ' ');
    return text;
}

std::string AsText(const std::array<uint8_t, 16>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        netBlock = nb::NCB{};
        groupNameNumber = 0;
        masterNameNumber = 0;
        std::memset(datagramBuffer, 0, sizeof datagramBuffer);
        ownDcfState = TDcfState{};
        dcfPtr = &ownDcfState;
        UseNetbiosDriver(&driver);
    }
    void TearDown() override { UseNetbiosDriver(nullptr); }

    // Registers both names and forgets the calls that took.
    void BecomeSender() {
        RegisterNetworkNames();
        ASSERT_NE(masterNameNumber, 0);
        driver.calls.clear();
    }

    ScriptedNetbios driver;
};

TEST_F(NetworkTest, SwitchedOffByCommandLineMakesNoCallAtAll) {
    groupNameNumber = -1;  // what a second argument "N" leaves behind
    RegisterNetworkNames();
    EXPECT_EQ(groupNameNumber, 0);
    EXPECT_EQ(masterNameNumber, 0);
    dcfPtr->bitsChanged = 1;
    BroadcastState();
    DeleteNetworkNames();
    EXPECT_TRUE(driver.calls.empty());
}

struct AdapterCase {
    int presentAdapter;
    std::vector<uint8_t> probedLanas;
    bool registered;
};

class AdapterProbe : public NetworkTest, public ::testing::WithParamInterface<AdapterCase> {};

TEST_P(AdapterProbe, EveryLaterCommandGoesToTheAdapterFound) {
    const AdapterCase& c = GetParam();
    driver.presentAdapter = c.presentAdapter;
    RegisterNetworkNames();
    dcfPtr->statusChanged = 1;
    BroadcastState();
    DeleteNetworkNames();

    const auto probes = driver.CallsOf(nb::kCmdProbe);
    ASSERT_EQ(probes.size(), c.probedLanas.size());
    for (std::size_t i = 0; i < probes.size(); ++i) EXPECT_EQ(probes[i].lana, c.probedLanas[i]);
    EXPECT_EQ(probes.size() + (c.registered ? 6u : 0u), driver.calls.size());
    for (const auto& call : driver.calls) {
        if (call.command == nb::kCmdProbe) continue;
        EXPECT_EQ(call.lana, c.presentAdapter) << "command " << int(call.command);
    }
    if (c.registered) {
        const uint8_t expected[] = {nb::kCmdReset, nb::kCmdAddGroupName, nb::kCmdAddName,
                                    nb::kCmdDatagramSend | nb::kAsynch, nb::kCmdDeleteName,
                                    nb::kCmdDeleteName};
        for (std::size_t i = 0; i < std::size(expected); ++i) {
            EXPECT_EQ(driver.calls[probes.size() + i].command, expected[i]) << i;
        }
    } else {
        EXPECT_EQ(groupNameNumber, 0);
        EXPECT_EQ(masterNameNumber, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Adapters, AdapterProbe,
                         ::testing::Values(AdapterCase{0, {0}, true}, AdapterCase{1, {0, 1}, true},
                                           AdapterCase{-1, {0, 1}, false}));

TEST_F(NetworkTest, NamesAreSpacePaddedToSixteenBytes) {
    RegisterNetworkNames();
    EXPECT_EQ(AsText(driver.CallsOf(nb::kCmdAddGroupName).at(0).name), "CHRONVK         ");
    EXPECT_EQ(AsText(driver.CallsOf(nb::kCmdAddName).at(0).name), "CHRONVKMASTER   ");
    uint8_t cut[16];
    PadNetbiosName("ABCDEFGHIJKLMNOPQRSTUVWXYZ", cut);
    EXPECT_EQ(std::string(cut, cut + 16), "ABCDEFGHIJKLMNOP");
}

TEST_F(NetworkTest, RefusedGroupNameLeavesTheMachineSilent) {
    driver.groupResult = nb::kNameInUse;
    RegisterNetworkNames();
    EXPECT_EQ(groupNameNumber, 0);
    EXPECT_EQ(masterNameNumber, 0);
    EXPECT_TRUE(driver.CallsOf(nb::kCmdAddName).empty());
    dcfPtr->bitsChanged = 1;
    BroadcastState();
    DeleteNetworkNames();
    EXPECT_TRUE(driver.CallsOf(nb::kCmdDatagramSend | nb::kAsynch).empty());
    EXPECT_TRUE(driver.CallsOf(nb::kCmdDeleteName).empty());
}

TEST_F(NetworkTest, RefusedUniqueNameKeepsTheGroupUntilCleanUpAndSendsNothing) {
    driver.uniqueResult = nb::kNameInUse;
    RegisterNetworkNames();
    EXPECT_NE(groupNameNumber, 0);
    EXPECT_EQ(masterNameNumber, 0);
    dcfPtr->bitsChanged = 1;
    BroadcastState();
    EXPECT_TRUE(driver.CallsOf(nb::kCmdDatagramSend | nb::kAsynch).empty());
    DeleteNetworkNames();
    const auto deleted = driver.CallsOf(nb::kCmdDeleteName);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(AsText(deleted[0].name), Padded("CHRONVK"));
}

TEST_F(NetworkTest, BroadcastSendsTheWholeRecordFromTheUniqueNameToTheGroup) {
    BecomeSender();
    dcfPtr->bitsChanged = 1;
    dcfPtr->statusChanged = 1;
    dcfPtr->confirmFlagPtr = 0x12345678;
    dcfPtr->portCode = 0x0102;
    dcfPtr->cycleMinutes = -2;
    dcfPtr->telegramCount = 77;
    BroadcastState();

    const auto sends = driver.CallsOf(nb::kCmdDatagramSend | nb::kAsynch);
    ASSERT_EQ(sends.size(), 1u);
    const auto& payload = sends[0].payload;
    ASSERT_EQ(payload.size(), 117u);
    EXPECT_EQ(std::memcmp(payload.data(), dcfPtr, 117), 0);
    EXPECT_EQ(payload[113], 0x02);
    EXPECT_EQ(payload[114], 0x01);
    EXPECT_EQ(payload[115], 0xFE);
    EXPECT_EQ(payload[116], 0xFF);
    EXPECT_EQ(payload[10], 1);
    EXPECT_EQ(payload[11], 1);
    EXPECT_EQ(sends[0].block, &netBlock);
    EXPECT_EQ(netBlock.ncb_buffer, datagramBuffer);
    EXPECT_EQ(sends[0].number, masterNameNumber);
    EXPECT_EQ(AsText(sends[0].callname), Padded("CHRONVK"));
}

TEST_F(NetworkTest, BroadcastWhileASendIsPendingIsDroppedAndLeavesTheBufferAlone) {
    BecomeSender();
    driver.sendCompletion = ScriptedNetbios::SendCompletion::Never;
    dcfPtr->telegramCount = 1;
    BroadcastState();
    uint8_t inFlight[117];
    std::memcpy(inFlight, datagramBuffer, sizeof inFlight);
    const nb::NCB blockInFlight = netBlock;

    dcfPtr->telegramCount = 2;
    BroadcastState();
    EXPECT_EQ(driver.calls.size(), 1u);
    EXPECT_EQ(std::memcmp(datagramBuffer, inFlight, sizeof inFlight), 0);
    EXPECT_EQ(std::memcmp(&netBlock, &blockInFlight, sizeof netBlock), 0);

    uint8_t other[117] = {};
    EXPECT_EQ(NetSendDatagram(kGroupName, masterNameNumber, other, sizeof other), kSendSkipped);
    EXPECT_EQ(driver.calls.size(), 1u);
}

TEST_F(NetworkTest, CompletedSendFreesTheBlockForTheNextBroadcast) {
    BecomeSender();
    for (uint32_t n = 1; n <= 3; ++n) {
        dcfPtr->telegramCount = n;
        BroadcastState();
    }
    const auto sends = driver.CallsOf(nb::kCmdDatagramSend | nb::kAsynch);
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(sends[2].payload[28], 3);
}

TEST_F(NetworkTest, CleanUpDeletesThroughItsOwnBlockWhileASendNeverCompletes) {
    BecomeSender();
    driver.presentAdapter = 1;  // the lana is carried over, whatever it is
    netBlock.ncb_lana_num = 1;
    driver.sendCompletion = ScriptedNetbios::SendCompletion::Never;
    BroadcastState();
    const nb::NCB blockInFlight = netBlock;
    uint8_t inFlight[117];
    std::memcpy(inFlight, datagramBuffer, sizeof inFlight);

    DeleteNetworkNames();

    const auto deleted = driver.CallsOf(nb::kCmdDeleteName);
    ASSERT_EQ(deleted.size(), 2u);
    EXPECT_EQ(AsText(deleted[0].name), Padded("CHRONVK"));
    EXPECT_EQ(AsText(deleted[1].name), Padded("CHRONVKMASTER"));
    for (const auto& call : deleted) {
        EXPECT_NE(call.block, &netBlock);
        EXPECT_EQ(call.lana, 1);
    }
    EXPECT_EQ(std::memcmp(&netBlock, &blockInFlight, sizeof netBlock), 0);
    EXPECT_EQ(std::memcmp(datagramBuffer, inFlight, sizeof inFlight), 0);
    EXPECT_LE(driver.nowMs, 1000u) << "clean-up must not wait long for a stuck send";
    EXPECT_EQ(masterNameNumber, 0);
    EXPECT_EQ(groupNameNumber, 0);
}

TEST_F(NetworkTest, CleanUpWaitsBrieflyForASendThatCompletes) {
    BecomeSender();
    driver.sendCompletion = ScriptedNetbios::SendCompletion::AfterDelay;
    driver.sendDelayMs = 300;
    BroadcastState();
    ASSERT_EQ(nb::CompletionOf(netBlock), nb::kPending);

    DeleteNetworkNames();

    const auto deleted = driver.CallsOf(nb::kCmdDeleteName);
    ASSERT_EQ(deleted.size(), 2u);
    for (const auto& call : deleted) EXPECT_EQ(call.block, &netBlock);
    EXPECT_GE(driver.nowMs, 300u);
    EXPECT_LT(driver.nowMs, 400u);
}

}  // namespace
