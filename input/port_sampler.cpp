#include "input/port_sampler.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "timebase/edge_clock.h"
#include "timebase/millisecond_clock.h"

namespace {

// Everything the sampler holds, in one object. It outlives the machine's
// platform and clock (it asks for both before it is complete, so they are
// destroyed after it), and its destructor closes the port: a program that
// exits with a port open stops the timer before anything a tick uses is gone.
class PortSampler {
public:
    PortSampler()
        : machine_(MachinePortPlatform()), systemClock_(SystemMillisecondClock()), systemEdges_(SystemEdgeClock()) {}
    ~PortSampler() { Close(); }
    PortSampler(const PortSampler&) = delete;
    PortSampler& operator=(const PortSampler&) = delete;

    bool Open(EdgeSink& sink, int32_t portCode);
    void Tick();
    bool Wait();
    void Close();

    void SetPlatform(PortPlatform* platform) {
        platform_ = platform;
        activePort_ = 0;
        simulated_ = false;
        lastLevel_ = 0;
        refusalSaid_ = false;
    }
    void SetClock(MillisecondClock* clock) { clock_ = clock; }
    void SetEdgeClock(EdgeClock* clock) { edges_ = clock; }
    void SetUtc(UtcSourceFn utcNow) { utcNow_ = utcNow; }

    const ProfileReader* profile = nullptr;
    bool events = false;  // window thread; taken by the next Open
    std::atomic<int32_t> activePort_{0};
    std::atomic<bool> simulated_{false};

private:
    PortPlatform& Platform() { return platform_ ? *platform_ : machine_; }
    MillisecondClock& Clock() { return clock_ ? *clock_ : systemClock_; }
    EdgeClock& Edges() { return edges_ ? *edges_ : systemEdges_; }
    void ReadAndPost(PortDriver& driver);
    bool WaitAndPost(PortDriver& driver);

    PortPlatform& machine_;
    MillisecondClock& systemClock_;
    EdgeClock& systemEdges_;
    PortPlatform* platform_ = nullptr;
    MillisecondClock* clock_ = nullptr;
    EdgeClock* edges_ = nullptr;
    UtcSourceFn utcNow_ = SystemUtcNs;

    // Window thread only.
    std::unique_ptr<PortDriver> driver_;
    uint32_t timer_ = 0;
    bool waiting_ = false;  // the timer is a waiting thread
    std::string port_;      // name and device, for what is said about it

    // Read by ticks. Set before ticks are allowed, cleared only after the last
    // tick has left.
    std::atomic<PortDriver*> sampled_{nullptr};
    std::atomic<EdgeSink*> sink_{nullptr};
    std::atomic<bool> stalled_{false};
    std::atomic<uint8_t> lastLevel_{0};  // survives Close and Open
    std::atomic<bool> primed_{false};    // the waiting thread has read the line once
    std::atomic<bool> refusalSaid_{false};

