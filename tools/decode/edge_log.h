// Edge logs: one edge a line, "LEVEL STAMP_MS", as the sampler posts them.
#pragma once

#include <cstdint>
#include <string_view>

struct Edge {
    uint8_t level;
    uint32_t stamp;
};

enum class EdgeLineKind { Edge, Ignored, Bad };

struct EdgeLine {
    EdgeLineKind kind;
    Edge edge;
    const char* why;  // for a bad line
};

// One line without its line feed. Lines of only white space and lines starting with '#' are
// ignored; anything but two fields (level 0 or 1, stamp 0..4294967295)
// separated by spaces or tabs is bad. A trailing carriage return is allowed so
// that logs written on Windows replay as they are.
EdgeLine ParseEdgeLine(std::string_view line);
