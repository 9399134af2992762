// The port sampler: opens the chosen port, switches the receiver on, reads the
// line every 25 ms on the timer's thread and posts every change of level with a
// millisecond stamp to the edge sink. One program-wide instance.
#pragma once

#include <cstdint>

#include "input/port_driver.h"
#include "input/sim_receiver.h"

class EdgeClock;
class MillisecondClock;
class ProfileReader;

// Window thread. Opening while a port is open closes that one first.
bool OpenPort(EdgeSink& sink, int32_t portCode);
void ClosePort();

// Code of the last successful OpenPort; the dialog sets it before its first
// open and opens it again after a setting pause. ClosePort keeps it.
int32_t ActivePort();
void SetActivePort(int32_t portCode);
// Whether the port in use is the simulated receiver: set by each successful
// OpenPort, kept through ClosePort (a setting pause) and a failed open. Edges
// it posted may still be queued after a switch, so a port that did not open
// changes nothing.
bool ActivePortSimulated();

// The edge message's second parameter holds the stamp in its low 32 bits (it
// is 64 bits wide on x86_64 Windows); reception reads them as signed.
inline int32_t EdgeStampFromParam(uint64_t param) { return static_cast<int32_t>(static_cast<uint32_t>(param)); }

// One tick of the sampling timer (the body of TCB).
void SamplerTick();
// Event mode: one wait of the waiting thread for the line, and the posting
// of what it found, each edge with its instant. false: no more waits, the
// line is to be sampled (the driver refused waits) or is gone.
bool SamplerWait();

// Event mode (EVENTS=1): the ports opened from now on report their edges as
// the system sees them, each stamped at its own instant, where the device
// allows; otherwise the line is sampled every 25 ms. Window thread.
void SetPortEvents(bool events);
bool PortEvents();

// Seams, for the program's start-up and for tests; nullptr restores the
// default (the machine's ports, the system's millisecond clock, no profile,
// the system's UTC for the simulated receiver). Change them only while closed;
// a new platform also forgets the active port and the last level.
void SetPortPlatform(PortPlatform* platform);
void SetSamplerClock(MillisecondClock* clock);
void SetSamplerEdgeClock(EdgeClock* clock);
void SetSimulatedUtc(UtcSourceFn utcNow);
void SetPortProfile(const ProfileReader* profile);
const ProfileReader* CurrentPortProfile();
