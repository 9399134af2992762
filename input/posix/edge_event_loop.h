// The window thread's side of the sampler on POSIX: the sampling thread posts
// (level, stamp) into a non-blocking pipe, and the loop's owner dispatches them
// one at a time, as the Windows message loop does with the edge message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/live_receiver.h"
#include "input/port_driver.h"

class EdgeEventLoop final : public EdgeSink {
public:
    EdgeEventLoop();
    ~EdgeEventLoop() override;
    EdgeEventLoop(const EdgeEventLoop&) = delete;
    EdgeEventLoop& operator=(const EdgeEventLoop&) = delete;

    bool Ok() const { return readFd_ >= 0; }
    // Descriptor that becomes readable when edges wait, for owners that poll more.
    int ReadFd() const { return readFd_; }

    // Sampling thread. Never waits: an edge that does not fit is dropped.
    bool PostEdge(uint8_t level, uint32_t stamp) override;

    // Waits up to timeoutMs (-1: no limit) for edges and hands each waiting one
    // to the handler, in order, also when a handler dispatches again from
    // inside (a message box does). Returns the number handled, or -1 when the
    // wait was interrupted by a signal or failed.
    int Dispatch(int timeoutMs, EdgeHandler& handler);

    // One edge in the pipe. Eight bytes, far below PIPE_BUF, so every write is
    // atomic and the pipe only ever holds whole records.
    struct Record {
        uint32_t stamp;
        uint8_t level;
        uint8_t unused[3];
    };

private:
    bool Refill();

    int readFd_ = -1;
    int writeFd_ = -1;
    // Read from the pipe but not yet handed out; any Dispatch, nested or not,
    // takes these before it reads the pipe again.
    Record batch_[64];
    size_t next_ = 0, end_ = 0;
};
