#include "demo_session_text.h"

#include <cstdio>

#include "demo_track.h"

namespace demo {

namespace {

// The text with its fields in braces; each field appears in the lines that
// name it and nowhere else.
const char* const kTemplate = R"(---
WeekendInfo:
 TrackName: demo_ring
 TrackID: 1
 TrackLength: {track_km} km
 TrackDisplayName: Demo Ring
 TrackDisplayShortName: Demo
 TrackConfigName: Short
 TrackCity: Nowhere
 TrackCountry: Testland
 TrackNumTurns: 6
 TrackPitSpeedLimit: 72.00 kph
 TrackType: road course
 TrackSurfaceTemp: 31.20 C
 TrackAirTemp: 22.40 C
 SessionID: 0
 Seed: {seed}
 WeekendOptions:
  NumStarters: 12
  StartingGrid: 2x2 inline pole on left
  Unofficial: 1
  TimeOfDay: 2:00 pm
  Date: 2024-05-18
 TelemetryOptions:
  TelemetryDiskFile: ""
SessionInfo:
 Sessions:
 - SessionNum: 0
   SessionLaps: unlimited
   SessionTime: 3600.0000 sec
   SessionType: Practice
   SessionName: PRACTICE
   ResultsPositions:
   - Position: 1
     CarIdx: 0
     Lap: {laps}
     FastestLap: {fastest_lap}
     FastestTime: {fastest_time}
     LastTime: {last_time}
     LapsComplete: {laps}
CameraInfo:
 Groups:
 - GroupNum: 1
   GroupName: Nose
   Cameras:
   - CameraNum: 1
     CameraName: CamMain
 - GroupNum: 2
   GroupName: Gearbox
   Cameras:
   - CameraNum: 1
     CameraName: CamMain
 - GroupNum: 3
   GroupName: Roll Bar
   Cameras:
   - CameraNum: 1
     CameraName: CamMain
 - GroupNum: 4
   GroupName: Chase
   Cameras:
   - CameraNum: 1
     CameraName: CamMain
 - GroupNum: 5
   GroupName: Far Chase
   Cameras:
   - CameraNum: 1
     CameraName: CamMain
 - GroupNum: 6
   GroupName: Cockpit
   Cameras:
   - CameraNum: 1
     CameraName: CamMain
 - GroupNum: 7
   GroupName: Blimp
   Cameras:
   - CameraNum: 1
     CameraName: CamMain
DriverInfo:
 DriverCarIdx: 0
 DriverCarRedLine: 8000.000
 DriverCarFuelMaxLtr: 60.000
 DriverCarSLShiftRPM: 7800.000
 Drivers:
 - CarIdx: 0
   UserName: Demo Driver
   AbbrevName: D. Driver
   UserID: 1000
   CarNumber: "7"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Demo Racing
   Rating: 1500
   IsSpectator: 0
 - CarIdx: 1
   UserName: Alex Moreau
   AbbrevName: A. Moreau
   UserID: 1037
   CarNumber: "10"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 1613
   IsSpectator: 0
 - CarIdx: 2
   UserName: Bea Lindqvist
   AbbrevName: B. Lindqvist
   UserID: 1074
   CarNumber: "13"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 1726
   IsSpectator: 0
 - CarIdx: 3
   UserName: Carl Okafor
   AbbrevName: C. Okafor
   UserID: 1111
   CarNumber: "16"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 1839
   IsSpectator: 0
 - CarIdx: 4
   UserName: Dana Ruiz
   AbbrevName: D. Ruiz
   UserID: 1148
   CarNumber: "19"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 1952
   IsSpectator: 0
 - CarIdx: 5
   UserName: Emil Novak
   AbbrevName: E. Novak
   UserID: 1185
   CarNumber: "22"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 2065
   IsSpectator: 0
 - CarIdx: 6
   UserName: Fia Tanaka
   AbbrevName: F. Tanaka
   UserID: 1222
   CarNumber: "25"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 2178
   IsSpectator: 0
 - CarIdx: 7
   UserName: Gus Ferreira
   AbbrevName: G. Ferreira
   UserID: 1259
   CarNumber: "28"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 2291
   IsSpectator: 0
 - CarIdx: 8
   UserName: Hana Kowalska
   AbbrevName: H. Kowalska
   UserID: 1296
   CarNumber: "31"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 2404
   IsSpectator: 0
 - CarIdx: 9
   UserName: Ivo Petrov
   AbbrevName: I. Petrov
   UserID: 1333
   CarNumber: "34"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 2517
   IsSpectator: 0
 - CarIdx: 10
   UserName: Jo Mbeki
   AbbrevName: J. Mbeki
   UserID: 1370
   CarNumber: "37"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 2630
   IsSpectator: 0
 - CarIdx: 11
   UserName: Kai Andersen
   AbbrevName: K. Andersen
   UserID: 1407
   CarNumber: "40"
   CarClassID: 1
   CarScreenName: Demo Formula
   CarClassShortName: DF
   TeamName: Privateer
   Rating: 2743
   IsSpectator: 0
SplitTimeInfo:
 Sectors:
 - SectorNum: 0
   SectorStartPct: 0.000000
 - SectorNum: 1
   SectorStartPct: 0.340000
 - SectorNum: 2
   SectorStartPct: 0.670000
CarSetup:
 UpdateCount: 1
 Tires:
  LeftFront:
   ColdPressure: 165 kPa
   LastHotPressure: 182 kPa
   TreadRemaining: 100%, 100%, 100%
  RightFront:
   ColdPressure: 165 kPa
   LastHotPressure: 182 kPa
   TreadRemaining: 100%, 100%, 100%
  LeftRear:
   ColdPressure: 165 kPa
   LastHotPressure: 182 kPa
   TreadRemaining: 100%, 100%, 100%
  RightRear:
   ColdPressure: 165 kPa
   LastHotPressure: 182 kPa
   TreadRemaining: 100%, 100%, 100%
 Chassis:
  Front:
   BrakeBias: 56.0%
   ArbSetting: 3
  Rear:
   FuelLevel: 30.0 L
   WingAngle: 8.5 deg
...
)";

// Replaces every "{name}" in text with value.
void fill(std::string& text, const std::string& name, const std::string& value)
{
    const std::string field = "{" + name + "}";
    for (size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + value.size()))
        text.replace(at, field.size(), value);
}

