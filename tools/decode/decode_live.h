// Live mode of chronvk-decode: the real sampler on a port feeds the same
// per-edge engine a replay uses.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tools/decode/decode_session.h"

struct LiveOptions {
    int32_t portCode = 0;
    const char* device = nullptr;      // overrides the port's mapped device
    const char* recordPath = nullptr;  // every edge is appended here as an edge log
};

// Receives until Ctrl-C. Returns the exit status: 0 after Ctrl-C, 1 when the
// port or the record file cannot be opened.
int DecodeLive(const LiveOptions& live, DecodeSession& session, std::FILE* out, std::FILE* err);
