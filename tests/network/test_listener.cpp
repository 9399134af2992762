// chronvk-listen's counting, over the in-memory network.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reception/dcf_state.h"
#include "tests/network/fake_lan.h"
#include "tools/listen/listener.h"

namespace nbt {
namespace {

// Records that wait together are read in one go; --count 2 still prints two.
TEST(Listener, CountEndsThePrintingEvenWithinOneRead) {
    FakeLan lan;
    FakeTransport transport(lan, 0x0A4D0003);
    std::vector<std::string> lines;
    Listener listener(transport, 1, ListenOptions{2, false},
                      [&](const std::string& line) { lines.push_back(line); });
    ASSERT_EQ(listener.Run(nb::kCmdAddGroupName), nb::kGoodReturn);
    const std::vector<uint8_t> record(sizeof(TDcfState));
    for (uint16_t id = 1; id <= 3; ++id) {
        lan.Post({0, 0x0A4D0001, kDatagramPort, FakeLan::kBroadcast, kDatagramPort,
                  BuildDirectGroupDatagram(id, 0x0A4D0001, kDatagramPort, Name("CHRONVKMASTER"),
                                           Name("CHRONVK"), record)});
    }
    lan.Pump(0);
    EXPECT_TRUE(listener.Done());
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("CHRONVKMASTER 10.77.0.1: ", 0), 0u) << line;
}

}  // namespace
}  // namespace nbt
