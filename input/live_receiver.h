// Live reception for tools: the real sampler on a port, its edges handed to a
// handler on the calling thread (the tool's window thread) until interrupted.
#pragma once

#include <cstdint>

class EdgeHandler {
public:
    virtual ~EdgeHandler() = default;
    // `stamp` is the multimedia clock value read as signed, as reception takes it.
    virtual void OnEdge(uint8_t level, int32_t stamp) = 0;
    // An edge the port reported at its own instant (event mode), on the edge
    // clock; handlers that need no more than the stamp take it as OnEdge.
    virtual void OnEdgeAt(uint8_t level, int32_t stamp, int64_t /*instantNs*/) { OnEdge(level, stamp); }
};

enum class LiveResult : uint8_t {
    Interrupted,  // Ctrl-C or StopLiveReception; the port was closed cleanly
    OpenFailed,   // the port could not be opened
    Failed,       // the event loop could not be set up or failed
};

// Opens `portCode` through OpenPort (device mapping and "SIM" included) and
// dispatches edges until Ctrl-C; then ClosePort, which lowers DTR.
LiveResult ReceiveLive(int32_t portCode, EdgeHandler& handler);

// Ends ReceiveLive as Ctrl-C does; safe from a signal handler or another thread.
void StopLiveReception();
