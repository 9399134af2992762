#include "input/edge_log.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next field, skipping blanks before it.
std::string_view NextField(std::string_view& rest) {
    std::size_t start = 0;
    while (start < rest.size() && IsBlank(rest[start])) ++start;
    std::size_t end = start;
    while (end < rest.size() && !IsBlank(rest[end])) ++end;
    const std::string_view field = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return field;
}

EdgeLine Bad(const char* why) { return {EdgeLineKind::Bad, {}, why}; }

}  // namespace

EdgeLine ParseEdgeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '#') return {EdgeLineKind::Ignored, {}, nullptr};
    if (line.find_first_not_of(" \t\r\v\f") == std::string_view::npos) {
        return {EdgeLineKind::Ignored, {}, nullptr};
    }

    std::string_view rest = line;
    const std::string_view level = NextField(rest);
    const std::string_view stamp = NextField(rest);
    const std::string_view extra = NextField(rest);

    if (level != "0" && level != "1") return Bad("level must be 0 or 1");
    if (stamp.empty()) return Bad("missing time stamp");
    if (!extra.empty()) return Bad("more than two fields");

    uint64_t value = 0;
    for (char c : stamp) {
        if (c < '0' || c > '9') return Bad("time stamp must be a decimal number");
        value = value * 10u + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) return Bad("time stamp out of range 0..4294967295");
    }
    return {EdgeLineKind::Edge, {static_cast<uint8_t>(level[0] - '0'), static_cast<uint32_t>(value)},
            nullptr};
}

std::size_t FormatEdgeLine(Edge edge, char* out) {
    char digits[10];
    std::size_t count = 0;
    uint32_t stamp = edge.stamp;
    do {
        digits[count++] = static_cast<char>('0' + stamp % 10);
        stamp /= 10;
    } while (stamp != 0);
    std::size_t used = 0;
    out[used++] = static_cast<char>('0' + edge.level);
    out[used++] = ' ';
    while (count > 0) out[used++] = digits[--count];
    out[used++] = '\n';
    return used;
}

bool IsReservedDeviceName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\:");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    // Windows ignores trailing blanks: "nul .txt" is NUL too.
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (upper == device) return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
           upper[3] <= '9';
}

EdgeRecorder::~EdgeRecorder() {
    if (file_) std::fclose(file_);
}

bool EdgeRecorder::Open(const char* path, std::string& why) {
    if (IsReservedDeviceName(path)) {
        why = "a device name on Windows, not a file";
        return false;
    }
    // A FIFO would hold the open (or, read by nobody, the first edge) for
    // good, and a device like /dev/full fails only when written to: both
    // would be found out minutes later or never.
    if (NamesNonRegularFile(path)) {
        why = "not a regular file";
        return false;
    }
    file_ = std::fopen(path, "a");
    if (!file_) why = std::strerror(errno);
    return file_ != nullptr;
}

void EdgeRecorder::Comment(const std::string& text) {
    if (!file_) return;
    std::fprintf(file_, "# %s\n", text.c_str());
    std::fflush(file_);
}

void EdgeRecorder::Record(Edge edge) {
    if (!file_) return;
    char line[kEdgeLineMax];
    std::fwrite(line, 1, FormatEdgeLine(edge, line), file_);
    std::fflush(file_);
}
