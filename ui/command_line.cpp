#include "ui/command_line.h"

#include <cstring>

#include "network/network.h"
#include "reception/dcf_state.h"

void ApplyCommandLine(int argc, const char* const* argv) {
    dcfPtr = &ownDcfState;
    if (argc >= 2 && std::strcmp(argv[1], "1") == 0) ownDcfState.polarity = 1;
    if (argc >= 3 && std::strcmp(argv[2], "N") == 0) groupNameNumber = -1;
}
