#include <gtest/gtest.h>

#include "clock/clock_setting.h"

namespace {

// /dev/full opens like any file and fails every write with ENOSPC, as a full
// disk does: the entry is lost and must not be reported as written.
TEST(LogEntry, FullDiskIsNotReportedAsWritten) {
    EXPECT_FALSE(WriteLogEntry("/dev/full", "Zeiteinstellung: %s\n", "05.03.98 14:07:00",
                               "Syn.vers.       0", true));
}

}  // namespace
