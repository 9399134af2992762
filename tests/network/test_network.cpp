// Registration, broadcast and clean-up over a scripted NetBIOS driver.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "network/network.h"
#include "tests/support/scripted_netbios.h"

namespace {

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override { Use(driver); }
    void TearDown() override { UseNetbiosDriver(nullptr); }

    // The program-start globals, with `netbios` as the driver.
    static void Use(ScriptedNetbios& netbios) {
        netBlock = nb::NCB{};
        groupNameNumber = masterNameNumber = 0;
        dcfPtr = &ownDcfState;
        UseNetbiosDriver(&netbios);
    }

    ScriptedNetbios driver;
};

// Names are space-padded; a refused name stops what depends on it. (The
// stuck-send case below runs the whole life on the second adapter.)
TEST_F(NetworkTest, CallsOfADialogsLife) {
    constexpr uint8_t kOk = nb::kGoodReturn, kInUse = nb::kNameInUse;
    // `start`: groupNameNumber before the set-up; -1 is what "0 N" or "1 N" on
    // the command line leaves, and means no call at all, not even the probe.
    const struct { int adapter; uint8_t group, unique; int32_t start; const char* trace; } cases[] = {
        {0, kOk, kOk, 0, "probe0 reset0 group0:CHRONVK add0:CHRONVKMASTER / send0:CHRONVK / "
                         "delete0:CHRONVK delete0:CHRONVKMASTER"},
        {-1, kOk, kOk, 0, "probe0 probe1 / /"},
        {0, kInUse, kOk, 0, "probe0 reset0 group0:CHRONVK / /"},  // nothing sent or deleted
        // The group is kept until clean-up; nothing is sent.
        {0, kOk, kInUse, 0, "probe0 reset0 group0:CHRONVK add0:CHRONVKMASTER / / delete0:CHRONVK"},
        {0, kOk, kOk, -1, "/ /"},
    };
    for (const auto& c : cases) {
        ScriptedNetbios netbios(c.adapter, c.group, c.unique);
        Use(netbios);
        groupNameNumber = c.start;
        // The dialog's life, its phases marked "/": set-up, broadcast, clean-up.
        RegisterNetworkNames();
        netbios.Trace("/");
        BroadcastState();
        netbios.Trace("/");
        DeleteNetworkNames();
        EXPECT_EQ(netbios.trace, c.trace);
    }
}

// The whole record goes out of datagramBuffer through netBlock, from the
// unique name (its byte layout is the record's own, checked with it).
// NetBIOS cannot cancel a send: while one is pending, netBlock and
// datagramBuffer stay as the driver has them, through broadcasts and clean-up.
TEST_F(NetworkTest, SendPendingForeverKeepsBlockAndBuffer) {
    driver.presentAdapter = 1;
    driver.sendMs = ScriptedNetbios::kNever;
    RegisterNetworkNames();
    dcfPtr->cycleMinutes = -30;  // the record's last byte is not zero: all 117 must go
    BroadcastState();
    EXPECT_TRUE(netBlock.ncb_buffer == datagramBuffer && netBlock.ncb_num == masterNameNumber);
    const auto* record = reinterpret_cast<const uint8_t*>(dcfPtr);
    const std::vector<uint8_t> inFlight(record, record + sizeof *dcfPtr);
    ASSERT_EQ(driver.payloads, std::vector<std::vector<uint8_t>>{inFlight});
    const nb::NCB blockInFlight = netBlock;

    dcfPtr->telegramCount = 2;
    BroadcastState();
    uint8_t other[117] = {};
    EXPECT_EQ(NetSendDatagram(kGroupName, masterNameNumber, other, sizeof other), SendCode::Skipped);
    DeleteNetworkNames();

    EXPECT_EQ(driver.trace, "probe0 probe1 reset1 group1:CHRONVK add1:CHRONVKMASTER send1:CHRONVK "
                            "delete1:CHRONVK delete1:CHRONVKMASTER");
    EXPECT_LE(driver.nowMs, 1000u) << "clean-up must not wait long for a stuck send";
    // Deleting through netBlock would have changed it.
    EXPECT_EQ(std::memcmp(&netBlock, &blockInFlight, sizeof netBlock), 0);
    EXPECT_EQ(std::memcmp(datagramBuffer, inFlight.data(), inFlight.size()), 0);
}

TEST_F(NetworkTest, CleanUpWaitsBrieflyForASendThatCompletes) {
    driver.sendMs = 300;
    RegisterNetworkNames();
    BroadcastState();
    DeleteNetworkNames();
    EXPECT_EQ(netBlock.ncb_command, nb::kCmdDeleteName);  // the names went through netBlock
    EXPECT_LT(driver.nowMs, 400u);
}

}  // namespace
