#include "input/posix/edge_event_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// One edge in the pipe. Eight bytes, far below PIPE_BUF, so every write is
// atomic and the pipe only ever holds whole records.
struct EdgeRecord {
    uint32_t stamp;
    uint8_t level;
    uint8_t unused[3];
};
static_assert(sizeof(EdgeRecord) == 8);

}  // namespace

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

bool EdgeEventLoop::Post(uint8_t level, uint32_t stamp) {
    if (writeFd_ < 0) return false;
    EdgeRecord record{stamp, level, {0, 0, 0}};
    return write(writeFd_, &record, sizeof record) == static_cast<ssize_t>(sizeof record);
}

int EdgeEventLoop::Dispatch(int timeoutMs, EdgeHandler& handler) {
    if (readFd_ < 0) return -1;
    pollfd waiting{readFd_, POLLIN, 0};
    const int ready = poll(&waiting, 1, timeoutMs);
    if (ready < 0) return -1;
    if (ready == 0) return 0;

    int handled = 0;
    EdgeRecord records[64];
    for (;;) {
        const ssize_t got = read(readFd_, records, sizeof records);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // drained (EAGAIN) or closed
        const size_t count = static_cast<size_t>(got) / sizeof(EdgeRecord);
        for (size_t i = 0; i < count; ++i) {
            // The stamp travels as the 32-bit clock value and is read as signed.
            handler.OnEdge(records[i].level, static_cast<int32_t>(records[i].stamp));
            ++handled;
        }
        if (static_cast<size_t>(got) < sizeof records) break;
    }
    return handled;
}
