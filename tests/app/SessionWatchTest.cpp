// What the session watch makes of a source: which records begin another
// session, and when a live picture goes stale and comes back, on a stand-in
// simulator's real live telemetry, with a clock moved by hand.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IRData.h"
#include "SessionWatch.h"
#include "private_live_names.h"
#include "ibt_writer.h"
#include "live_publisher.h"

namespace {

using std::chrono::milliseconds;

const std::vector<std::pair<const char*, int>> kVars = {
    {"SessionTime", irsdk_double}, {"SessionUniqueId", irsdk_int}, {"SessionNum", irsdk_int}};
const std::string kSessionA = "WeekendInfo:\n TrackName: testring\n SessionID: 7\n SubSessionID: 70\n";
const std::string kSessionB = "WeekendInfo:\n TrackName: testring\n SessionID: 8\n SubSessionID: 80\n";

// A simulator stand-in: live telemetry of a session's clock and ids.
class Simulator {
public:
    bool start(const std::string& text)
    {
        layout = std::make_unique<IbtWriter>();
        for (const auto& v : kVars)
            layout->addVar(v.first, v.second);
        std::vector<irsdk_VarDescriptor> vars;
        for (int i = 0; i < layout->varCount(); ++i)
            vars.push_back(layout->descriptor(i));
        publisher.setConnected(publisher.open(text, vars, layout->recordLength()));
        return publisher.isOpen();
    }
    void send(double time, int uniqueId, int sessionNum)
    {
        layout->beginRecord();
        layout->set(0, time);
        layout->set(1, uniqueId);
        layout->set(2, sessionNum);
        publisher.publish(layout->record().data());
    }
    // Another text in place of the first (no longer than it) and the
    // header's counter moved, as a simulator rewrites it during a session.
    void rewriteSessionText(const std::string& text)
    {
        irsdk_TelemetryHeader* h = publisher.header();
        std::memcpy(publisher.memory() + h->sessionTextOffset, text.c_str(), text.size() + 1);
        __atomic_add_fetch(&h->sessionTextUpdate, 1, __ATOMIC_RELEASE);
    }
    void stop() { publisher.close(); }

private:
    std::unique_ptr<IbtWriter> layout;
    LivePublisher publisher;
};

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
    Simulator simulator;
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
        if (s.action == Step::Stop || s.action == Step::StartA)
            simulator.stop();
        int tries = 0;
        if (s.action == Step::StartA) {
            source.updateData(); // sees the telemetry gone
            ASSERT_TRUE(simulator.start(kSessionA));
            // The source finds new objects under the name within a second,
            // and takes the first records of a connection for its layout.
            while (!source.updateData() && ++tries < 200)
                simulator.send(s.time, s.uniqueId, s.sessionNum);
            ASSERT_LT(tries, 200);
        }
        if (s.action == Step::RewriteB)
            simulator.rewriteSessionText(kSessionB);
        if (s.action == Step::Send || s.action == Step::RewriteB)
            simulator.send(s.time, s.uniqueId, s.sessionNum);
        const bool fresh = s.action == Step::StartA || source.updateData();
        EXPECT_EQ(fresh, s.action != Step::Wait && s.action != Step::Stop);
        now += milliseconds(s.action == Step::Wait ? static_cast<int>(s.time) : 16);
        const SessionWatch::Verdict v = watch.observe(source, fresh, now);
        EXPECT_EQ(v.newSession, s.newSession);
        EXPECT_STREQ(v.stale, s.stale ? "Simulator stopped" : nullptr);
    }
    simulator.stop();
    source.updateData();
}

} // namespace
