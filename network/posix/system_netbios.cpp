#include "network/posix/system_netbios.h"

#include <cstdio>
#include <random>

#include "network/netbios_driver.h"
#include "network/nbt_node.h"

namespace {

class PosixNetbios final : public NetbiosDriver {
public:
    PosixNetbios() : node_(transport_, static_cast<uint16_t>(std::random_device{}())) {}

    uint8_t Netbios(nb::NCB* block) override {
        const uint8_t code = node_.Netbios(block);
        // The program stays silent without the network, but on Linux the
        // usual cause is a missing privilege, which deserves one line.
        if (code == nb::kInvalidAdapter && block->ncb_lana_num == 0 && !told_) {
            told_ = true;
            std::fprintf(stderr, "chronvk: running without the network: %s\n",
                         transport_.FailureReason(0).c_str());
        }
        return code;
    }
    void Pause(uint32_t ms) override { node_.Pause(ms); }

    nbt::UdpTransport& Transport() { return transport_; }

private:
    nbt::UdpTransport transport_;
    nbt::Node node_;
    bool told_ = false;
};

PosixNetbios& Instance() {
    static PosixNetbios driver;
    return driver;
}

}  // namespace

NetbiosDriver& SystemNetbios() { return Instance(); }

nbt::UdpTransport& SystemNbtTransport() { return Instance().Transport(); }
