// The interface library on Linux: libchronifn.so, found by the dynamic
// loader's own search (LD_LIBRARY_PATH, the cache, the system directories),
// never by a path relative to the current directory.
#pragma once

#include "ui/dialog_seams.h"

class SharedInterfaceLibrary final : public InterfaceLibrary {
public:
    explicit SharedInterfaceLibrary(const char* name = "libchronifn.so") : name_(name) {}
    ~SharedInterfaceLibrary() override { Release(); }
    SharedInterfaceLibrary(const SharedInterfaceLibrary&) = delete;
    SharedInterfaceLibrary& operator=(const SharedInterfaceLibrary&) = delete;

    bool Load() override;
    bool FindEntry() override;
    TDcfState* GetDcfPtr(int32_t request) override;
    void Release() override;

private:
    using Entry = TDcfState* (*)(int32_t);
    const char* name_;
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
};
