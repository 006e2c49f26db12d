// telemetry-bridge.exe: run inside the simulator's Wine or Proton prefix, it
// makes the simulator's live telemetry readable by native Linux programs
// under the POSIX scheme (the same object names, IRSDK_SHM_PREFIX honoured):
// a TelemetryMirror from the simulator's named mapping and event to files
// under Z:\dev\shm, and a native waker that wakes the readers.
#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>

#include "StopRequest.h"
#include "live_posix_scheme.h"
#include "telemetry_layout.h"
#include "telemetry_mirror.h"
#include "wine_shm.h"

namespace {

const char* const kUsage =
    "usage: telemetry-bridge.exe\n"
    "Run inside the simulator's Wine or Proton prefix. Makes the simulator's live\n"
    "telemetry readable by the native Linux programs (overlay sim, ibt watch) as\n"
    "/dev/shm/IRSDKMemMapFileName and /dev/shm/IRSDKDataValidEvent, whichever of\n"
    "the two starts first, until Ctrl-C. Waits for the simulator, polling once a\n"
    "second, and follows it when it stops and starts again. Needs\n"
    "telemetry-bridge-waker beside it to wake the readers at once.\n"
    "version " OVERLAY_VERSION "\n";

// Waits about a second, or less when a stop is requested.
void waitASecond()
{
    for (int i = 0; i < 10 && !stopRequested(); ++i)
        Sleep(100);
}

void say(const std::string& line)
{
    std::printf("telemetry-bridge: %s\n", line.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fputs(help ? kUsage : "usage: telemetry-bridge.exe [--help]\n", help ? stdout : stderr);
        return help ? 0 : 2;
    }
    if (!wine_shm::available()) {
        std::fprintf(stderr, "telemetry-bridge: no Z:\\dev\\shm: the bridge runs under Wine or Proton on Linux\n");
        return 1;
    }
    installStopRequestHandlers();
    std::string error;
    if (!wine_shm::startWaker(&error))
        std::fprintf(stderr, "telemetry-bridge: %s; native readers will find each record only when their "
                             "wait times out\n", error.c_str());

    const std::string target = "/dev/shm" + live_posix::objectName(IRSDK_MEMMAPFILENAME);
    say("waiting for the simulator");
    TelemetryMirror mirror;
    std::string reported;
    while (!stopRequested()) {
        if (mirror.connected()) {
            mirror.pump(16);
            if (!mirror.connected())
                say("the simulator stopped; waiting for it again");
            continue;
        }
        if (mirror.connect()) {
            say("the simulator is publishing; native programs read it as " + target);
            reported.clear();
            continue;
        }
        if (mirror.problem() != reported && !mirror.problem().empty())
            std::fprintf(stderr, "telemetry-bridge: the simulator's telemetry cannot be copied: %s\n",
                mirror.problem().c_str());
        reported = mirror.problem();
        waitASecond();
    }
    mirror.close();
    wine_shm::stopWaker();
    say("stopped");
    stopRequestHandled();
    return 0;
}
