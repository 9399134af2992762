// The window thread's side of the sampler on POSIX: the sampling thread posts
// (level, stamp) into a non-blocking pipe, and the loop's owner dispatches them
// one at a time, as the Windows message loop does with the edge message.
#pragma once

#include <cstdint>

#include "input/live_receiver.h"
#include "input/port_primitives.h"

class EdgeEventLoop {
public:
    EdgeEventLoop();
    ~EdgeEventLoop();
    EdgeEventLoop(const EdgeEventLoop&) = delete;
    EdgeEventLoop& operator=(const EdgeEventLoop&) = delete;

    bool Ok() const { return readFd_ >= 0; }
    // What OpenPort is given as the window.
    NotifyWindow Window() { return this; }
    // Descriptor that becomes readable when edges wait, for owners that poll more.
    int ReadFd() const { return readFd_; }

    // Sampling thread. Never waits: an edge that does not fit is dropped.
    bool Post(uint8_t level, uint32_t stamp);

    // Waits up to timeoutMs (-1: no limit) for edges and hands each waiting one
    // to the handler, in order. Returns the number handled, or -1 when the wait
    // was interrupted by a signal or failed.
    int Dispatch(int timeoutMs, EdgeHandler& handler);

private:
    int readFd_ = -1;
    int writeFd_ = -1;
};
