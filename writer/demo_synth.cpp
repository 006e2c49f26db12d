#include "demo_synth.h"

#include "demo_drive.h"
#include "demo_session_text.h"
#include "demo_track.h"
#include "demo_variables.h"
#include "ibt_writer.h"

namespace {

// The lap times of a drive, collected as the car crosses the line.
class LapTimes {
public:
    void after(const demo::CarState& c)
    {
        if (c.crossings.size() == seen)
            return;
        seen = c.crossings.size();
        if (seen >= 2)
            times.push_back(c.lastLapTime);
    }
    const std::vector<double>& all() const { return times; }

private:
    std::vector<double> times;
    size_t seen = 0;
};

// Drives a session once and writes it, stopping the records after
// `maxRecords` samples when that is not negative (the drive still goes to
// its end for the lap times). The session text names the lap times, so it
// goes into room kept for it before the records and is written last.
bool writeSession(const std::string& path, int laps, unsigned seed, long long maxRecords)
{
    if (laps < 1)
        return false;
    IbtWriter w;
    demo::DemoRecorder recorder(w, seed);
    w.reserveSessionText(static_cast<int>(demo::sessionTextRoom(laps, seed)));
    if (!w.openStream(path))
        return false;
    demo::Drive drive(laps, seed);
    LapTimes lapTimes;
    long long written = 0;
    for (;;) {
        const bool writing = maxRecords < 0 ? !drive.finished() : written < maxRecords;
        if (!writing && drive.finished())
            break;
        if (writing) {
            recorder.write(drive.car(), drive.lapLength());
            ++written;
        }
        const bool counted = !drive.finished();
        drive.step();
        if (counted)
            lapTimes.after(drive.car());
    }
    w.setSessionText(demo::sessionText(lapTimes.all(), seed));
    const bool headerWritten = w.rewriteHeader();
    return w.closeStream() && headerWritten;
}

} // namespace

double demoTrackLength()
{
    return demo::demoTrack().length();
}

std::vector<double> demoLapTimes(int laps, unsigned seed)
{
    if (laps < 1)
        return {};
    demo::Drive drive(laps, seed);
    LapTimes lapTimes;
    while (!drive.finished()) {
        drive.step();
        lapTimes.after(drive.car());
    }
    return lapTimes.all();
}

bool writeDemoSession(const std::string& path, int laps, unsigned seed)
{
    return writeSession(path, laps, seed, -1);
}

bool writeDemoRecords(const std::string& path, long long records, unsigned seed)
{
    if (records < 0)
        return false;
    // Laps of at least 25 s, with room for the pit stop and the tail.
    const long long laps = records / (25 * DEMO_TICK_RATE) + 2;
    if (laps > 1000000)
        return false;
    return writeSession(path, static_cast<int>(laps), seed, records);
}
