#include <signal.h>

#include <atomic>

#include "eventloop/posix/event_loop.h"
#include "input/live_receiver.h"
#include "input/port_sampler.h"

namespace {

// Set from a signal handler or another thread; read by the dispatching thread.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

}  // namespace

void StopLiveReception() { stopRequested = true; }

LiveResult ReceiveLive(int32_t portCode, EdgeHandler& handler) {
    EventLoop loop;
    if (!loop.Ok()) return LiveResult::Failed;
    stopRequested = false;
    if (!loop.WatchSignals({SIGINT, SIGTERM}, [](int) { stopRequested = true; })) return LiveResult::Failed;
    loop.SetEdgeHandler(&handler);
    if (!OpenPort(loop, portCode)) {
        ClosePort();  // a device may be open without its timer
        return LiveResult::OpenFailed;
    }
    // A bounded wait, so a stop asked for from another thread is seen too.
    while (!stopRequested.load()) loop.RunOnce(250);
    ClosePort();
    return LiveResult::Interrupted;
}
