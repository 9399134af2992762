// How late an edge's instant is taken in event mode, how late it reaches the
// window thread, and what an NTP daemon makes of the simulated receiver's
// samples. Not a Google Benchmark: what counts here is the spread of single
// wake-ups, not a mean over millions.
//
//   chronvk_latency_bench [EVENTS [SIM_SECONDS]]   (defaults 2000 and 20)
//   chronvk_latency_bench --refclock shm:N|sock:PATH SAMPLES
//
// 1. The waiting thread as the drivers use it (the machine's own thread, the
//    sampler's post into the event loop's pipe) around a wait in the kernel
//    that a software event ends: an eventfd written at a known instant stands
//    in for the serial line's change. Wake to stamp: the instant the waiting
//    thread took less the instant the event was raised; to the handler: when
//    the event loop handed the edge out.
// 2. The simulated receiver in event mode end to end: each edge carries its
//    exact instant; how late the loop hands it out.
// 3. With --refclock, the simulated receiver on to a daemon: decoded with
//    robust reception, as chronvk feeds a daemon, each second mark a sample
//    timed by its instant, SAMPLES of them. The three minutes of signal before
//    the first live mark are decoded at once, so the samples flow within a
//    second; the daemon reports what it saw.
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "eventloop/posix/event_loop.h"
#include "input/dcf77_signal.h"
#include "input/port_sampler.h"
#include "input/profile_reader.h"
#include "input/sim_receiver.h"
#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"
#include "timebase/edge_clock.h"
#include "ui/posix/refclock_outputs.h"

