#include "input/posix/edge_event_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

static_assert(sizeof(EdgeEventLoop::Record) == 8);

EdgeEventLoop::EdgeEventLoop() {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    readFd_ = fds[0];
    writeFd_ = fds[1];
}

EdgeEventLoop::~EdgeEventLoop() {
    if (readFd_ >= 0) close(readFd_);
    if (writeFd_ >= 0) close(writeFd_);
}

bool EdgeEventLoop::PostEdge(uint8_t level, uint32_t stamp) {
    if (writeFd_ < 0) return false;
    Record record{stamp, level, {0, 0, 0}};
    return write(writeFd_, &record, sizeof record) == static_cast<ssize_t>(sizeof record);
}

bool EdgeEventLoop::Refill() {
    ssize_t got = 0;
    do {
        got = read(readFd_, batch_, sizeof batch_);
    } while (got < 0 && errno == EINTR);
    next_ = 0;
    end_ = got > 0 ? static_cast<size_t>(got) / sizeof(Record) : 0;
    return end_ != 0;  // false: drained (EAGAIN) or closed
}

int EdgeEventLoop::Dispatch(int timeoutMs, EdgeHandler& handler) {
    if (readFd_ < 0) return -1;
    if (next_ == end_) {
        pollfd waiting{readFd_, POLLIN, 0};
        const int ready = poll(&waiting, 1, timeoutMs);
        if (ready < 0) return -1;
        if (ready == 0) return 0;
    }
    int handled = 0;
    while (next_ != end_ || Refill()) {
        const Record record = batch_[next_++];
        // The stamp travels as the 32-bit clock value and is read as signed.
        handler.OnEdge(record.level, static_cast<int32_t>(record.stamp));
        ++handled;
    }
    return handled;
}
