#include "eventloop/posix/event_loop.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

static_assert(sizeof(EventLoop::Record) == 16);

namespace {

// The self-pipe's writing end, for the signal handler; one loop per program
// watches signals.
volatile sig_atomic_t signalWriteFd = -1;

extern "C" void WriteSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    if (signalWriteFd >= 0) (void)!write(signalWriteFd, &byte, 1);
    errno = saved;
}

int signalReadFd = -1;

bool MakePipe(int& readEnd, int& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    readEnd = fds[0];
    writeEnd = fds[1];
    return true;
}

// Due when the wrapping clock has reached `due`.
bool Reached(uint32_t now, uint32_t due) { return static_cast<int32_t>(now - due) >= 0; }

}  // namespace

EventLoop::EventLoop(MillisecondClock& clock) : clock_(clock) { MakePipe(edgeRead_, edgeWrite_); }

EventLoop::~EventLoop() {
    if (!signalHandlers_.empty()) {
        for (const auto& watched : signalHandlers_) signal(watched.first, SIG_DFL);
        const int writeEnd = signalWriteFd;
        signalWriteFd = -1;
        close(writeEnd);
        close(signalReadFd);
        signalReadFd = -1;
    }
    if (edgeRead_ >= 0) close(edgeRead_);
    if (edgeWrite_ >= 0) close(edgeWrite_);
}

bool EventLoop::PostEdge(uint8_t level, uint32_t stamp) {
    if (edgeWrite_ < 0) return false;
    Record record{stamp, level, 0, {0, 0}, 0};
    return write(edgeWrite_, &record, sizeof record) == static_cast<ssize_t>(sizeof record);
}

bool EventLoop::PostEdgeAt(uint8_t level, uint32_t stamp, int64_t instantNs) {
    if (edgeWrite_ < 0) return false;
    Record record{stamp, level, 1, {0, 0}, instantNs};
    return write(edgeWrite_, &record, sizeof record) == static_cast<ssize_t>(sizeof record);
}

void EventLoop::Notice(std::string_view text) {
    std::fprintf(stderr, "%s: %.*s\n", program_invocation_short_name, static_cast<int>(text.size()), text.data());
}

int EventLoop::AddSource(Source source) {
    sources_.push_back({nextSourceId_, std::move(source)});
    return nextSourceId_++;
}

void EventLoop::RemoveSource(int id) {
    std::erase_if(sources_, [id](const SourceEntry& entry) { return entry.id == id; });
}

void EventLoop::StartTimer(int id, uint32_t periodMs, Work tick) {
    StopTimer(id);
    timers_.push_back({id, periodMs, clock_.NowMs() + periodMs, std::move(tick)});
}

void EventLoop::StopTimer(int id) {
    std::erase_if(timers_, [id](const Timer& timer) { return timer.id == id; });
}

void EventLoop::Post(Work work) { posted_.push_back(std::move(work)); }

bool EventLoop::WatchSignals(std::initializer_list<int> signals, std::function<void(int)> handler) {
    if (signalReadFd < 0) {
        int readEnd = -1, writeEnd = -1;
        if (!MakePipe(readEnd, writeEnd)) return false;
        signalReadFd = readEnd;
        signalWriteFd = writeEnd;
    }
    struct sigaction action{};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : signals) {
        if (sigaction(number, &action, nullptr) != 0) return false;
        std::erase_if(signalHandlers_, [number](const auto& watched) { return watched.first == number; });
        signalHandlers_.emplace_back(number, handler);
    }
    return true;
}

bool EventLoop::RefillEdges() {
    ssize_t got = 0;
    do {
        got = read(edgeRead_, batch_, sizeof batch_);
    } while (got < 0 && errno == EINTR);
    next_ = 0;
    end_ = got > 0 ? static_cast<std::size_t>(got) / sizeof(Record) : 0;
    return end_ != 0;  // false: drained (EAGAIN) or closed
}

