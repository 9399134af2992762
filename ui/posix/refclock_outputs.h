// The two doors through which NTP daemons take a local reference clock: the
// NTP shared-memory segment (chrony and ntpd) and chrony's SOCK socket.
#pragma once

#include <sys/time.h>
#include <sys/types.h>

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "ui/refclock_samples.h"

// The daemons' shared-memory record, field for field (96 bytes on 64-bit
// Linux; the time_t fields set the size elsewhere).
struct ShmTime {
    int mode;  // 1: the writer brackets every update with count
    int count;
    time_t clockTimeStampSec;  // the reference time
    int clockTimeStampUSec;
    time_t receiveTimeStampSec;  // the local clock's time
    int receiveTimeStampUSec;
    int leap;
    int precision;
    int nsamples;
    int valid;
    unsigned clockTimeStampNSec;
    unsigned receiveTimeStampNSec;
    int dummy[8];
};

inline constexpr key_t kShmKeyBase = 0x4E545030;  // "NTP0"

// One update in mode 1: valid off, count odd, the values, count even, valid on.
// A reader that sees an odd count, or a count that changed while it read, retries.
void WriteShmSample(ShmTime& segment, const TimeSample& sample);

class ShmOutput final : public TimeSampleOutput {
public:
    explicit ShmOutput(int unit) : unit_(unit) {}
    ~ShmOutput() override;
    ShmOutput(const ShmOutput&) = delete;
    ShmOutput& operator=(const ShmOutput&) = delete;

    // Attaches the unit's segment, creating it (0600) when missing; false with
    // the reason for one whose size is not this layout's. `tell` hears once
    // when others than its owner may write it.
    bool Attach(std::string& why, const std::function<void(const std::string&)>& tell);
    void Send(const TimeSample& sample) override;

private:
    int unit_;
    ShmTime* segment_ = nullptr;
};

// chrony's SOCK refclock datagram.
struct SockSample {
    timeval tv;     // the local clock's time of the sample
    double offset;  // reference minus local, seconds
    int pulse;
    int leap;
    int pad;
    int magic;
};
inline constexpr int kSockMagic = 0x534f434b;

SockSample MakeSockSample(const TimeSample& sample);

// Sends each sample to the socket chronyd listens on. A socket that is missing
// or refuses is no error: the sample is dropped and the next one tries again;
// `tell` hears about it once each time the socket stops answering.
class SockOutput final : public TimeSampleOutput {
public:
    SockOutput(std::string path, std::function<void(const std::string&)> tell);
    ~SockOutput() override;
    SockOutput(const SockOutput&) = delete;
    SockOutput& operator=(const SockOutput&) = delete;
    void Send(const TimeSample& sample) override;

private:
    std::string path_;
    std::function<void(const std::string&)> tell_;
    int fd_ = -1;
    bool failing_ = false;
};

// CLOCK_REALTIME.
class PosixRealTimeClock final : public RealTimeClock {
public:
    RealTime Now() override;
};

// The output a setting names: the attached segment, or the socket (which
// `tell` hears about when it stops answering). Nothing, with the reason in
// `why`, when the segment cannot be attached.
std::unique_ptr<TimeSampleOutput> MakeRefclockOutput(const RefclockSetting& setting, std::string& why,
                                                     std::function<void(const std::string&)> tell);
