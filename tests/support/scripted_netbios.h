// A NetBIOS driver that answers from a script and writes each call to `trace`
// as command, adapter and name ("group1:CHRONVK"; a send shows its call name),
// with a clock that only Pause moves, so that a send can complete "later"
// without a real wait.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "network/netbios_driver.h"

class ScriptedNetbios final : public NetbiosDriver {
public:
    static constexpr uint32_t kNever = UINT32_MAX;

    explicit ScriptedNetbios(int adapter = 0, uint8_t group = nb::kGoodReturn,
                             uint8_t unique = nb::kGoodReturn)
        : presentAdapter(adapter), groupResult(group), uniqueResult(unique) {}

    uint8_t Netbios(nb::NCB* block) override {
        const std::string lana = std::to_string(block->ncb_lana_num);
        switch (block->ncb_command) {
        case nb::kCmdReset:
            Trace("reset" + lana);
            return Finish(*block, nb::kGoodReturn);
        case nb::kCmdAddGroupName:
        case nb::kCmdAddName: {
            const bool group = block->ncb_command == nb::kCmdAddGroupName;
            Trace((group ? "group" : "add") + lana + ":" + Name(block->ncb_name));
            const uint8_t result = group ? groupResult : uniqueResult;
            block->ncb_num = result == nb::kGoodReturn ? nextNumber_++ : 0;
            return Finish(*block, result);
        }
        case nb::kCmdDeleteName:
            Trace("delete" + lana + ":" + Name(block->ncb_name));
            return Finish(*block, nb::kGoodReturn);
        case nb::kCmdDatagramSend | nb::kAsynch:
            Trace("send" + lana + ":" + Name(block->ncb_callname));
            payloads.emplace_back(block->ncb_buffer, block->ncb_buffer + block->ncb_length);
            if (sendMs == 0) return Finish(*block, nb::kGoodReturn);
            block->ncb_retcode = block->ncb_cmd_cplt = nb::kPending;
            inFlight_ = block;
            return nb::kGoodReturn;
        default:  // the probe among them: an adapter that is there knows no such command
            Trace((block->ncb_command == nb::kCmdProbe ? "probe" : "?") + lana);
            return Finish(*block, block->ncb_lana_num == presentAdapter ? nb::kIllegalCommand
                                                                        : nb::kInvalidAdapter);
        }
    }

    void Pause(uint32_t ms) override {
        nowMs += ms;
        if (inFlight_ != nullptr && nowMs >= sendMs) {
            Finish(*inFlight_, nb::kGoodReturn);
            inFlight_ = nullptr;
        }
    }

    void Trace(const std::string& call) { trace += (trace.empty() ? "" : " ") + call; }

    int presentAdapter;  // the adapter whose probe answers "illegal command"; -1: none
    uint8_t groupResult, uniqueResult;
    uint32_t sendMs = 0;  // until when (on nowMs) a send stays pending

    std::string trace;
    std::vector<std::vector<uint8_t>> payloads;  // of each send
    uint32_t nowMs = 0;

private:
    static uint8_t Finish(nb::NCB& block, uint8_t code) {
        return block.ncb_retcode = block.ncb_cmd_cplt = code;
    }
    // The name without its space padding: any other filler would show.
    static std::string Name(const uint8_t (&bytes)[nb::kNameSize]) {
        std::string name(bytes, bytes + nb::kNameSize);
        return name.erase(name.find_last_not_of(' ') + 1);
    }

    uint8_t nextNumber_ = 2;
    nb::NCB* inFlight_ = nullptr;
};
