// Builds short recordings of the variables the throttle/brake overlay reads,
// one sample per record, for tests that replay them through the source.
#pragma once

#include <string>
#include <vector>

#include "ibt_writer.h"
#include "temp_folder.h"

struct PedalSample {
    double time = 0.0;
    float throttle = 0.0f;
    float brake = 0.0f;
    float pct = 0.0f;
    int lap = 0;
    float lastLapTime = 0.0f;
    int onTrack = 1;
};

// A recording's file name unique to this test process in the temporary folder.
inline std::string tempRecordingPath(const std::string& stem)
{
    return tempPath(stem + ".ibt");
}

// The session names the track "testring" and the driver's car `car`.
inline bool writePedalRecording(const std::string& path, const std::vector<PedalSample>& samples,
                                const std::string& car = "testcar")
{
    IbtWriter w;
    const int time = w.addVar("SessionTime", irsdk_double);
    const int thr = w.addVar("Throttle", irsdk_float);
    const int brk = w.addVar("Brake", irsdk_float);
    const int pct = w.addVar("LapDistPct", irsdk_float);
    const int lap = w.addVar("Lap", irsdk_int);
    const int last = w.addVar("LapLastLapTime", irsdk_float);
    const int onTrack = w.addVar("IsOnTrack", irsdk_bool);
    w.setSessionText("WeekendInfo:\r\n TrackName: testring\r\n"
                     "DriverInfo:\r\n DriverCarIdx: 0\r\n Drivers:\r\n - CarIdx: 0\r\n   CarPath: " + car + "\r\n");
    for (const PedalSample& s : samples) {
        w.beginRecord();
        w.set(time, s.time);
        w.set(thr, s.throttle);
        w.set(brk, s.brake);
        w.set(pct, s.pct);
        w.setInt(lap, s.lap);
        w.set(last, s.lastLapTime);
        w.setInt(onTrack, s.onTrack);
        w.endRecord();
    }
    return w.writeFile(path);
}

// Lap fractions start, start + step, ... of a car moving steadily round the lap.
inline std::vector<float> fractionRamp(int count, float start, float step)
{
    std::vector<float> out;
    for (int i = 0; i < count; ++i)
        out.push_back(start + step * i);
    return out;
}

// Appends one lap's samples at the given fractions, 16 ms apart, with constant pedals.
inline void appendLap(std::vector<PedalSample>& out, int lap, const std::vector<float>& fractions,
                      float throttle, float brake, float lastLapTime)
{
    for (float pct : fractions) {
        PedalSample s;
        s.time = out.empty() ? 100.0 : out.back().time + 0.016;
        s.throttle = throttle;
        s.brake = brake;
        s.pct = pct;
        s.lap = lap;
        s.lastLapTime = lastLapTime;
        out.push_back(s);
    }
}
