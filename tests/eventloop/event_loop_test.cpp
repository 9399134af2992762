// The loop a message box runs nested: what arrives while it waits is handed
// out in the order it arrived, the box's own loop included.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <string>
#include <vector>

#include "eventloop/posix/event_loop.h"
#include "network/posix/udp_transport.h"
#include "tests/support/fake_clock.h"

namespace {

class Recorder final : public EdgeHandler {
public:
    explicit Recorder(std::vector<std::string>& log) : log_(log) {}
    void OnEdge(uint8_t, int32_t stamp) override {
        log_.push_back("edge " + std::to_string(stamp));
        if (box) box(stamp);
    }
    void OnEdgeAt(uint8_t level, int32_t stamp, int64_t instantNs) override {
        log_.push_back("at " + std::to_string(instantNs));
        OnEdge(level, stamp);
    }
    std::function<void(int32_t)> box;

private:
    std::vector<std::string>& log_;
};

TEST(EventLoop, EdgesADatagramAndATickDuringANestedBoxArriveInOrder) {
    FakeMillisecondClock clock(0xFFFFFF00u);  // the first tick falls due across the wrap
    EventLoop loop(clock);
    std::vector<std::string> log;
    Recorder edges(log);
    loop.SetEdgeHandler(&edges);

    nbt::UniqueFd socket_(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0));
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof self;
    ASSERT_EQ(bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&self), sizeof self), 0);
    ASSERT_EQ(getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&self), &length), 0);
    loop.AddSource({[&](std::vector<pollfd>& fds) { fds.push_back({socket_.Get(), POLLIN, 0}); },
                    [&](const pollfd& ready) {
                        nbt::ReadSome(ready.fd, [&](uint32_t, uint16_t, std::span<const uint8_t> p) {
                            log.push_back("datagram " + std::to_string(p[0]));
                        });
                    }});
    loop.StartTimer(7, 1000, [&] { log.push_back("tick"); });

    ASSERT_TRUE(loop.PostEdge(1, 1));
    ASSERT_TRUE(loop.PostEdgeAt(1, 2, -123456789012));  // an edge with its own instant
    edges.box = [&](int32_t stamp) {
        if (stamp != 1) return;
        // A box opens in the handler of edge 1; meanwhile edge 3, a datagram
        // and the timer's second come in.
        ASSERT_TRUE(loop.PostEdge(0, 3));
        const uint8_t packet[] = {42};
        ASSERT_EQ(sendto(socket_.Get(), packet, 1, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self), 1);
        clock.Advance(1000);
        while (log.size() < 6) ASSERT_GE(loop.RunOnce(1000), 0);
        log.push_back("box closed");
    };
    ASSERT_GT(loop.RunOnce(0), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"edge 1", "at -123456789012", "edge 2", "edge 3", "datagram 42", "tick", "box closed"}));

    // No second tick before another period; posted work runs from the loop, not the caller.
    bool posted = false;
    loop.Post([&] { posted = true; });
    EXPECT_FALSE(posted);
    loop.RunOnce(0);
    EXPECT_TRUE(posted);
    EXPECT_EQ(std::count(log.begin(), log.end(), "tick"), 1);
    clock.Advance(1000);
    loop.RunOnce(0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "tick"), 2);
}

TEST(EventLoop, ASignalIsHandledFromTheLoopNotInsideTheHandler) {
    EventLoop loop;
    int seen = 0;
    ASSERT_TRUE(loop.WatchSignals({SIGHUP}, [&](int number) { seen = number; }));
    raise(SIGHUP);
    EXPECT_EQ(seen, 0);
    loop.RunUntil([&] { return seen != 0; });
    EXPECT_EQ(seen, SIGHUP);
}

}  // namespace
