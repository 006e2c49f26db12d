// The user's own files: the folders where per-user settings and kept data
// live, whole-file reads of small files, a lock that serialises the programs
// that change one file, and a write that replaces a file without ever
// leaving a half-written one behind. One implementation per platform, chosen
// by the build.
#pragma once

#include <cstdint>
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

// The project's folder for state worth keeping across starts but not worth
// saving, such as the last run's log: $XDG_STATE_HOME (~/.local/state) on
// POSIX systems, %LOCALAPPDATA% on Windows, followed by the project's folder.
std::string stateFolder(std::string* error);

// The project's folder for what lives only while a program runs, such as the
// lock of the one running copy: $XDG_RUNTIME_DIR on POSIX systems (the
// state folder when it is unset or relative), %LOCALAPPDATA% on Windows,
// followed by the project's folder.
std::string runtimeFolder(std::string* error);

// mkdir -p: creates a folder and the parents it lacks, new ones readable by
// their owner only on POSIX systems. False, with *error set, when one cannot
// be created or a file stands where a folder should.
bool createFolders(const std::string& folder, std::string* error);

enum class ReadStatus { Ok, Missing, Failed };

// Reads a whole regular file of at most maxBytes bytes. Opening never
// blocks: a FIFO, a device or a folder is refused at once. Missing when the
// file does not exist; Failed when it cannot be read, is not a regular file
// or is larger than maxBytes. *error says why in both cases.
ReadStatus readFile(const std::string& path, size_t maxBytes, std::string* contents, std::string* error);

// An exclusive lock shared between processes, held while the guard lives:
// programs that read, change and replace the same file take it around all
// three, so that none of them writes over what another has just written.
// The lock file is created (with its folders) when missing and stays.
class FileLock {
public:
    // Waits up to waitMs for another holder to let go; 0 only tries.
    FileLock(const std::string& lockPath, int waitMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return locked; }
    // Not held because another holder kept it for the whole wait.
    bool heldElsewhere() const { return busy; }
    // Why the lock is not held.
    const std::string& error() const { return why; }

private:
    intptr_t handle; // the platform's file descriptor or handle
    bool locked = false;
    bool busy = false;
    std::string why;
};

// The part of a temporary's name between the name of the file it replaces
// and a part unique to its writer: "settings.toml.~partial-write~aB3xY9". No
// person names a file so, and only files named so are ever swept.
inline constexpr char kTemporaryInfix[] = ".~partial-write~";

// Writes contents to path through a new file in the same folder that is
// flushed to disk and then renamed over path, so that a reader (or a crash at
// any moment) sees either the old file or the whole new one. A symbolic link
// is written through to the file it names, and an existing file keeps its
// permissions; a read-only file, or anything but a regular file, is left as
// it is. Creates the folder, and its parents, when missing. False, with
// *error set, on failure; the old file is then untouched.
bool writeFileAtomically(const std::string& path, const std::string& contents, std::string* error);

// Removes the temporary files that writeFileAtomically left behind when its
// process was killed before the rename: those of the file `path` names (or,
// when its last part is "*ENDING", of every file in that folder whose name
// ends in ENDING), at least ten minutes old, and only while the writers'
// lock at lockPath is free, so that never one of a live writer. Does
// nothing when the folder does not exist, or when `path` is a symbolic link:
// the folder it leads to is the user's own.
void removeStaleTemporaries(const std::string& path, const std::string& lockPath);

// Leaves a file readable and writable by its owner only (one that holds a
// password); *narrowed tells whether others could read or write it before.
// On Windows the user's own folders are closed to other users already, and
// nothing is changed. False, with *error set, when it cannot be done.
bool restrictToOwner(const std::string& path, bool* narrowed, std::string* error);

// Deletes a file; a missing file counts as deleted.
bool removeFile(const std::string& path, std::string* error);

} // namespace userfiles