namespace {

// The machine's waiting thread around a driver whose line changes whenever
// the eventfd is written.
class SoftwareLine final : public PortPlatform {
public:
    SoftwareLine() : fd_(eventfd(0, EFD_CLOEXEC)) {}
    ~SoftwareLine() override { close(fd_); }
    std::unique_ptr<PortDriver> MakeDriver(PortKind, const std::string&, bool) override {
        return std::make_unique<Driver>(fd_);
    }
    uint32_t StartTimer() override { return 0; }
    uint32_t StartWaiter() override { return MachinePortPlatform().StartWaiter(); }
    void CancelTimer(uint32_t timer) override { MachinePortPlatform().CancelTimer(timer); }
    void Raise() {
        const uint64_t one = 1;
        if (write(fd_, &one, sizeof one) != sizeof one) std::abort();
    }

private:
    struct Driver final : PortDriver {
        explicit Driver(int fd) : fd_(fd) {}
        bool Open(const std::string&) override { return true; }
        void Power(bool) override {}
        LineRead ReadLevel() override { return LineRead::Low; }
        void Close() override {}
        // As the serial driver does after TIOCMIWAIT: the edge clock at once.
        void WaitLine(LineWait& wait) override {
            uint64_t count = 0;
            if (read(fd_, &count, sizeof count) != sizeof count) return;
            wait.Add(level_ ^= 1, SystemEdgeClock().NowNs());
        }
        int fd_;
        uint8_t level_ = 0;
    };
    int fd_;
};

// Every edge's instant and the moment the loop handed it out.
struct Arrivals final : EdgeHandler {
    void OnEdge(uint8_t, int32_t) override {}
    void OnEdgeAt(uint8_t, int32_t, int64_t instantNs) override {
        instants.push_back(instantNs);
        handled.push_back(SystemEdgeClock().NowNs());
    }
    std::vector<int64_t> instants, handled;
};

struct SimOnCom1 final : ProfileReader {
    bool ReadString(const char* section, const char* key, std::string& value) const override {
        value = "SIM";
        return std::string(section) == kPortsSection && std::string(key) == "COM1";
    }
};

void Report(const char* what, std::vector<int64_t> ns) {
    if (ns.empty()) {
        std::printf("%-44s none\n", what);
        return;
    }
    std::sort(ns.begin(), ns.end());
    const auto at = [&](double share) { return static_cast<double>(ns[static_cast<size_t>(share * static_cast<double>(ns.size() - 1))]) / 1000; };
    std::printf("%-44s %6zu   median %8.1f us   90 %% %8.1f us   99 %% %8.1f us   max %8.1f us\n", what, ns.size(),
                at(0.5), at(0.9), at(0.99), at(1.0));
}

void Latencies(int events, int simSeconds) {
    SoftwareLine line;
    SetPortPlatform(&line);
    EventLoop loop;
    Arrivals arrivals;
    loop.SetEdgeHandler(&arrivals);
    std::vector<int64_t> raised;
    if (!OpenPort(loop, 1)) return;
    for (int i = 0; i < events; ++i) {
        // Spaced like no receiver ever is, but far enough apart that each
        // wait has begun before the next event.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        raised.push_back(SystemEdgeClock().NowNs());
        line.Raise();
        while (arrivals.instants.size() < raised.size()) loop.RunOnce(1000);
    }
    ClosePort();
    std::vector<int64_t> wake, hand;
    for (size_t i = 0; i < raised.size(); ++i) {
        wake.push_back(arrivals.instants[i] - raised[i]);
        hand.push_back(arrivals.handled[i] - raised[i]);
    }
    Report("software event: wake to stamp", wake);
    Report("software event: raised to handler", hand);

    SetPortPlatform(nullptr);
    SimOnCom1 profile;
    SetPortProfile(&profile);
    Arrivals sim;
    loop.SetEdgeHandler(&sim);
    if (!OpenPort(loop, 1)) return;
    const int64_t end = SystemEdgeClock().NowNs() + int64_t{simSeconds} * 1'000'000'000;
    while (SystemEdgeClock().NowNs() < end) loop.RunOnce(100);
    ClosePort();
    std::vector<int64_t> late;
    for (size_t i = 0; i < sim.instants.size(); ++i) late.push_back(sim.handled[i] - sim.instants[i]);
    Report("simulated receiver: edge instant to handler", late);
}

// Decodes the edges as the dialog does; passes samples on only once the live
// edges come.
struct Gate final : TimeSampleOutput, EdgeHandler {
    explicit Gate(TimeSampleOutput& to) : output(to) {}
    void Send(const TimeSample& sample) override {
        if (!open) return;
        output.Send(sample);
        ++sent;
    }
    void OnEdge(uint8_t level, int32_t stamp) override { Decode(level, static_cast<uint32_t>(stamp), {}); }
    void OnEdgeAt(uint8_t level, int32_t stamp, int64_t instant) override { Decode(level, static_cast<uint32_t>(stamp), instant); }
    void Decode(uint8_t level, uint32_t stamp, std::optional<int64_t> instant) {
        DecodeEdge(level, static_cast<int32_t>(stamp));
        samples->AfterEdge(*dcfPtr, timeConfirmed != 0, stamp, instant);
        timeConfirmed = 0;
    }
    TimeSampleOutput& output;
    RefclockSamples* samples = nullptr;
    bool open = false;
    int sent = 0;
};

int FeedDaemon(TimeSampleOutput& output, int samples) {
    ResetReception();
    StoreConfirmFlag(*dcfPtr);
    robustReception = true;
    PosixRealTimeClock realTime;
    Gate gate(output);
    RefclockSamples refclock(SystemMillisecondClock(), realTime, gate);
    gate.samples = &refclock;
    // The first live edge is a mark's start 300 ms away or more: the port
    // opens inside that mark, after the three minutes before it are decoded.
    const int64_t nowMs = SystemUtcNs() / 1'000'000;
    const uint32_t stampNow = SystemMillisecondClock().NowMs();
    int64_t first = nowMs + 300;
    do first = dcf77::NextEdgeUtcMs(first);
    while (dcf77::LineLevel(first, 0) != 0);
    auto options = dcf77::OptionsForMinutes(first - first % dcf77::kMinuteMs - 3 * dcf77::kMinuteMs, 3);
    options.durationMs = first + 1 - options.startUtcMs;
    options.firstStampMs = stampNow + static_cast<uint32_t>(options.startUtcMs - nowMs);
    for (const dcf77::SampledEdge& edge : dcf77::GenerateEdgeVector(options)) gate.Decode(edge.level, edge.stampMs, {});
    const timespec inMark{static_cast<time_t>((first + 20) / 1000), static_cast<long>((first + 20) % 1000 * 1'000'000)};
    clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &inMark, nullptr);

    EventLoop loop;
    loop.SetEdgeHandler(&gate);
    if (!OpenPort(loop, 1)) return 1;
    gate.open = true;
    const uint32_t start = SystemMillisecondClock().NowMs();
    while (gate.sent < samples && SystemMillisecondClock().NowMs() - start < 90'000u) loop.RunOnce(1000);
    ClosePort();
    std::printf("%d samples from the simulated receiver\n", gate.sent);
    return gate.sent < samples ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    SetPortEvents(true);
    if (argc == 4 && std::strcmp(argv[1], "--refclock") == 0) {
        SimOnCom1 profile;
        SetPortProfile(&profile);
        const std::optional<RefclockSetting> setting = ParseRefclockSetting(argv[2]);
        std::string why;
        const auto say = [](const std::string& problem) { std::fprintf(stderr, "chronvk_latency_bench: %s\n", problem.c_str()); };
        std::unique_ptr<TimeSampleOutput> output = setting ? MakeRefclockOutput(*setting, why, say) : nullptr;
        if (!output) say(setting ? why : "--refclock takes shm:N or sock:PATH");
        return output ? FeedDaemon(*output, std::atoi(argv[3])) : 2;
    }
    Latencies(argc > 1 ? std::atoi(argv[1]) : 2000, argc > 2 ? std::atoi(argv[2]) : 20);
    return 0;
}