int EventLoop::DispatchEdges() {
    int handled = 0;
    while (edgeHandler_ && (next_ != end_ || RefillEdges())) {
        const Record record = batch_[next_++];
        // The stamp travels as the 32-bit clock value and is read as signed.
        if (record.hasInstant != 0) {
            edgeHandler_->OnEdgeAt(record.level, static_cast<int32_t>(record.stamp), record.instantNs);
        } else {
            edgeHandler_->OnEdge(record.level, static_cast<int32_t>(record.stamp));
        }
        ++handled;
    }
    return handled;
}

int EventLoop::DispatchSignals() {
    int handled = 0;
    unsigned char number = 0;
    while (signalReadFd >= 0 && read(signalReadFd, &number, 1) == 1) {
        // A copy: the handler may watch further signals.
        std::function<void(int)> handler;
        for (const auto& watched : signalHandlers_) {
            if (watched.first == number) handler = watched.second;
        }
        if (handler) handler(number);
        ++handled;
    }
    return handled;
}

int EventLoop::DispatchPosted() {
    // Only what was posted before this round: work that posts again waits a round.
    std::size_t count = posted_.size();
    int handled = 0;
    while (count-- > 0 && !posted_.empty()) {
        Work work = std::move(posted_.front());
        posted_.pop_front();
        work();
        ++handled;
    }
    return handled;
}

int EventLoop::DispatchTimers() {
    int handled = 0;
    std::vector<int> ids;
    for (const Timer& timer : timers_) ids.push_back(timer.id);
    for (int id : ids) {
        // A tick may have stopped or restarted any timer, a nested run ticked it already.
        auto it = std::find_if(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; });
        const uint32_t now = clock_.NowMs();
        if (it == timers_.end() || !Reached(now, it->dueMs)) continue;
        it->dueMs = now + it->periodMs;
        Work tick = it->tick;  // the timer may be stopped inside
        tick();
        ++handled;
    }
    return handled;
}

int EventLoop::WaitMs(int timeoutMs) {
    if (!posted_.empty() || next_ != end_) return 0;
    const uint32_t now = clock_.NowMs();
    int wait = timeoutMs;
    for (const Timer& timer : timers_) {
        const int left = Reached(now, timer.dueMs) ? 0 : static_cast<int>(timer.dueMs - now);
        if (wait < 0 || left < wait) wait = left;
    }
    return wait;
}

int EventLoop::RunOnce(int timeoutMs) {
    if (edgeRead_ < 0) return -1;
    std::vector<pollfd> fds;
    if (edgeHandler_) fds.push_back({edgeRead_, POLLIN, 0});
    if (signalReadFd >= 0 && !signalHandlers_.empty()) fds.push_back({signalReadFd, POLLIN, 0});
    const std::size_t firstSourceFd = fds.size();
    std::vector<std::pair<int, std::size_t>> owners;  // source id, count of its fds
    for (SourceEntry& entry : sources_) {
        const std::size_t before = fds.size();
        entry.source.append(fds);
        owners.emplace_back(entry.id, fds.size() - before);
    }
    const int ready = poll(fds.data(), fds.size(), WaitMs(timeoutMs));
    if (ready < 0 && errno != EINTR) return -1;

    int handled = DispatchPosted();
    handled += DispatchSignals();
    handled += DispatchEdges();
    if (ready > 0) {
        std::size_t at = firstSourceFd;
        for (const auto& [id, count] : owners) {
            for (std::size_t i = at; i < at + count; ++i) {
                if (fds[i].revents == 0) continue;
                // Look the source up again: a handler may have removed it.
                auto it = std::find_if(sources_.begin(), sources_.end(),
                                       [id](const SourceEntry& e) { return e.id == id; });
                if (it == sources_.end()) break;
                const auto dispatch = it->source.dispatch;
                dispatch(fds[i]);
                ++handled;
            }
            at += count;
        }
    }
    handled += DispatchTimers();
    return handled;
}

void EventLoop::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (RunOnce(-1) < 0) return;
    }
}
