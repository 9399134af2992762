// An edge handler for live reception: it keeps the levels in arrival order and
// publishes their count for a thread that waits to stop the reception.
#pragma once

#include <atomic>
#include <string>

#include "input/live_receiver.h"

class CountEdges final : public EdgeHandler {
public:
    void OnEdge(uint8_t level, int32_t) override {
        levels += static_cast<char>('0' + level);
        count = static_cast<int>(levels.size());
    }
    std::string levels;
    std::atomic<int> count{0};
};
