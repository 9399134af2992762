// Stands in for the interface library: a DLL of that name, without its entry.
extern "C" __declspec(dllexport) int StandIn() { return 0; }
