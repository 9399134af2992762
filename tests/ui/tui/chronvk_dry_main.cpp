// chronvk as the tests run it: the same program, but it can only pretend to set the clock.
#include "ui/tui/chronvk_app.h"

int main(int argc, char** argv) { return RunChronvk(argc, argv, nullptr); }
