// Reference laps kept across runs: the best lap per track and car, with its
// lap time and its table of lap position against throttle and brake (and,
// from version 2 on, time into the lap and speed), in one small versioned
// file per track and car in the user's data folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "LapTiming.h"

// Which laps can be compared: the same track, driven with the same car.
struct LapKey {
    std::string track;
    std::string car;

    bool known() const { return !track.empty() && !car.empty(); }
    bool operator==(const LapKey& o) const { return track == o.track && car == o.car; }
    bool operator!=(const LapKey& o) const { return !(*this == o); }
};

// A session-info lookup as the telemetry readers offer it: the value at
// `path` copied into val (valLen characters at most, then a NUL); 1 when it
// was found and fit.
using SessionLookup = std::function<int(const char* path, char* val, int valLen)>;

// The key of the driver's car in the session info: the track from
// WeekendInfo:TrackName:, the car from the driver's CarPath:, or its
// CarScreenName: where there is no path. Unknown (empty) without them.
LapKey lapKeyFromSession(const SessionLookup& lookup);

struct StoredLap {
    LapKey key;
    float lapTime = 0.0f;  // seconds, as the simulator reported it
    int64_t storedAt = 0;  // seconds since 1970-01-01 UTC
    // Whether the points hold time into the lap and speed, and the lap's time
    // from start line to start line that goes with them.
    bool timed = false;
    float lineTime = 0.0f;
    std::vector<LapPoint> points;
};

// The file format, little-endian. Every version starts with the magic, the
// version and the lap time at these offsets, so that a reader of any version
// can tell which of two laps is faster. Version 1 holds laps without timing,
// version 2 timed laps.
//   0  4 bytes  magic "TOLP"
//   4  uint32   version (1 or 2)
//   8  float32  lap time in seconds
//  12  uint32   number of points N
//  16  int64    time stored, seconds since 1970-01-01 UTC
//  24  uint16   track name length T
//  26  uint16   car name length C
//  version 1:
//  28  T bytes track name, C bytes car name (UTF-8)
//      N times  float32 lap position, float32 throttle, float32 brake
//  version 2:
//  28  float32  line time: the lap's time from start line to start line
//  32  T bytes track name, C bytes car name (UTF-8)
//      N times  float32 lap position, float32 throttle, float32 brake,
//               float32 time into the lap (s), float32 speed (m/s)
//  both:
//      uint32   CRC-32 of every byte before it
std::string encodeLap(const StoredLap& lap);

// Reads a lap file; false, with *error saying what is wrong (not a lap file,
// an unknown version, truncated, corrupt), for anything but a whole version 1
// or 2 lap that lapIsStorable accepts.
bool decodeLap(const std::string& bytes, StoredLap* lap, std::string* error);

// The lap time of a file that begins as a lap file of any version, even one
// that cannot be read as a whole; false when there is none to be read or it
// is not a plausible lap time.
bool peekLapTime(const std::string& bytes, float* lapTime);

// Whether a lap time can be one: from 1 s to 24 h. A time outside (or no
// number at all) is no lap time.
bool plausibleLapTime(float seconds);

// Whether a lap can be stored so that it loads again: a track and car, a
// plausible lap time, finite values and rising positions, within the
// format's sizes; a timed lap also a plausible line time, and times within
// it that never go back. False, with *why saying what is wrong, for any other.
bool lapIsStorable(const StoredLap& lap, std::string* why);

// The fastest completed lap of a run of samples, by the overlay's own rules:
// a lap boundary is the first sample more than 3% into a lap whose counter is
// above the last boundary's; a completed lap runs from one boundary to the
// next, and its time is the last-lap time read at the boundary that ends it
// (no time, zero or less, is no completed lap). Its table keeps the first
// throttle and brake at each position, from the sample after the first
// boundary up to the one that ends the lap. Of equally fast laps the first
// counts; a lap time that is not plausible is no time. The lap is timed when
// it was also driven from start line to start line (LapTiming.h): its points
// then hold time and speed. False when no lap was completed.
bool fastestCompletedLap(const std::vector<LapSample>& samples, StoredLap* lap);

// The folder of kept laps and the operations on it.
class LapStore {
public:
    explicit LapStore(std::string folder) : folder(std::move(folder)) {}

    // The "laps" folder in the user's data folder; empty, with *error set,
    // when there is none.
    static std::string defaultFolder(std::string* error);

    // The file of a key: track and car, each with every byte outside
    // [A-Za-z0-9._-] written as %XX, joined by '@', with ".lap".
    std::string pathFor(const LapKey& key) const;

    enum class LoadStatus { Ok, Missing, Bad };
    // Bad, with *error naming the file and the problem, for a file that
    // cannot be read or decoded, or that holds another key's lap. Removes
    // what writes killed in the middle left in the folder first.
    LoadStatus load(const LapKey& key, StoredLap* lap, std::string* error) const;

    enum class SaveStatus { Stored, NotFaster, Failed };
    // Stores the lap for its key when it is faster than the lap stored there
    // (or with force), or as fast and timed where the stored one is not; a
    // lap that lapIsStorable refuses is never stored. A
    // stored file that can never load (a version 1 file that cannot be
    // decoded, or another key's lap) is replaced; one of another version
    // keeps its place against slower laps when its lap time can be read; a
    // file that does not begin as a lap file is the user's to remove.
    // Atomic, and serialised with other processes by a lock file beside the
    // folder.
    SaveStatus save(const StoredLap& lap, bool force, std::string* error) const;

    // Every lap in the folder, by file name; *problems gets one sentence per
    // file that cannot be decoded.
    std::vector<StoredLap> list(std::vector<std::string>* problems) const;

    // Deletes the key's lap; false, with *error set, when there is none or it
    // cannot be deleted.
    bool remove(const LapKey& key, std::string* error) const;

private:
    // Beside the folder, so that the folder holds nothing but laps.
    std::string lockPath() const { return folder + ".lock"; }

    std::string folder;
};

// Lap time as minutes, seconds and milliseconds: "1:23.456", or "37.125";
// "?" for a time that is not plausible.
std::string formatLapTime(float seconds);
