// The user's own files: the folders where per-user settings and kept data
// live, whole-file reads of small files, and a write that replaces a file
// without ever leaving a half-written one behind. One implementation per
// platform, chosen by the build.
#pragma once

#include <string>

namespace userfiles {

// Name of the folder that holds this project's files inside the user's
// configuration and data folders.
extern const char* const kProjectFolder;

// The project's folder for settings: $XDG_CONFIG_HOME (~/.config when unset,
// empty or relative) on POSIX systems, %APPDATA% on Windows, followed by the
// project's folder. Empty, with *error set, when no home folder is known. The
// folder may not exist yet.
std::string configFolder(std::string* error);

// The project's folder for kept data: $XDG_DATA_HOME (~/.local/share) on
// POSIX systems, %LOCALAPPDATA% on Windows, followed by the project's folder.
std::string dataFolder(std::string* error);

enum class ReadStatus { Ok, Missing, Failed };

// Reads a whole file of at most maxBytes bytes. Missing when the file does
// not exist; Failed, with *error saying why, when it cannot be read or is
// larger than maxBytes.
ReadStatus readFile(const std::string& path, size_t maxBytes, std::string* contents, std::string* error);

// Writes contents to path through a new file in the same folder that is
// flushed to disk and then renamed over path, so that a reader (or a crash at
// any moment) sees either the old file or the whole new one. Creates the
// folder, and its parents, when missing. False, with *error set, on failure;
// the old file is then untouched.
bool writeFileAtomically(const std::string& path, const std::string& contents, std::string* error);

// Deletes a file; a missing file counts as deleted.
bool removeFile(const std::string& path, std::string* error);

} // namespace userfiles
