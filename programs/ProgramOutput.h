// Where a program that runs without a terminal tells the user things: on
// Windows, where telemetry-overlay opens no console, its standard output and
// error go to a log file in the user's local data folder, and a failure that
// stops it at start is also shown in a message box. On POSIX systems they go
// to a log file in the user's state folder when standard error is not a
// terminal (a desktop launcher's start), and stay on the terminal otherwise.
// One implementation per platform.
#pragma once

#include <string>

// The program's log file; empty where it has none.
std::string logFilePath(const char* program);

// When the log file is written, for the usage text: "" where always.
extern const char* const kLogFileWhen;

// Sends standard output and error to the program's log file, written anew
// at each start. Nothing where the program has no log file, and on POSIX
// systems nothing while standard error is a terminal or the environment
// variable TELEMETRY_OVERLAY_NO_LOG_FILE is set and not empty (tests that
// read what the program says where they sent it).
void useLogFile(const char* program);

// For an answer the user waits for (the usage text): where the program's
// output was sent by its caller, else the console it was started from, else
// the log file.
void useCallersOutput(const char* program);

// A failure that stops the program at start: one line on standard error
// (so in the log), and on Windows a message box as well, unless the
// environment variable TELEMETRY_OVERLAY_NO_MESSAGE_BOX is set (for tests).
void reportStartFailure(const char* program, const std::string& message);
