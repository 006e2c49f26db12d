// Where a program finds the files it reads at run time (the Shaders folder,
// the bundled font): the working directory, as a program run from its build
// or unpacked folder has always found them; else the folder of the program
// itself, as the unpacked archives lay them out; else the installed data
// folder, ../share/telemetry-overlay from the program (/usr/bin and
// /usr/share/telemetry-overlay for the package).
#pragma once

#include <string>
#include <vector>

namespace Qvis {

// The folders searched, in order: "" for the working directory (whose files
// keep their relative paths), then the program's folder and the installed
// data folder, each ending in a separator. Only the working directory when
// the program's own path cannot be found.
std::vector<std::string> resourceFolders();

// The folders in a line for a message: "the working directory /home/u,
// /opt/x and /opt/share/telemetry-overlay".
std::string describeResourceFolders(const std::vector<std::string>& folders);

// The path of `file` (relative, e.g. "LiberationSans-Regular.ttf") in the
// first folder that holds it as a readable file; empty when none does.
std::string findResource(const std::string& file);

// The first of `files` (relative paths) that cannot be opened and read in
// `folder`, with the system's reason ("Shaders/font.vs: No such file or
// directory"); empty when all can. Reading a byte also refuses a folder
// standing where a file should be.
std::string unreadableResource(const std::string& folder, const std::vector<std::string>& files);

} // namespace Qvis
