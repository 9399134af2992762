// The program's NetBIOS on Linux, for the event loop that serves it: the
// descriptors it lists are polled with the loop's others, and the ready ones
// handed back. It has no timers of its own.
#pragma once

#include "network/posix/udp_transport.h"

nbt::UdpTransport& SystemNbtTransport();