    // A tick enters only while ticks are allowed, and Close waits for ticks in
    // progress after cancelling the timer. Together with the platform's own
    // synchronous cancel this guarantees no tick touches a released device.
    std::atomic<bool> ticksAllowed_{false};
    std::atomic<int> ticksRunning_{0};
};

bool PortSampler::Open(EdgeSink& sink, int32_t portCode) {
    // Every caller closes first; a stray second open must not leak the device.
    if (driver_ || timer_ != 0) Close();

    const PortEntry* port = FindPort(portCode);
    // Code 0 and anything that is no port button open nothing and touch no device.
    if (!port) return false;
    const std::string device = DeviceForPort(portCode, profile);
    const bool simulated = IsSimulatedDevice(device);
    std::unique_ptr<PortDriver> driver =
        simulated ? std::make_unique<SimulatedReceiver>(Clock(), utcNow_, events ? &Edges() : nullptr)
                  : Platform().MakeDriver(port->kind, device, events);
    if (!driver) return false;
    if (!driver->Open(device)) {
        if (const std::string why = driver->WhyNotOpened(); !why.empty()) sink.Notice(why);
        return false;
    }
    driver->Power(true);
    driver_ = std::move(driver);
    sampled_ = driver_.get();
    sink_ = &sink;
    stalled_ = false;
    primed_ = false;
    port_ = std::string(port->name) + " (" + device + ")";
    ticksAllowed_ = true;

    waiting_ = events;
    timer_ = events ? Platform().StartWaiter() : Platform().StartTimer();
    // Without a timer the device stays open, receiver on; the next Close releases it.
    if (timer_ == 0) return false;
    activePort_ = portCode;
    simulated_ = simulated;
    return true;
}

void PortSampler::Tick() {
    ticksRunning_.fetch_add(1);
    if (ticksAllowed_.load() && !stalled_.load()) ReadAndPost(*sampled_.load());
    ticksRunning_.fetch_sub(1);
}

void PortSampler::ReadAndPost(PortDriver& driver) {
    uint8_t level = 0;
    switch (driver.ReadLevel()) {
        case LineRead::Low: level = 0; break;
        case LineRead::High: level = 1; break;
        case LineRead::Unchanged: level = lastLevel_.load(); break;
        case LineRead::Stalled: stalled_ = true; level = lastLevel_.load(); break;
    }
    if (level != lastLevel_.load()) sink_.load()->PostEdge(level, Clock().NowMs());
    lastLevel_ = level;
}

bool PortSampler::Wait() {
    ticksRunning_.fetch_add(1);
    const bool again = ticksAllowed_.load() && !stalled_.load() && WaitAndPost(*sampled_.load());
    ticksRunning_.fetch_sub(1);
    return again;
}

bool PortSampler::WaitAndPost(PortDriver& driver) {
    // The line as it is now, against the level before the port was opened,
    // as the timer's first tick takes it; when it changed is not known, so
    // this one edge has no instant.
    if (!primed_.exchange(true)) {
        ReadAndPost(driver);
        if (stalled_.load()) return false;
    }
    LineWait wait;
    driver.WaitLine(wait);
    switch (wait.result) {
        case LineWait::Result::Events:
            for (uint8_t i = 0; i < wait.count; ++i) {
                const LineEvent& event = wait.events[i];
                if (event.level != lastLevel_.load()) {
                    const uint32_t stamp = StampOfInstant(event.instantNs, Edges().NowNs(), Clock().NowMs());
                    sink_.load()->PostEdgeAt(event.level, stamp, event.instantNs);
                }
                lastLevel_ = event.level;
            }
            return true;
        case LineWait::Result::Nothing: return true;
        case LineWait::Result::Refused:
            if (!refusalSaid_.exchange(true))
                sink_.load()->Notice(port_ + ": the port reports no changes of its line; sampling it every 25 ms instead");
            return false;
        case LineWait::Result::Stalled: stalled_ = true; return false;
    }
    return false;
}

void PortSampler::Close() {
    ticksAllowed_ = false;
    // A waiting thread may sit in the driver; it must come out before the
    // device goes.
    if (waiting_ && driver_) driver_->Interrupt();
    if (timer_ != 0) Platform().CancelTimer(timer_);
    timer_ = 0;
    // Only a tick that began before ticks were stopped can still be running.
    while (ticksRunning_.load() != 0) std::this_thread::yield();

    if (driver_) {
        driver_->Power(false);
        driver_->Close();
    }
    sampled_ = nullptr;
    sink_ = nullptr;
    driver_.reset();
}

PortSampler sampler;

}  // namespace

bool OpenPort(EdgeSink& sink, int32_t portCode) { return sampler.Open(sink, portCode); }
void ClosePort() { sampler.Close(); }
void SamplerTick() { sampler.Tick(); }
bool SamplerWait() { return sampler.Wait(); }
void SetPortEvents(bool events) { sampler.events = events; }
bool PortEvents() { return sampler.events; }
int32_t ActivePort() { return sampler.activePort_.load(); }
void SetActivePort(int32_t portCode) { sampler.activePort_ = portCode; }
bool ActivePortSimulated() { return sampler.simulated_.load(); }

void SetPortPlatform(PortPlatform* platform) { sampler.SetPlatform(platform); }
void SetSamplerClock(MillisecondClock* clock) { sampler.SetClock(clock); }
void SetSamplerEdgeClock(EdgeClock* clock) { sampler.SetEdgeClock(clock); }
void SetSimulatedUtc(UtcSourceFn utcNow) { sampler.SetUtc(utcNow ? utcNow : SystemUtcNs); }
void SetPortProfile(const ProfileReader* profile) { sampler.profile = profile; }
const ProfileReader* CurrentPortProfile() { return sampler.profile; }
