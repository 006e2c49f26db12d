// Live subcommands of the ibt tool, and what they share with the broker ones.
#pragma once

#include <chrono>

// ibt publish FILE [--rate HZ] [--loop]: publishes a recording as live telemetry.
int ibtPublish(int argc, char** argv);
// ibt watch [--from URL] [--count N] [--timeout-ms T] COLUMN...: prints live
// or shared records as CSV.
int ibtWatch(int argc, char** argv);

// The slowest and the fastest publishing rate, and the longest wait for
// telemetry: a day. A period of 1000 s and a day in nanoseconds are far below
// what the clock's count could overflow on.
const double kMinRate = 0.001, kMaxRate = 1e6;
const long long kMaxTimeoutMs = 24LL * 60 * 60 * 1000;

// Ctrl-C and SIGTERM ask a running command to stop, from ibtCatchStop until
// ibtReleaseStop.
void ibtCatchStop();
void ibtReleaseStop();
bool ibtStopRequested();

// Takes argv[*i] (and its value) when it is an option of a replay:
// --rate HZ or --loop. Returns 1 when taken, 0 when it is not one, 2 after
// printing one line for a bad rate.
int ibtReplayOption(const char* command, int argc, char** argv, int* i, double* rate, bool* loop);

// Sleeps until the deadline in short steps so that Ctrl-C is noticed at any
// rate; false when a stop was requested.
bool ibtSleepUntil(std::chrono::steady_clock::time_point deadline);
