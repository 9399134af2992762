#include <signal.h>

#include <atomic>

#include "input/live_receiver.h"
#include "input/port_sampler.h"
#include "input/posix/edge_event_loop.h"

namespace {

// Set from a signal handler or another thread; read by the dispatching thread.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

extern "C" void OnStopSignal(int) { stopRequested = true; }

// Installs the stop handler for the reception's lifetime, without SA_RESTART so
// that a waiting poll returns at once.
class StopSignals {
public:
    StopSignals() {
        struct sigaction action{};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt_{};
    struct sigaction oldTerm_{};
};

}  // namespace

void StopLiveReception() { stopRequested = true; }

LiveResult ReceiveLive(int32_t portCode, EdgeHandler& handler) {
    EdgeEventLoop loop;
    if (!loop.Ok()) return LiveResult::Failed;
    stopRequested = false;
    StopSignals signals;
    if (!OpenPort(loop, portCode)) {
        ClosePort();  // a device may be open without its timer
        return LiveResult::OpenFailed;
    }
    // A bounded wait, so a signal that reached the sampling thread is seen too;
    // a wait cut short by any other signal simply goes round again.
    while (!stopRequested.load()) loop.Dispatch(250, handler);
    ClosePort();
    return LiveResult::Interrupted;
}
