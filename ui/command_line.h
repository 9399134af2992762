// The entry's two optional arguments, read before any window exists.
#pragma once

// Argument 1 exactly "1" sets polarity in the program's own record; argument 2
// exactly "N" marks the network as off (groupNameNumber -1). Whole-string,
// case-sensitive comparisons; anything else is ignored without a word.
void ApplyCommandLine(int argc, const char* const* argv);
