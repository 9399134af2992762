// chronvk-listen: joins the group name "CHRONVK" and prints every state
// datagram sent to it, decoded with the program's own text builders, so that
// people can see on the network what the sending receiver sees.
//
//   chronvk-listen [--interface IF] [--count N] [--raw]
//
// Needs root or CAP_NET_BIND_SERVICE (NetBIOS ports 137 and 138).
#include <arpa/inet.h>
#include <poll.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/nbt_node.h"
#include "network/posix/udp_transport.h"
#include "reception/display_texts.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

struct Options {
    std::string interface;
    long count = 0;  // 0: run until interrupted
    bool raw = false;
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
            options.raw = true;
        } else if (arg == "--interface" && i + 1 < argc) {
            options.interface = argv[++i];
        } else if (arg == "--count" && i + 1 < argc) {
            char* end = nullptr;
            options.count = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || options.count <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::string Dotted(uint32_t address) {
    in_addr in{};
    in.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

std::string Hex(std::span<const uint8_t> bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

// The record's flag bytes that are set, by name.
std::string SetFlags(const TDcfState& s) {
    const struct {
        const char* name;
        uint8_t value;
    } flags[] = {{"polarity", s.polarity},     {"receptionTest", s.receptionTest},
                 {"setUtc", s.setUtc},         {"setRequest", s.setRequest},
                 {"serverEnabled", s.serverEnabled}, {"serverRequest", s.serverRequest},
                 {"logEnabled", s.logEnabled}, {"logRequest", s.logRequest},
                 {"autoEnd", s.autoEnd},       {"endRequest", s.endRequest},
                 {"statusChanged", s.statusChanged}, {"bitsChanged", s.bitsChanged}};
    std::string text;
    for (const auto& flag : flags) {
        if (flag.value == 0) continue;
        if (!text.empty()) text += ',';
        text += flag.name;
        if (flag.value != 1) text += "=" + std::to_string(flag.value);
    }
    return text.empty() ? "-" : text;
}

class Listener {
public:
    Listener(const Options& options, nbt::UdpTransport& transport)
        : options_(options), node_(transport, static_cast<uint16_t>(std::random_device{}())) {
        node_.OnDatagram([this](const nbt::ReceivedDatagram& d) { Print(d); });
        node_.OnMalformed([](nbt::Service service, uint32_t from) {
            if (service == nbt::Service::Datagram) {
                std::printf("%s: malformed datagram, skipped\n", Dotted(from).c_str());
            }
        });
    }

    uint8_t Run(uint8_t command) {
        block_.ncb_command = command;
        PadNetbiosName(kGroupName, block_.ncb_name);
        return node_.Netbios(&block_);
    }
    bool Done() const { return options_.count > 0 && records_ >= options_.count; }

private:
    void Print(const nbt::ReceivedDatagram& d) {
        const std::string sender = nbt::DisplayName(d.packet.source) + " " + Dotted(d.fromAddress);
        const auto payload = d.packet.data;
        std::string line;
        if (payload.size() != sizeof(TDcfState)) {
            line = sender + ": " + std::to_string(payload.size()) +
                   "-byte payload is not a receiver record, skipped";
        } else {
            TDcfState record;
            std::memcpy(&record, payload.data(), sizeof record);
            BuildStatusLines(record);
            line = sender + ": " + Trimmed(telegramLine.view()) + " | " +
                   Trimmed(statisticsLine.view()) + " | port " + std::to_string(record.portCode) +
                   " minutes " + std::to_string(record.cycleMinutes) + " flags " + SetFlags(record);
            ++records_;
        }
        if (options_.raw) line += " | " + Hex(payload);
        std::printf("%s\n", line.c_str());
    }

    const Options& options_;
    nbt::Node node_;
    nb::NCB block_{};
    long records_ = 0;
};

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
    Listener listener(options, transport);
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
                 transport.InterfaceName(0).c_str(), Dotted(transport.AdapterAddress(0)).c_str(),
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
