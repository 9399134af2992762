// Edge logs: one edge a line, "LEVEL STAMP_MS", as the sampler posts them;
// '#' starts a comment line. Every program that writes or reads one comes here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
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

// The longest line FormatEdgeLine writes: "1 4294967295\n".
constexpr std::size_t kEdgeLineMax = 13;

// Writes the edge's line with its line feed into `out` (room for kEdgeLineMax
// characters, no terminating zero) and returns its length.
std::size_t FormatEdgeLine(Edge edge, char* out);

// Whether Windows would open a device instead of a file by this path's last
// component: CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$ and CONOUT$, in
// any case, with any extension ("com1.log" is the port COM1).
bool IsReservedDeviceName(std::string_view path);

// Per platform (input/<platform>/edge_log_<platform>.cpp): whether `path`
// names something that exists but is no regular file (a FIFO, a device, a folder).
bool NamesNonRegularFile(const char* path);

// An edge log being recorded live: each edge appended and flushed as it comes,
// so a program that is stopped loses nothing it has received.
class EdgeRecorder {
public:
    EdgeRecorder() = default;
    ~EdgeRecorder();
    EdgeRecorder(const EdgeRecorder&) = delete;
    EdgeRecorder& operator=(const EdgeRecorder&) = delete;

    // Opens `path` for appending. False, with the reason in `why`, for a name
    // Windows would take for a device, for anything but a regular file and
    // for a file that cannot be opened.
    bool Open(const char* path, std::string& why);
    bool IsOpen() const { return file_ != nullptr; }
    // A '#' line, e.g. where the edges come from.
    void Comment(const std::string& text);
    void Record(Edge edge);

private:
    std::FILE* file_ = nullptr;
};
