#include <signal.h>

#include <atomic>

#include "input/live_receiver.h"
#include "input/port_sampler.h"
#include "input/posix/edge_event_loop.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int) { stopRequested = 1; }

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

void StopLiveReception() { stopRequested = 1; }

LiveResult ReceiveLive(int32_t portCode, EdgeHandler& handler) {
    EdgeEventLoop loop;
    if (!loop.Ok()) return LiveResult::Failed;
    stopRequested = 0;
    StopSignals signals;
    if (!OpenPort(loop.Window(), portCode)) {
        ClosePort();  // a device may be open without its timer
        return LiveResult::OpenFailed;
    }
    // A bounded wait, so a signal that reached the sampling thread is seen too;
    // a wait cut short by any other signal simply goes round again.
    while (stopRequested == 0) loop.Dispatch(250, handler);
    ClosePort();
    return LiveResult::Interrupted;
}
