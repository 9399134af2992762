#include "ui/posix/shared_library.h"

#include <dlfcn.h>

#include <cstdint>

bool SharedInterfaceLibrary::Load() {
    Release();
    // A bare name: dlopen searches the system's places only, as LoadLibrary
    // does with a name and no path.
    handle_ = dlopen(name_, RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

bool SharedInterfaceLibrary::FindEntry() {
    entry_ = nullptr;
    if (!handle_) return false;
    void* symbol = dlsym(handle_, "GETDCFPTR");
    if (!symbol) return false;
    // POSIX guarantees a function pointer survives the trip through void*.
    entry_ = reinterpret_cast<Entry>(reinterpret_cast<std::uintptr_t>(symbol));
    return true;
}

TDcfState* SharedInterfaceLibrary::GetDcfPtr(int32_t request) { return entry_ ? entry_(request) : nullptr; }

void SharedInterfaceLibrary::Release() {
    entry_ = nullptr;
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}
