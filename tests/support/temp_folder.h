// Temporary files and folders of a test process, in the system's temporary
// folder and named after the process, so that tests running side by side do
// not meet.
#pragma once

#include <string>

// A path in the temporary folder unique to this process and tag; nothing is
// created, and whatever the test puts there is removed as the process ends
// (kept when OVERLAY_TEST_KEEP is set).
std::string tempPath(const std::string& tag);

// A fresh, empty folder removed with everything in it, and the lock file a
// store beside it names after it, at the end of its scope (kept when
// OVERLAY_TEST_KEEP is set, for a look afterwards).
class TempFolder {
public:
    explicit TempFolder(const std::string& tag = "folder");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return folder; }
    std::string file(const std::string& name) const { return folder + "/" + name; }

private:
    std::string folder;
};
