// The team view as a driver and a team-mate meet it: telemetry-overlay
// shares what its overlays take when the settings say so, and on a broker
// URL, fed by ibt share replaying a recording once, it ends on the same
// strip picture, pixel for pixel, as telemetry-overlay replaying the file.
#include <climits>
#include <csignal>
#include <fstream>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "child_process.h"
#include "pedal_recording.h"
#include "private_user_folders.h"
#include "temp_folder.h"
#include "test_broker.h"
#include "test_display.h"
#include "window_capture.h"

namespace {

// Ends the overlay the way a user does and checks that it went quietly.
void endOverlay(ChildProcess& overlay)
{
    overlay.stop(SIGTERM);
    EXPECT_EQ(overlay.exitStatus(), 0) << overlay.err();
}

// The strip's picture at the end, from telemetry-overlay with `source` in
// the folder, its settings and kept laps in a folder of its own.
Picture endPicture(const TempFolder& dir, const std::string& name, const std::string& source,
                   const std::vector<std::string>& feed = {})
{
    const std::string home = dir.file(name);
    ChildProcess overlay(dir.path(), {TELEMETRY_OVERLAY_EXE, source},
                         {"XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data"});
    const std::string id = waitForWindow("Throttle/brake", 30, overlay.id());
    EXPECT_FALSE(id.empty()) << overlay.err();
    if (id.empty())
        return {};
    if (!feed.empty()) {
        ChildProcess share(feed, dir.file(name + "-share.out"), dir.file(name + "-share.err"));
        EXPECT_EQ(share.wait(), 0) << share.err();
    }
    const Picture picture = waitForStillPicture(id, 60);
    endOverlay(overlay);
    return picture;
}

// A broker, and a folder with Shaders/ for the programs to run in.
class TeamView : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_DISPLAY();
        if (!broker.problem().empty())
            FAIL() << broker.problem();
        char shaders[PATH_MAX];
        ASSERT_NE(::realpath("Shaders", shaders), nullptr);
        ASSERT_EQ(::symlink(shaders, dir.file("Shaders").c_str()), 0);
    }

    TestBroker broker;
    TempFolder dir{"team-view"};
};

} // namespace

TEST_F(TeamView, TheViewerEndsOnTheSamePictureAsTheRecordingItself)
{
    // Two laps whose pedals change all the time, so that a lost or repeated
    // record would show, and a lap boundary that makes the first a reference.
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(250, 0.5f, 0.002f), 0.0f, 0.0f, 0.0f);
    appendLap(s, 2, fractionRamp(400, 0.0f, 0.0025f), 0.0f, 0.0f, 61.0f);
    for (size_t i = 0; i < s.size(); ++i) {
        s[i].throttle = static_cast<float>((i * 7) % 100) / 99.0f;
        s[i].brake = static_cast<float>((i * 3) % 50) / 99.0f;
    }
    ASSERT_TRUE(writePedalRecording(dir.file("telemetry.ibt"), s));

    const Picture replay = endPicture(dir, "file", "file");
    ASSERT_GT(replay.width, 0) << "the replay did not come to rest";
    const std::string url = broker.url("team/picture");
    const Picture viewed = endPicture(dir, "viewer", url, {IBT_EXE, "share", url, dir.file("telemetry.ibt")});
    ASSERT_GT(viewed.width, 0) << "the view did not come to rest";
    EXPECT_TRUE(viewed == replay) << "the viewer's strip differs from the replay's";
}

TEST_F(TeamView, TelemetryOverlaySharesTheRecordsItsOverlaysTake)
{
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(400, 0.1f, 0.002f), 0.0f, 0.0f, 0.0f);
    for (size_t i = 0; i < s.size(); ++i)
        s[i].throttle = static_cast<float>(i) / 400.0f;
    ASSERT_TRUE(writePedalRecording(dir.file("telemetry.ibt"), s));
    shellOutput("mkdir -p '" + dir.file("config/telemetry-overlay") + "'");
    std::ofstream(dir.file("config/telemetry-overlay/settings.toml"))
        << "[share]\nenabled = true\nurl = \"" << broker.url("team/driver") << "\"\n";

    ChildProcess watch({IBT_EXE, "watch", "--from", broker.url("team/driver"), "--count", "150", "SessionTime",
                        "Throttle"},
                       dir.file("watch.out"), dir.file("watch.err"));
    ASSERT_TRUE(broker.waitForViewers("team/driver", 1, 10));
    ChildProcess driver(dir.path(), {TELEMETRY_OVERLAY_EXE, "file"},
                        {"XDG_CONFIG_HOME=" + dir.file("config"), "XDG_DATA_HOME=" + dir.file("data")});
    ASSERT_TRUE(watch.waitExit(60)) << driver.err();
    EXPECT_EQ(watch.exitStatus(), 0) << watch.err();
    const std::string csv = shellOutput(std::string(IBT_EXE) + " csv '" + dir.file("telemetry.ibt") +
                                        "' SessionTime Throttle");
    // Records taken before the connection was made are not kept for it;
    // from the first shared one on, every record arrives, in order.
    const std::string out = watch.out();
    const std::string rows = out.substr(out.find('\n') + 1);
    EXPECT_EQ(out.substr(0, out.find('\n')), "SessionTime,Throttle");
    EXPECT_NE(csv.find(rows), std::string::npos) << out;
    endOverlay(driver);
    // Another test's overlay may hold the global keys, which is a line of its own.
    EXPECT_EQ(driver.err().find("sharing"), std::string::npos) << driver.err();
}
