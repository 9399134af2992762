// The Linux programs' event loop: one poll() over the sampler's edge pipe,
// whatever descriptors its owner lists (sockets, the terminal), a self-pipe
// for signals, and window timers on the millisecond clock.
//
// A message box is a nested run of the same loop, as on Windows: handlers may
// call RunOnce from inside a handler, and events keep arriving in order. Edges
// read from the pipe but not yet handed out go first in any run, nested or not.
#pragma once

#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "input/live_receiver.h"
#include "input/port_driver.h"
#include "timebase/millisecond_clock.h"

class EventLoop final : public EdgeSink {
public:
    using Work = std::function<void()>;
    // Lists the descriptors to watch this round (the list may change every
    // round, e.g. POLLOUT while a send waits), and handles those marked ready.
    struct Source {
        std::function<void(std::vector<pollfd>&)> append;
        std::function<void(const pollfd&)> dispatch;
    };

    explicit EventLoop(MillisecondClock& clock = SystemMillisecondClock());
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    bool Ok() const { return edgeRead_ >= 0; }

    // Sampling thread. Never waits: an edge that does not fit is dropped.
    bool PostEdge(uint8_t level, uint32_t stamp) override;
    bool PostEdgeAt(uint8_t level, uint32_t stamp, int64_t instantNs) override;
    // On stderr, at once, from whichever thread says it.
    void Notice(std::string_view text) override;
    // Edges wait in the pipe while no handler is set.
    void SetEdgeHandler(EdgeHandler* handler) { edgeHandler_ = handler; }

    // Returns an id for RemoveSource.
    int AddSource(Source source);
    void RemoveSource(int id);

    // A periodic timer: `tick` runs once per round when `periodMs` have passed
    // since the last tick; a late tick is not made up for, as with WM_TIMER.
    // Starting an id that runs restarts it.
    void StartTimer(int id, uint32_t periodMs, Work tick);
    void StopTimer(int id);

    // Runs `work` from the loop's next round, never inside the caller.
    void Post(Work work);

    // Catches these signals for the loop's lifetime (one loop per program
    // does); `handler` runs from the loop, never inside the signal. Each
    // signal has one handler, the last one given for it.
    bool WatchSignals(std::initializer_list<int> signals, std::function<void(int)> handler);

    // One round: waits up to `timeoutMs` (-1: until something happens; the
    // next timer shortens it), then hands out what is ready: posted work,
    // signals, edges, the sources, due timers. Returns the number of events
    // handled, -1 when the wait failed.
    int RunOnce(int timeoutMs);
    // Runs rounds until `done` answers true (checked before each round).
    void RunUntil(const std::function<bool()>& done);

    // One edge in the pipe. Sixteen bytes, far below PIPE_BUF, so every write
    // is atomic and the pipe only ever holds whole records.
    struct Record {
        uint32_t stamp;
        uint8_t level;
        uint8_t hasInstant;  // event mode: instantNs holds the edge's own instant
        uint8_t unused[2];
        int64_t instantNs;
    };

private:
    struct Timer {
        int id;
        uint32_t periodMs;
        uint32_t dueMs;
        Work tick;
    };
    struct SourceEntry {
        int id;
        Source source;
    };

    bool RefillEdges();
    int DispatchEdges();
    int DispatchSignals();
    int DispatchPosted();
    int DispatchTimers();
    int WaitMs(int timeoutMs);

    MillisecondClock& clock_;
    int edgeRead_ = -1;
    int edgeWrite_ = -1;
    EdgeHandler* edgeHandler_ = nullptr;
    // Read from the pipe but not yet handed out.
    Record batch_[64];
    std::size_t next_ = 0, end_ = 0;

    std::vector<SourceEntry> sources_;
    int nextSourceId_ = 1;
    std::vector<Timer> timers_;
    std::deque<Work> posted_;
    std::vector<std::pair<int, std::function<void(int)>>> signalHandlers_;
    std::vector<pollfd> fds_;
};
