// The bytes the daemons read: the shared-memory record after a mode-1
// update, chrony's socket datagram, and a socket nobody listens on. The
// segment itself is made by ShmOutput::Attach, which the program runs at start.
#include <gtest/gtest.h>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "tests/clock/clock_test_dir.h"
#include "ui/posix/refclock_outputs.h"

namespace {

const TimeSample kSample{{1796562300, 0}, {1796562299, 959'999'999}};

template <typename T>
T At(const void* base, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(base) + offset, sizeof value);
    return value;
}

TEST(RefclockOutputs, ShmRecordBytes) {
    if (sizeof(time_t) != 8 || sizeof(void*) != 8) GTEST_SKIP() << "the offsets below are 64-bit Linux's";
    ShmTime shm{};
    shm.count = 41;  // whatever a reader left: only the steps of 2 matter
    WriteShmSample(shm, kSample);
    // mode, count, clock sec/usec, receive sec/usec (truncated), leap, precision, valid, the nanoseconds
    EXPECT_EQ(sizeof shm, 96u);
    EXPECT_EQ((std::vector<int64_t>{At<int>(&shm, 0), At<int>(&shm, 4), At<int64_t>(&shm, 8), At<int>(&shm, 16),
                                    At<int64_t>(&shm, 24), At<int>(&shm, 32), At<int>(&shm, 36), At<int>(&shm, 40),
                                    At<int>(&shm, 48), At<unsigned>(&shm, 52), At<unsigned>(&shm, 56)}),
              (std::vector<int64_t>{1, 43, 1796562300, 0, 1796562299, 959999, 0, -6, 1, 0, 959'999'999}));
}

// A segment we make is ours alone; one that is there already is used only
// when it has our layout's size, and others' write access is said once.
TEST(RefclockOutputs, ShmSegmentsAreOursAloneOrChecked) {
    const int unit = 200 + static_cast<int>(getpid() % 50);
    const struct { std::size_t size; unsigned mode; bool attaches; std::size_t told; } cases[] = {
        {0, 0600, true, 0},  // none there: made ours alone
        {sizeof(ShmTime), 0600, true, 0},
        {sizeof(ShmTime), 0666, true, 1},
        {sizeof(ShmTime) - 16, 0600, false, 0},  // a 32-bit time_t daemon's
    };
    for (const auto& c : cases) {
        if (c.size) shmget(kShmKeyBase + unit, c.size, IPC_CREAT | IPC_EXCL | static_cast<int>(c.mode));
        std::vector<std::string> told;
        std::string why;
        EXPECT_EQ(ShmOutput(unit).Attach(why, [&](const std::string& text) { told.push_back(text); }), c.attaches)
            << c.mode << " " << why;
        EXPECT_EQ(told.size(), c.told) << c.mode;
        shmid_ds info{};
        const int id = shmget(kShmKeyBase + unit, 0, 0);
        ASSERT_EQ(shmctl(id, IPC_STAT, &info), 0);
        shmctl(id, IPC_RMID, nullptr);
        EXPECT_EQ(info.shm_perm.mode & 0777, c.mode);
    }
}

TEST(RefclockOutputs, SockDatagramAndASocketNobodyListensOn) {
    if (sizeof(time_t) != 8 || sizeof(void*) != 8) GTEST_SKIP() << "the offsets below are 64-bit Linux's";
    const ScratchDirectory dir;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, dir.File("c.sock").c_str());
    std::vector<std::string> told;
    SockOutput output(address.sun_path, [&](const std::string& text) { told.push_back(text); });
    output.Send(kSample);
    output.Send(kSample);
    EXPECT_EQ(told.size(), 1u);  // once, not once a sample

    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    output.Send(kSample);
    unsigned char bytes[64];
    ASSERT_EQ(recv(fd, bytes, sizeof bytes, 0), sizeof(SockSample));
    // tv, offset, pulse and leap, magic (the offsets of 64-bit Linux)
    EXPECT_EQ(At<int64_t>(bytes, 0) * 1000000 + At<int64_t>(bytes, 8), 1796562299959999);
    EXPECT_NEAR(At<double>(bytes, 16), 0.040000001, 1e-12);
    EXPECT_EQ(At<int>(bytes, 24) | At<int>(bytes, 28), 0);
    EXPECT_EQ(At<int>(bytes, 36), 0x534f434b);
    close(fd);  // chronyd restarted: the old socket file refuses
    output.Send(kSample);
    EXPECT_EQ(told.size(), 2u);
}

}  // namespace
