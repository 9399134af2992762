// The port sampler: opens the chosen port, switches the receiver on, reads the
// line every 25 ms on the timer's thread and posts every change of level with a
// millisecond stamp to the window. One program-wide instance, no object around it.
#pragma once

#include <atomic>
#include <cstdint>

#include "input/port_primitives.h"

class MillisecondClock;
class ProfileReader;

// Port codes: 1-4 COM1-COM4, 11-14 LPT1-LPT4, 20 the game port, 0 none.
constexpr int32_t kGamePortCode = 20;

// Device names by index: the port code itself up to 10, the code minus 6 above.
extern const char* const portDeviceNames[9];

// The kind by the two comparisons: below 10 serial, below 20 parallel, 20 game.
PortKind PortKindOf(int32_t portCode);
// One of the nine codes a port button stands for (0 is not among them).
bool IsPortButtonCode(int32_t portCode);

// The game port's marker in portHandle. Only a state marker: no device call is
// ever made with it, and which kind is open is never read from it.
constexpr DeviceHandle kGamePortMarker = 1;

// Sampler state. The timer's thread reads these, so they are atomic.
extern std::atomic<DeviceHandle> portHandle;   // invalid when nothing is open or sampling stalled
extern uint32_t samplingTimer;                  // window thread only; 0 when no timer runs
extern std::atomic<NotifyWindow> notifyWindow;
extern std::atomic<int32_t> activePort;         // code of the last successful OpenPort
extern std::atomic<uint8_t> lastLevel;          // survives ClosePort and OpenPort

// Window thread. OpenPort must only be called while nothing is open.
bool OpenPort(NotifyWindow window, int32_t portCode);
void ClosePort();

// The edge message's second parameter holds the stamp in its low 32 bits (it
// is 64 bits wide on x86_64 Windows); reception reads them as signed.
inline int32_t EdgeStampFromParam(uint64_t param) { return static_cast<int32_t>(static_cast<uint32_t>(param)); }

// One tick of the sampling timer (the body of TCB).
void SamplerTick();

// Seams, for the program's start-up and for tests; nullptr restores the
// default (the platform's primitives with the simulated receiver in front,
// the system's millisecond clock, no profile). Change them only while closed.
void SetPortPrimitives(PortPrimitives* primitives);
void SetSamplerClock(MillisecondClock* clock);
void SetPortProfile(const ProfileReader* profile);
const ProfileReader* CurrentPortProfile();
