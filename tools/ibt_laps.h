// The lap commands of the ibt tool, and the reading of a recording's laps
// that they share with the reference and comparison commands.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "LapTiming.h"

class irsdkDiskClient;

// Every remaining record of an open recording as the lap logic reads it;
// alsoRead, when given, is called on each record after it was read, for
// further variables.
std::vector<LapSample> ibtLapSamples(irsdkDiskClient& reader,
                                     const std::function<void(const irsdkDiskClient&)>& alsoRead = {});

// The laps of an open recording driven from start line to start line; false,
// with the one-line message printed for `command`, when the recording lacks
// the variables lap timing needs or holds no such lap.
bool ibtCompletedLaps(irsdkDiskClient& reader, const std::string& path, const char* command,
                      std::vector<CompletedLap>* laps,
                      const std::function<void(const irsdkDiskClient&)>& alsoRead = {});

// The fastest of the laps by their time from line to line, the first of
// equals; laps must not be empty.
size_t ibtFastestLap(const std::vector<CompletedLap>& laps);

// The lap with this number; null when none.
const CompletedLap* ibtFindLap(const std::vector<CompletedLap>& laps, int number);

// ibt laps FILE: one line per completed lap.
int ibtLaps(int argc, char** argv);

// ibt delta FILE LAP REFLAP: the time between two laps through the lap, as CSV.
int ibtDelta(int argc, char** argv);
