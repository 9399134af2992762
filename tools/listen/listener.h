// chronvk-listen's work, apart from its sockets: joins the group name on
// adapter 0 of a transport and turns each datagram sent to the group into one
// line of text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "network/ncb.h"
#include "network/nbt_node.h"

struct ListenOptions {
    long count = 0;  // records to print before Done(); 0: no end
    bool raw = false;
};

class Listener {
public:
    using Emit = std::function<void(const std::string& line)>;

    Listener(nbt::Transport& transport, uint16_t firstId, ListenOptions options, Emit emit);

    // Runs `command` for the group name on adapter 0.
    uint8_t Run(uint8_t command);
    bool Done() const { return options_.count > 0 && records_ >= options_.count; }

private:
    void Print(const nbt::ReceivedDatagram& d);

    ListenOptions options_;
    Emit emit_;
    nbt::Node node_;
    nb::NCB block_{};
    long records_ = 0;
};

// 10.77.0.1 for 0x0A4D0001.
std::string DottedQuad(uint32_t address);

