// The Steam launch helper with a stand-in Proton: a bad delay before the
// bridge is one line, and the game runs and ends with its own status.
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "child_process.h"
#include "files.h"
#include "temp_folder.h"

TEST(LaunchHelper, ABadDelayIsOneLineAndNeverTouchesTheGame)
{
    TempFolder dir("launch");
    const std::string proton = dir.file("proton");
    std::ofstream(proton) << "#!/bin/sh\n"
                             "# The verb run starts the bridge; any other runs the game.\n"
                             "if [ \"$1\" = run ]; then echo bridge >>bridge.log; exec sleep 30; fi\n"
                             "shift; exec \"$@\"\n";
    std::ofstream(dir.file("telemetry-bridge.exe")) << "MZ";
    ASSERT_EQ(::chmod(proton.c_str(), 0755), 0);
    ASSERT_EQ(shellOutput("cp '" LAUNCH_SCRIPT "' '" + dir.path() + "/'"), "");
    for (const std::string delay : {"ten", "x[$(touch pwned)]", "-1"}) {
        SCOPED_TRACE(delay);
        ChildProcess helper(dir.path(),
                            {dir.file("telemetry-bridge-launch"), proton, "waitforexitandrun", "/bin/sh", "-c",
                             "echo ran >game.log; sleep 1; exit 7"},
                            {"TELEMETRY_BRIDGE_DELAY=" + delay});
        ASSERT_TRUE(helper.waitExit(20));
        EXPECT_EQ(helper.exitStatus(), 7) << helper.err();
        EXPECT_EQ(helper.err(), "telemetry-bridge-launch: TELEMETRY_BRIDGE_DELAY is not a whole number of seconds "
                                "up to 86400 (\"" + delay + "\"); waiting 10\n");
        EXPECT_EQ(readFile(dir.file("game.log")), "ran\n");
        EXPECT_EQ(readFile(dir.file("bridge.log")), "") << "the bridge started before the delay";
        std::remove(dir.file("game.log").c_str());
    }
    EXPECT_EQ(readFile(dir.file("pwned")), "") << "the delay's text was run";
    struct stat st {};
    EXPECT_NE(::stat(dir.file("pwned").c_str(), &st), 0);
}
