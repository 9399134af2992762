// The one seam between the network announcement and the operating system:
// the Netbios entry. Windows has it in netapi32; Linux gets a NetBIOS over
// UDP layer of our own; tests script it.
#pragma once

#include <cstdint>

#include "network/ncb.h"

class NetbiosDriver {
public:
    virtual ~NetbiosDriver() = default;
    // Runs the command in the block; returns its return code at once for an
    // asynchronous command, which then completes in ncb_cmd_cplt.
    virtual uint8_t Netbios(nb::NCB* block) = 0;
    // Lets commands in flight progress for about `ms` milliseconds. Never
    // dispatches window messages: the caller may be in the middle of a handler.
    virtual void Pause(uint32_t ms) = 0;
};

// The platform's NetBIOS.
NetbiosDriver& SystemNetbios();

// Routes every later command to `driver`; null goes back to the platform's.
void UseNetbiosDriver(NetbiosDriver* driver);
NetbiosDriver& CurrentNetbiosDriver();
