// An edge handler that keeps levels and stamps in arrival order and publishes
// their count for a thread that waits to stop the reception.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "input/live_receiver.h"

class CountEdges final : public EdgeHandler {
public:
    void OnEdge(uint8_t level, int32_t stamp) override {
        levels += static_cast<char>('0' + level);
        stamps.push_back(stamp);
        count = static_cast<int>(levels.size());
    }
    void OnEdgeAt(uint8_t level, int32_t stamp, int64_t instantNs) override {
        instants.push_back(instantNs);
        OnEdge(level, stamp);
    }
    std::string levels;
    std::vector<int32_t> stamps;
    std::vector<int64_t> instants;  // of the edges that came with one
    std::atomic<int> count{0};
};
