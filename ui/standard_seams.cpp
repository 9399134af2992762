#include "ui/standard_seams.h"

#include "input/port_sampler.h"
#include "ui/dlg_dcf77.h"
#include "ui/settings.h"

int32_t MemoryProfile::GetInt(const char* key, int32_t defaultValue) {
    const auto it = keys.find(key);
    return it == keys.end() || it->second.empty() ? defaultValue : ProfileIntFromText(it->second);
}

TableVersionStrings::TableVersionStrings()
    : strings{{"ProductName", "CHRONVK"},
              {"ProductVersion", CHRONVK_VERSION},
              {"LegalCopyright", kFallbackNotice},
              {"SpecialBuild", CHRONVK_BUILD}} {}

bool TableVersionStrings::Get(const char* name, std::string& text) {
    const auto it = strings.find(name);
    if (it == strings.end()) return false;
    text = it->second;
    return true;
}

bool SamplerPortControl::Open(int32_t code) { return OpenPort(sink_, code); }

void SamplerPortControl::Close() { ClosePort(); }

ClockResult PortFollowingClock::SetSystemClock(const SystemTime& utc) {
    SystemClock& clock = real_ != nullptr && !ActivePortSimulated() ? *real_ : dry_;
    return clock.SetSystemClock(utc);
}
