// chronvk-listen: joins the group name "CHRONVK" and prints every state
// datagram sent to it, decoded with the program's own text builders, so that
// people can see on the network what the sending receiver sees.
//
//   chronvk-listen [--interface IF] [--count N] [--raw]
//
// Needs root or CAP_NET_BIND_SERVICE (NetBIOS ports 137 and 138).
#include <poll.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/posix/udp_transport.h"
#include "tools/listen/listener.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

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

    struct sigaction stop {};
    stop.sa_handler = RequestStop;  // no SA_RESTART: poll returns to look at the flag
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);

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

    std::vector<pollfd> fds;
    while (!listener.Done() && stopRequested == 0) {
        fds.clear();
        transport.AppendPollFds(fds);
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("chronvk-listen: poll");
            return 1;
        }
        for (const pollfd& fd : fds) {
            if (fd.revents != 0) transport.Dispatch(fd);
        }
    }
    listener.Run(nb::kCmdDeleteName);
    return 0;
}
