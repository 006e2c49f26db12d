// Command-line pieces shared by the ibt commands: the help switch, the one
// form of a usage error, numbers checked against the range an option
// allows, and opening a recording named on the command line.
#pragma once

#include <string>

class irsdkDiskClient;

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

// Opens the recording at path, telling a file that cannot be read apart from
// one that is not a recording, in one line as ibtError prints it. Only a
// regular file is opened at all: a FIFO or a device would block or never
// end. False once the message is printed.
bool ibtOpenRecording(irsdkDiskClient& reader, const std::string& path, const char* command);
