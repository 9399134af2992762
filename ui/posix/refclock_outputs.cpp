#include "ui/posix/refclock_outputs.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

static_assert(kMaxSocketPath + 1 == sizeof(sockaddr_un::sun_path));

namespace {

void Barrier() { std::atomic_thread_fence(std::memory_order_seq_cst); }

}  // namespace

void WriteShmSample(ShmTime& segment, const TimeSample& sample) {
    volatile ShmTime& shm = segment;
    shm.mode = 1;
    shm.valid = 0;
    shm.count = shm.count + 1;
    Barrier();
    shm.clockTimeStampSec = static_cast<time_t>(sample.reference.seconds);
    shm.clockTimeStampNSec = static_cast<unsigned>(sample.reference.nanoseconds);
    // The daemons trust the nanoseconds only when the microseconds agree with them.
    shm.clockTimeStampUSec = sample.reference.nanoseconds / 1000;
    shm.receiveTimeStampSec = static_cast<time_t>(sample.receive.seconds);
    shm.receiveTimeStampNSec = static_cast<unsigned>(sample.receive.nanoseconds);
    shm.receiveTimeStampUSec = sample.receive.nanoseconds / 1000;
    shm.leap = sample.leap;
    shm.precision = sample.precision;
    Barrier();
    shm.count = shm.count + 1;
    shm.valid = 1;
}

ShmOutput::~ShmOutput() {
    // Detached only: the segment belongs to the daemon as much as to us.
    if (segment_) shmdt(segment_);
}

bool ShmOutput::Attach(std::string& why, const std::function<void(const std::string&)>& tell) {
    const key_t key = kShmKeyBase + unit_;
    const std::string name = "NTP shared memory unit " + std::to_string(unit_);
    auto fail = [&](const std::string& reason) {
        why = name + ": " + reason;
        return false;
    };
    // Ours are for our user only: anybody who may write the segment steers
    // the daemon, and through it the clocks of its clients.
    int id = shmget(key, sizeof(ShmTime), IPC_CREAT | IPC_EXCL | 0600);
    if (id < 0 && errno == EEXIST) id = shmget(key, 0, 0);
    if (id < 0) return fail(std::strerror(errno));
    shmid_ds info{};
    if (shmctl(id, IPC_STAT, &info) != 0) return fail(std::strerror(errno));
    // A daemon built with another time_t reads its fields elsewhere: our
    // writes would land where it reads the leap indicator or the validity.
    if (info.shm_segsz != sizeof(ShmTime)) {
        return fail("the segment has " + std::to_string(info.shm_segsz) + " bytes, this program's layout " +
                    std::to_string(sizeof(ShmTime)) + "; not used (a daemon built for another time_t?)");
    }
    if ((info.shm_perm.mode & 0022) != 0 && tell) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.shm_perm.mode & 0777));
        tell(name + ": mode " + mode + ", others than its owner may write it and so steer the daemon");
    }
    void* at = shmat(id, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) return fail(std::strerror(errno));
    segment_ = static_cast<ShmTime*>(at);
    return true;
}

void ShmOutput::Send(const TimeSample& sample) {
    if (segment_) WriteShmSample(*segment_, sample);
}

SockSample MakeSockSample(const TimeSample& sample) {
    SockSample out;
    std::memset(&out, 0, sizeof out);
    out.tv.tv_sec = static_cast<time_t>(sample.receive.seconds);
    out.tv.tv_usec = static_cast<suseconds_t>(sample.receive.nanoseconds / 1000);
    out.offset = static_cast<double>(sample.reference.seconds - sample.receive.seconds) +
                 static_cast<double>(sample.reference.nanoseconds - sample.receive.nanoseconds) * 1e-9;
    out.pulse = 0;
    out.leap = sample.leap;
    out.magic = kSockMagic;
    return out;
}

SockOutput::SockOutput(std::string path, std::function<void(const std::string&)> tell)
    : path_(std::move(path)), tell_(std::move(tell)) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

SockOutput::~SockOutput() {
    if (fd_ >= 0) close(fd_);
}

void SockOutput::Send(const TimeSample& sample) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    int error = 0;
    if (fd_ < 0) {
        error = EBADF;
    } else if (path_.size() >= sizeof address.sun_path) {
        error = ENAMETOOLONG;
    } else {
        std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
        const SockSample datagram = MakeSockSample(sample);
        if (sendto(fd_, &datagram, sizeof datagram, 0, reinterpret_cast<const sockaddr*>(&address),
                   sizeof address) < 0) {
            error = errno;
        }
    }
    if (error == 0) {
        failing_ = false;
        return;
    }
    if (failing_) return;
    failing_ = true;
    if (tell_) tell_(path_ + ": " + std::strerror(error) + "; samples are dropped until it answers");
}

RealTime PosixRealTimeClock::Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return {static_cast<int64_t>(now.tv_sec), static_cast<int32_t>(now.tv_nsec)};
}

std::unique_ptr<TimeSampleOutput> MakeRefclockOutput(const RefclockSetting& setting, std::string& why,
                                                     std::function<void(const std::string&)> tell) {
    if (setting.kind == RefclockSetting::Kind::Sock)
        return std::make_unique<SockOutput>(setting.path, std::move(tell));
    auto shm = std::make_unique<ShmOutput>(setting.unit);
    if (!shm->Attach(why, tell)) return nullptr;
    return shm;
}
