#include <sys/stat.h>

#include "input/edge_log.h"

bool NamesNonRegularFile(const char* path) {
    struct stat info{};
    return stat(path, &info) == 0 && !S_ISREG(info.st_mode);
}
