// A NetBIOS driver that answers from a script and records every call, with a
// clock that only Pause moves, so that a send can complete "later" without a
// real wait.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "network/netbios_driver.h"

class ScriptedNetbios final : public NetbiosDriver {
public:
    struct Call {
        nb::NCB* block = nullptr;
        uint8_t command = 0;
        uint8_t lana = 0;
        std::array<uint8_t, nb::kNameSize> name{};
        std::array<uint8_t, nb::kNameSize> callname{};
        uint8_t number = 0;
        std::vector<uint8_t> payload;
    };
    enum class SendCompletion { Immediately, Never, AfterDelay };

    // The adapter whose probe answers "illegal command"; -1: none.
    int presentAdapter = 0;
    uint8_t groupResult = nb::kGoodReturn;
    uint8_t uniqueResult = nb::kGoodReturn;
    SendCompletion sendCompletion = SendCompletion::Immediately;
    uint32_t sendDelayMs = 0;

    std::vector<Call> calls;
    uint32_t nowMs = 0;

    uint8_t Netbios(nb::NCB* block) override {
        Call call;
        call.block = block;
        call.command = block->ncb_command;
        call.lana = block->ncb_lana_num;
        std::memcpy(call.name.data(), block->ncb_name, nb::kNameSize);
        std::memcpy(call.callname.data(), block->ncb_callname, nb::kNameSize);
        call.number = block->ncb_num;
        if (block->ncb_buffer != nullptr) {
            call.payload.assign(block->ncb_buffer, block->ncb_buffer + block->ncb_length);
        }
        calls.push_back(call);
        return Answer(*block);
    }

    void Pause(uint32_t ms) override {
        nowMs += ms;
        if (inFlight_ != nullptr && sendCompletion == SendCompletion::AfterDelay &&
            nowMs - sentAtMs_ >= sendDelayMs) {
            Finish(*inFlight_, nb::kGoodReturn);
            inFlight_ = nullptr;
        }
    }

    std::vector<Call> CallsOf(uint8_t command) const {
        std::vector<Call> found;
        for (const Call& call : calls) {
            if (call.command == command) found.push_back(call);
        }
        return found;
    }

private:
    static uint8_t Finish(nb::NCB& block, uint8_t code) {
        block.ncb_retcode = code;
        block.ncb_cmd_cplt = code;
        return code;
    }

    uint8_t Answer(nb::NCB& block) {
        switch (block.ncb_command) {
        case nb::kCmdProbe:
            return Finish(block, block.ncb_lana_num == presentAdapter ? nb::kIllegalCommand
                                                                      : nb::kInvalidAdapter);
        case nb::kCmdReset:
            return Finish(block, nb::kGoodReturn);
        case nb::kCmdAddGroupName:
            block.ncb_num = groupResult == nb::kGoodReturn ? nextNumber_++ : 0;
            return Finish(block, groupResult);
        case nb::kCmdAddName:
            block.ncb_num = uniqueResult == nb::kGoodReturn ? nextNumber_++ : 0;
            return Finish(block, uniqueResult);
        case nb::kCmdDeleteName:
            return Finish(block, nb::kGoodReturn);
        case nb::kCmdDatagramSend | nb::kAsynch:
            if (sendCompletion == SendCompletion::Immediately) return Finish(block, nb::kGoodReturn);
            block.ncb_retcode = nb::kPending;
            block.ncb_cmd_cplt = nb::kPending;
            inFlight_ = &block;
            sentAtMs_ = nowMs;
            return nb::kGoodReturn;
        default:
            return Finish(block, nb::kIllegalCommand);
        }
    }

    uint8_t nextNumber_ = 2;
    nb::NCB* inFlight_ = nullptr;
    uint32_t sentAtMs_ = 0;
};
