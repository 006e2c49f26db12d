// Command-line pieces shared by the ibt commands: the help switch, the one
// form of a usage error, and numbers checked against the range an option
// allows.
#pragma once

#include <string>

// True when an argument after the command name is --help or -h.
bool ibtWantsHelp(int argc, char** argv);

// Prints the help text on standard output; returns exit status 0.
int ibtHelp(const char* text);

// Prints "ibt: COMMAND: MESSAGE" (without "COMMAND: " when command is null)
// as one line on standard error; returns exit status 2.
int ibtError(const char* command, const std::string& message);

// A whole number in [lo, hi] written with decimal digits only (no sign, no
// blanks, nothing after it); false for anything else, including null.
bool ibtParseWhole(const char* text, long long lo, long long hi, long long& out);

// A finite decimal number above 0 and at most hi; false for anything else,
// including null, NaN, infinities and trailing text.
bool ibtParsePositive(const char* text, double hi, double& out);