std::string lapTimeText(double t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", t);
    return buf;
}

// The template with its fields filled in and its line ends made CR LF.
std::string render(size_t laps, int fastestLap, const std::string& fastestTime, const std::string& lastTime,
                   unsigned seed)
{
    std::string text = kTemplate;
    char km[32];
    std::snprintf(km, sizeof km, "%.2f", demoTrack().length() / 1000.0);
    fill(text, "track_km", km);
    fill(text, "seed", std::to_string(seed));
    fill(text, "laps", std::to_string(laps));
    fill(text, "fastest_lap", std::to_string(fastestLap));
    fill(text, "fastest_time", fastestTime);
    fill(text, "last_time", lastTime);
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}

} // namespace

std::string sessionText(const std::vector<double>& lapTimes, unsigned seed)
{
    double best = -1.0;
    int bestLap = 0;
    for (size_t i = 0; i < lapTimes.size(); ++i)
        if (best < 0.0 || lapTimes[i] < best) {
            best = lapTimes[i];
            bestLap = static_cast<int>(i) + 1;
        }
    return render(lapTimes.size(), bestLap, lapTimeText(best), lapTimeText(lapTimes.empty() ? -1.0 : lapTimes.back()),
                  seed);
}

// The widest lap number is `laps` itself; a time printed with four decimals
// takes 20 characters up to 10^15 s.
size_t sessionTextRoom(int laps, unsigned seed)
{
    const std::string widestTime(20, '9');
    const size_t count = laps > 0 ? static_cast<size_t>(laps) : 0;
    return render(count, laps, widestTime, widestTime, seed).size() + 1;
}

} // namespace demo
