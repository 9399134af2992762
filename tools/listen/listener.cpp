#include "tools/listen/listener.h"

#include <cstring>
#include <span>
#include <string_view>

#include "network/network.h"
#include "reception/display_texts.h"

namespace {

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
        if (flag.value == 1) continue;
        text += '=';
        text += std::to_string(flag.value);
    }
    return text.empty() ? "-" : text;
}

}  // namespace

std::string DottedQuad(uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += std::to_string(address >> shift & 0xFF);
    }
    return text;
}

Listener::Listener(nbt::Transport& transport, uint16_t firstId, ListenOptions options, Emit emit)
    : options_(options), emit_(std::move(emit)), node_(transport, firstId) {
    node_.OnDatagram([this](const nbt::ReceivedDatagram& d) { Print(d); });
    node_.OnMalformed([this](nbt::Service service, uint32_t from) {
        if (service == nbt::Service::Datagram && !Done()) {
            emit_(DottedQuad(from) + ": malformed datagram, skipped");
        }
    });
}

uint8_t Listener::Run(uint8_t command) {
    block_.ncb_command = command;
    PadNetbiosName(kGroupName, block_.ncb_name);
    return node_.Netbios(&block_);
}

void Listener::Print(const nbt::ReceivedDatagram& d) {
    // Several datagrams can arrive in one read of the socket: once the count
    // is reached, the rest are not ours to print.
    if (Done()) return;
    const std::string sender = nbt::DisplayName(d.packet.source) + " " + DottedQuad(d.fromAddress);
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
    emit_(line);
}

