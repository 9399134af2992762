#include "reception/dcf_state.h"

TDcfState ownDcfState{};
TDcfState* dcfPtr = &ownDcfState;
uint8_t timeConfirmed = 0;

namespace {
// What a wide build stores in the 32-bit field instead of an address that
// would not fit. Any non-zero value works; it is never dereferenced.
constexpr uint32_t kConfirmFlagHandle = 1;
}  // namespace

uint32_t StoreConfirmFlag(TDcfState& state) {
    uint32_t stored = kConfirmFlagHandle;
    if constexpr (sizeof(void*) == sizeof(uint32_t)) {
        stored = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&timeConfirmed));
    }
    state.confirmFlagPtr = stored;
    return stored;
}

uint8_t* ResolveConfirmFlag(uint32_t stored) {
    // The field may come from a lent block or the network, so its value is
    // only ever a yes/no: the byte it stands for is always our own.
    return stored != 0 ? &timeConfirmed : nullptr;
}
