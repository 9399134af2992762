// chronvk-decode as a front-end of the program's dialog: every edge goes
// through the same handler the program's window uses, and the controls and
// events a user would see are printed as lines. The clock is never set for
// real here: the dry-run clock takes every setting.
//
// A plain replay prints the reception texts, the clock settings and (with
// dump) the record. With `program` the whole running program is replayed in
// virtual time taken from the stamps: ports, pauses, countdowns, boxes, the
// file-server setter and the close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct DecodeOptions {
    uint8_t polarity = 0;
    bool receptionTest = false;
    bool utc = false;
    bool dump = false;
    bool strict = false;
    bool robust = false;
    // The running program, with the settings its profile would hold.
    bool program = false;
    bool autoEnd = false;
    std::string minutes = "0";  // the profile's text, read as "CYCLE" is
    bool log = false;
    bool server = false;
    std::string com = "2";
    uint32_t runOnSeconds = 0;  // virtual time after the last edge
    bool chart = false;         // keep every minute's quality figures for a chart
};

class QualityChart;

class DecodeSession {
public:
    // Starts reception afresh; the dialog is set up at the first edge.
    explicit DecodeSession(const DecodeOptions& options);
    ~DecodeSession();
    DecodeSession(const DecodeSession&) = delete;
    DecodeSession& operator=(const DecodeSession&) = delete;

    // Handles the next edge (and, in program mode, the timer ticks due
    // before it) and appends the output lines to `out`.
    void OnEdge(uint8_t level, uint32_t stamp, std::string& out);
    // The input has ended: the ticks of the run-on time.
    void Finish(std::string& out);

    uint64_t EdgeCount() const;
    // The program has closed: the replay is over.
    bool Closed() const;
    // The minutes so far, when the options asked for a chart; else nullptr.
    const QualityChart* Chart() const;

    class Program;

private:
    std::unique_ptr<Program> program_;
};
