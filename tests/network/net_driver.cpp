// A stand-in for the program on one host of the end-to-end network test: it
// registers the names through the real Linux NetBIOS layer, then, like the
// running program, broadcasts the record once a second. A line on stdin
// deletes the names (it keeps ticking); the end of input deletes them and
// exits. Every step is announced on stdout for the script.
//
//   chronvk_net_driver PORTCODE
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "network/network.h"
#include "network/posix/system_netbios.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: chronvk_net_driver PORTCODE\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    dcfPtr = &ownDcfState;
    dcfPtr->portCode = static_cast<int16_t>(std::atoi(argv[1]));
    dcfPtr->cycleMinutes = 10;

    RegisterNetworkNames();
    std::printf("registered group=%d master=%d\n", groupNameNumber, masterNameNumber);

    using Clock = std::chrono::steady_clock;
    auto nextTick = Clock::now() + std::chrono::seconds(1);
    for (uint32_t tick = 1;;) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now());
        std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}};
        SystemNbtTransport().AppendPollFds(fds);
        poll(fds.data(), fds.size(), wait.count() > 0 ? static_cast<int>(wait.count()) : 0);
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents != 0) SystemNbtTransport().Dispatch(fds[i]);
        }
        if (fds[0].revents != 0) {
            char line[256];
            const ssize_t got = read(STDIN_FILENO, line, sizeof line);
            DeleteNetworkNames();
            if (got <= 0) return 0;
            std::printf("released\n");
        }
        if (Clock::now() >= nextTick) {
            nextTick += std::chrono::seconds(1);
            dcfPtr->telegramCount = tick;
            dcfPtr->bitsChanged = 1;
            BroadcastState();
            std::printf("tick %u\n", tick++);
        }
    }
}
