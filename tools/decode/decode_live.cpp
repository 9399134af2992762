#include "tools/decode/decode_live.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "input/edge_log.h"
#include "input/live_receiver.h"
#include "input/port_sampler.h"
#include "input/profile_reader.h"

namespace {

// --device stands in for the profile's mapping of the chosen port.
class DeviceOverride final : public ProfileReader {
public:
    DeviceOverride(int32_t portCode, const char* device)
        : key_(FindPort(portCode) ? FindPort(portCode)->name : ""), device_(device) {}
    bool ReadString(const char* section, const char* key, std::string& value) const override {
        if (std::strcmp(section, kPortsSection) != 0 || key_ != key) return false;
        value = device_;
        return true;
    }

private:
    std::string key_;
    std::string device_;
};

class LivePrinter final : public EdgeHandler {
public:
    LivePrinter(DecodeSession& session, std::FILE* out, EdgeRecorder& record)
        : session_(session), out_(out), record_(record) {}

    void OnEdge(uint8_t level, int32_t stamp) override {
        const auto raw = static_cast<uint32_t>(stamp);
        record_.Record({level, raw});
        text_.clear();
        session_.OnEdge(level, raw, text_);
        std::fwrite(text_.data(), 1, text_.size(), out_);
        std::fflush(out_);
    }

private:
    DecodeSession& session_;
    std::FILE* out_;
    EdgeRecorder& record_;
    std::string text_;
};

}  // namespace

int DecodeLive(const LiveOptions& live, DecodeSession& session, std::FILE* out, std::FILE* err) {
    EdgeRecorder record;
    std::string why;
    if (live.recordPath && !record.Open(live.recordPath, why)) {
        std::fprintf(err, "chronvk-decode: %s: %s\n", live.recordPath, why.c_str());
        return 1;
    }
    DeviceOverride override(live.portCode, live.device ? live.device : "");
    const ProfileReader* previous = CurrentPortProfile();
    if (live.device) SetPortProfile(&override);
    const std::string device = DeviceForPort(live.portCode, CurrentPortProfile());
    record.Comment("chronvk-decode --port " + std::to_string(live.portCode) + ", device " + device);

    LivePrinter printer(session, out, record);
    const LiveResult result = ReceiveLive(live.portCode, printer);
    SetPortProfile(previous);
    switch (result) {
        case LiveResult::Interrupted: return 0;
        case LiveResult::OpenFailed:
            std::fprintf(err, "chronvk-decode: cannot open port %d (%s)\n", live.portCode, device.c_str());
            return 1;
        case LiveResult::Failed: break;
    }
    std::fprintf(err, "chronvk-decode: live reception failed\n");
    return 1;
}
