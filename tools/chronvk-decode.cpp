#include <cstdio>

#include "tools/decode/decode_main.h"

int main(int argc, char** argv) { return DecodeMain(argc, argv, stdin, stdout, stderr); }
