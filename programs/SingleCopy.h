// One running copy of a program per user: the first copy holds a claim for
// its whole run (a lock on a file in the user's runtime folder on POSIX
// systems, a named mutex on Windows) and a later copy finds it taken. The
// system lets go of the claim when the process ends, however it ends. One
// implementation per platform.
#pragma once

#include <string>

enum class CopyClaim {
    Only,        // this process is the one running copy
    AnotherRuns, // a copy that runs holds the claim
    Unknown,     // the claim could not be made; *error says why
};

// Claims the one running copy of `program` for this process, until it ends.
// Made before the program touches anything a running copy owns (its log,
// its windows).
CopyClaim claimOnlyCopy(const char* program, std::string* error);
