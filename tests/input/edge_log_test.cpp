#include "input/edge_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EdgeLog, LineKinds) {
    struct Case { const char* line; EdgeLineKind kind; uint8_t level; uint32_t stamp; };
    const Case cases[] = {
        {"1\t4294967295", EdgeLineKind::Edge, 1, 4294967295u},
        {"  1 \t 0  ", EdgeLineKind::Edge, 1, 0},
        {"0 000123", EdgeLineKind::Edge, 0, 123},
        {"0 5\r", EdgeLineKind::Edge, 0, 5},
        {"", EdgeLineKind::Ignored, 0, 0},
        {"# 0 10000", EdgeLineKind::Ignored, 0, 0},
        {"0\v5", EdgeLineKind::Bad, 0, 0},
        {" # indented comment", EdgeLineKind::Bad, 0, 0},
        {"2 10000", EdgeLineKind::Bad, 0, 0},
        {"01 10000", EdgeLineKind::Bad, 0, 0},
        {"0 4294967296", EdgeLineKind::Bad, 0, 0},
        {"0 99999999999999999999999", EdgeLineKind::Bad, 0, 0},
        {"0 +1", EdgeLineKind::Bad, 0, 0},
        {"0", EdgeLineKind::Bad, 0, 0},
        {"0 1 2", EdgeLineKind::Bad, 0, 0},
    };
    for (const Case& c : cases) {
        const EdgeLine parsed = ParseEdgeLine(c.line);
        EXPECT_EQ(parsed.kind, c.kind) << '"' << c.line << '"';
        if (c.kind == EdgeLineKind::Edge) {
            EXPECT_EQ(parsed.edge.level, c.level) << c.line;
            EXPECT_EQ(parsed.edge.stamp, c.stamp) << c.line;
        }
        if (c.kind == EdgeLineKind::Bad) {
            EXPECT_NE(parsed.why, nullptr) << c.line;
        }
    }
}

TEST(EdgeLog, TheLongestLineFitsItsBuffer) {
    char line[kEdgeLineMax];
    EXPECT_EQ(std::string(line, FormatEdgeLine({1, 4294967295u}, line)), "1 4294967295\n");
}

TEST(EdgeLog, WindowsDeviceNamesAreNoFiles) {
    for (const char* name : {"com1.log", "CON", "nul", "LPT1", "aux.txt", "PRN", "logs/Com9.edges", "d:\\x\\lpt2.",
                             "nul .txt", "conout$"})
        EXPECT_TRUE(IsReservedDeviceName(name)) << name;
    for (const char* name : {"com10.log", "com0", "console.log", "com1x.log", "edges.log", "com/log", "lpt"})
        EXPECT_FALSE(IsReservedDeviceName(name)) << name;
}

}  // namespace
