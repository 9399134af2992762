// What the Linux drivers share: a descriptor that closes itself, the errors
// of a device that went away, and the drivers of lines the kernel watches
// itself (a PPS source, a GPIO line), named by their device strings.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "input/port_driver.h"

class Descriptor {
public:
    Descriptor() = default;
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    // Character devices only: a mapped regular file is no port.
    bool Open(const std::string& name, int flags) {
        Reset();
        if (name.empty()) return false;
        fd_ = open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
        struct stat info{};
        if (fd_ >= 0 && fstat(fd_, &info) == 0 && S_ISCHR(info.st_mode)) return true;
        Reset();
        return false;
    }
    void Reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    int Get() const { return fd_; }

private:
    int fd_ = -1;
};

inline bool VanishedDevice(int error) { return error == EIO || error == ENODEV || error == ENXIO; }

// The driver for "pps:/dev/ppsN" or "gpio:/dev/gpiochipN:LINE[:active-low][:pull-up]"
// on any port button; nullptr for every other device.
std::unique_ptr<PortDriver> MakeLineDriver(const std::string& device);
