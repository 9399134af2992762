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
    LivePrinter(DecodeSession& session, std::FILE* out, std::FILE* record)
        : session_(session), out_(out), record_(record) {}

    void OnEdge(uint8_t level, int32_t stamp) override {
        const auto raw = static_cast<uint32_t>(stamp);
        if (record_) {
            char line[kEdgeLineMax];
            std::fwrite(line, 1, FormatEdgeLine({level, raw}, line), record_);
            std::fflush(record_);
        }
        text_.clear();
        session_.OnEdge(level, raw, text_);
        std::fwrite(text_.data(), 1, text_.size(), out_);
        std::fflush(out_);
    }

private:
    DecodeSession& session_;
    std::FILE* out_;
    std::FILE* record_;
    std::string text_;
};

}  // namespace

int DecodeLive(const LiveOptions& live, DecodeSession& session, std::FILE* out, std::FILE* err) {
    std::FILE* record = nullptr;
    if (live.recordPath) {
        if (IsReservedDeviceName(live.recordPath)) {
            std::fprintf(err, "chronvk-decode: %s: a device name on Windows, not a file\n", live.recordPath);
            return 1;
        }
        record = std::fopen(live.recordPath, "a");
        if (!record) {
            std::fprintf(err, "chronvk-decode: %s: %s\n", live.recordPath, std::strerror(errno));
            return 1;
        }
    }
    DeviceOverride override(live.portCode, live.device ? live.device : "");
    const ProfileReader* previous = CurrentPortProfile();
    if (live.device) SetPortProfile(&override);
    const std::string device = DeviceForPort(live.portCode, CurrentPortProfile());
    if (record) std::fprintf(record, "# chronvk-decode --port %d, device %s\n", live.portCode, device.c_str());

    LivePrinter printer(session, out, record);
    const LiveResult result = ReceiveLive(live.portCode, printer);
    SetPortProfile(previous);
    if (record) std::fclose(record);
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
