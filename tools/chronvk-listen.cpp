// chronvk-listen: joins the group name "CHRONVK" and prints every state
// datagram sent to it, decoded with the program's own text builders, so that
// people can see on the network what the sending receiver sees.
//
//   chronvk-listen [--interface IF] [--count N] [--raw]
//
// Needs root or CAP_NET_BIND_SERVICE (NetBIOS ports 137 and 138).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "eventloop/posix/event_loop.h"
#include "network/network.h"
#include "network/posix/udp_transport.h"
#include "tools/listen/listener.h"

namespace {

struct Options {
    std::string interface;
    ListenOptions printing;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: chronvk-listen [--interface IF] [--count N] [--raw]\n"
                 "  --interface IF  listen on IF (default: the first up IPv4 broadcast interface)\n"
                 "  --count N       exit after N received records\n"
                 "  --raw           add each payload in hex\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--raw") {
            options.printing.raw = true;
        } else if (arg == "--interface" && i + 1 < argc) {
            options.interface = argv[++i];
        } else if (arg == "--count" && i + 1 < argc) {
            char* end = nullptr;
            options.printing.count = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || options.printing.count <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    EventLoop loop;
    bool stopRequested = false;
    if (!loop.Ok() || !loop.WatchSignals({SIGINT, SIGTERM}, [&](int) { stopRequested = true; })) {
        std::perror("chronvk-listen: event loop");
        return 1;
    }
    nbt::UdpTransport transport(options.interface);
    Listener listener(transport, static_cast<uint16_t>(std::random_device{}()),
                              options.printing,
                              [](const std::string& line) { std::printf("%s\n", line.c_str()); });
    if (listener.Run(nb::kCmdProbe) != nb::kIllegalCommand) {
        std::fprintf(stderr, "chronvk-listen: no NetBIOS adapter: %s\n",
                     transport.FailureReason(0).c_str());
        return 1;
    }
    listener.Run(nb::kCmdReset);
    const uint8_t joined = listener.Run(nb::kCmdAddGroupName);
    if (joined != nb::kGoodReturn) {
        std::fprintf(stderr, "chronvk-listen: cannot join the group %s (code 0x%02x)\n",
                     kGroupName, joined);
        return 1;
    }
    std::fprintf(stderr, "chronvk-listen: listening on %s %s as a member of %s\n",
                 transport.InterfaceName(0).c_str(), DottedQuad(transport.AdapterAddress(0)).c_str(),
                 kGroupName);

    loop.AddSource({[&](std::vector<pollfd>& fds) { transport.AppendPollFds(fds); },
                    [&](const pollfd& ready) { transport.Dispatch(ready); }});
    loop.RunUntil([&] { return listener.Done() || stopRequested; });
    listener.Run(nb::kCmdDeleteName);
    return 0;
}
