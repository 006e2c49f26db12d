// Live subcommands of the ibt tool.
#pragma once

// ibt publish FILE [--rate HZ] [--loop]: publishes a recording as live telemetry.
int ibtPublish(int argc, char** argv);
// ibt watch [--count N] [--timeout-ms T] COLUMN...: prints live records as CSV.
int ibtWatch(int argc, char** argv);
