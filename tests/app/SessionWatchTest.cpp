// What the session watch makes of a source: which records begin another
// session, and when a live picture goes stale and comes back, on a stand-in
// simulator's real live telemetry and on a recording, with a clock moved by
// hand.
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IRData.h"
#include "SessionWatch.h"
#include "pedal_recording.h"
#include "private_live_names.h"
#include "stand_in_simulator.h"

namespace {

using std::chrono::milliseconds;

const std::vector<std::pair<const char*, int>> kVars = {
    {"SessionTime", irsdk_double}, {"SessionUniqueId", irsdk_int}, {"SessionNum", irsdk_int}};
const std::string kSessionA = "WeekendInfo:\n TrackName: testring\n SessionID: 7\n SubSessionID: 70\n";
const std::string kSessionB = "WeekendInfo:\n TrackName: testring\n SessionID: 8\n SubSessionID: 80\n";

struct Step {
    const char* what;
    enum { Send, Wait, Stop, StartA, RewriteB } action;
    double time = 0.0;
    int uniqueId = 1;
    int sessionNum = 0;
    bool newSession = false;
    bool stale = false;
};

TEST(SessionWatch, LiveSessionsAndSilences)
{
    useProcessPrivateNames("sessionwatch");
    StandInSimulator simulator;
    IRData source;
    SessionWatch watch;
    SessionWatch::Clock::time_point now{};
    const Step steps[] = {
        {"the first record", Step::StartA, 10.0},
        {"a record a frame later", Step::Send, 10.016},
        {"1.4 s without a record", Step::Wait, 1400},
        {"1.6 s without a record", Step::Wait, 200, 1, 0, false, true},
        {"the session goes on after a stall", Step::Send, 10.032},
        {"the connection lost", Step::Stop, 0, 1, 0, false, true},
        {"the same session back on a new connection", Step::StartA, 10.048},
        {"session time going back", Step::Send, 3.0, 1, 0, true},
        {"the same time again", Step::Send, 3.0},
        {"another session id", Step::Send, 3.016, 2, 0, true},
        {"another session number", Step::Send, 3.032, 2, 1, true},
        {"another session in the text", Step::RewriteB, 3.048, 2, 1, true},
        {"a new connection with another session, time going on", Step::StartA, 3.064, 2, 1, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const StandInSimulator::Values record = {
            {"SessionTime", s.time}, {"SessionUniqueId", s.uniqueId}, {"SessionNum", s.sessionNum}};
        bool fresh = false;
        if (s.action == Step::Stop || s.action == Step::StartA) {
            simulator.stop();
            fresh = source.updateData();
        }
        if (s.action == Step::StartA) {
            ASSERT_TRUE(simulator.start(kVars, kSessionA));
            // The source finds new objects under the name within a second,
            // and takes the first records of a connection for its layout.
            for (int tries = 0; tries < 200 && !fresh; ++tries) {
                simulator.send(record);
                fresh = source.updateData();
            }
            ASSERT_TRUE(fresh);
        }
        if (s.action == Step::RewriteB)
            simulator.rewriteSessionText(kSessionB);
        if (s.action == Step::Send || s.action == Step::RewriteB) {
            simulator.send(record);
            fresh = source.updateData();
            EXPECT_TRUE(fresh);
        }
        if (s.action == Step::Wait) {
            EXPECT_FALSE(source.updateData());
        }
        now += milliseconds(s.action == Step::Wait ? static_cast<int>(s.time) : 16);
        const SessionWatch::Verdict v = watch.observe(source, fresh, now);
        EXPECT_EQ(v.newSession, s.newSession);
        EXPECT_STREQ(v.stale, s.stale ? "Simulator stopped" : nullptr);
    }
    simulator.stop();
    source.updateData();
}

// A recording is never stale, also long after its end; its time going back
// begins another session as live time does.
TEST(SessionWatch, ARecordingStandsStillAtItsEnd)
{
    std::vector<PedalSample> s;
    appendLap(s, 1, {0.1f, 0.2f, 0.3f}, 0.5f, 0.0f, 0.0f);
    s[2].time = 50.0;
    const std::string path = tempRecordingPath("sessions");
    ASSERT_TRUE(writePedalRecording(path, s));
    IRData source(path.c_str());
    SessionWatch watch;
    SessionWatch::Clock::time_point now{};
    const bool expected[] = {false, false, true, false};
    for (bool newSession : expected) {
        now += std::chrono::seconds(5);
        const bool fresh = source.updateData();
        const SessionWatch::Verdict v = watch.observe(source, fresh, now);
        EXPECT_EQ(v.newSession, newSession);
        EXPECT_EQ(v.stale, nullptr);
    }
    source.endSession();
    std::remove(path.c_str());
}

} // namespace
