// The reference-lap subcommand of the ibt tool.
#pragma once

// ibt reference import FILE [--force] | list | remove TRACK CAR: the best laps
// kept per track and car for the overlay's live runs.
int ibtReference(int argc, char** argv);
