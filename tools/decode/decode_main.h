// chronvk-decode: replays an edge log through the real decoder and prints, per
// edge, every text the program's window would redraw.
#pragma once

#include <cstdio>

// Runs the tool: arguments as main gets them, the log from `in` unless a file
// is named. Returns the exit status (0, or 2 for bad arguments or input).
int DecodeMain(int argc, char** argv, std::FILE* in, std::FILE* out, std::FILE* err);
