// The demo-session synthesizer: a deterministic simulated car that leaves the
// pits and drives laps of a short closed track, written as a recording.
#pragma once

#include <string>
#include <vector>

// Samples per second of a demo recording.
static const int DEMO_TICK_RATE = 60;

// Writes a demo session to `path`: a few seconds standing in the pit box, an
// out lap, then `laps` timed laps and a couple of seconds beyond the last
// line. The same laps and seed give the same file. False on a bad argument
// or when the file cannot be written.
bool writeDemoSession(const std::string& path, int laps, unsigned seed);

// Writes exactly `records` samples of a demo session that drives as many
// laps as needed (60 records a second; 216,000 make an hour).
bool writeDemoRecords(const std::string& path, long long records, unsigned seed);

// Lap times of the timed laps a demo session with this seed would drive, in
// order, without writing anything.
std::vector<double> demoLapTimes(int laps, unsigned seed);

// Length of the demo track's lap in metres.
double demoTrackLength();
