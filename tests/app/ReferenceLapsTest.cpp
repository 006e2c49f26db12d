// The kept reference laps: the key from the session info, the lap file read
// back whole or refused with a reason, the store's faster-only replace of
// laps that load again, and the completed-lap rule of an import.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ReferenceLaps.h"
#include "temp_folder.h"

namespace {

StoredLap sampleLap(float lapTime = 37.5f, const std::string& track = "testring", const std::string& car = "testcar")
{
    StoredLap lap;
    lap.key = {track, car};
    lap.lapTime = lapTime;
    lap.storedAt = 1796000000;
    for (int i = 0; i < 50; ++i)
        lap.points.push_back({0.02f * i, i < 25 ? 1.0f : 0.25f, i < 25 ? 0.0f : 0.5f});
    return lap;
}

// The same lap with time into the lap and speed at every point, from a line
// time a little over its lap time.
StoredLap timedLap(float lapTime = 37.5f)
{
    StoredLap lap = sampleLap(lapTime);
    lap.timed = true;
    lap.lineTime = lapTime + 0.004f;
    for (LapPoint& p : lap.points) {
        p.time = p.pct * lap.lineTime;
        p.speed = 40.0f + p.pct;
    }
    return lap;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string decodeError(const std::string& bytes)
{
    StoredLap lap;
    std::string error;
    return decodeLap(bytes, &lap, &error) ? std::string() : error;
}

// A session lookup over a map of paths.
SessionLookup lookupIn(const std::map<std::string, std::string>& values)
{
    return [values](const char* path, char* val, int valLen) {
        const auto it = values.find(path);
        if (it == values.end() || static_cast<int>(it->second.size()) > valLen)
            return 0;
        std::strcpy(val, it->second.c_str());
        return 1;
    };
}

} // namespace

TEST(LapKey, TrackAndTheDriversCarPathOrScreenName)
{
    const std::string track = "WeekendInfo:TrackName:";
    const std::string index = "DriverInfo:DriverCarIdx:";
    const std::string path3 = "DriverInfo:Drivers:CarIdx:{3}CarPath:";
    const std::string name3 = "DriverInfo:Drivers:CarIdx:{3}CarScreenName:";
    struct Case {
        std::map<std::string, std::string> session;
        LapKey key;
    };
    const Case cases[] = {
        {{{track, "ring"}, {index, "3"}, {path3, "fw31"}, {name3, "Formula W"}}, {"ring", "fw31"}},
        {{{track, "ring"}, {index, "3"}, {name3, "Formula W"}}, {"ring", "Formula W"}},
        {{{track, "ring"}, {index, "3"}, {path3, ""}, {name3, "Formula W"}}, {"ring", "Formula W"}},
        {{{track, "ring"}, {index, "4"}, {path3, "fw31"}}, {}},  // the driver's car is not listed
        {{{track, "ring"}, {path3, "fw31"}}, {}},                 // no driver index
        {{{track, "ring"}, {index, "x"}, {path3, "fw31"}}, {}},
        {{{index, "3"}, {path3, "fw31"}}, {}},                    // no track
        {{}, {}},                                                 // no session info at all
    };
    for (const Case& c : cases) {
        const LapKey key = lapKeyFromSession(lookupIn(c.session));
        EXPECT_EQ(key.track, c.key.track);
        EXPECT_EQ(key.car, c.key.car);
    }
}

// Version 1 (untimed) and version 2 (timed) laps both load as they were stored.
TEST(LapFile, RoundTripKeepsEveryFieldOfBothVersions)
{
    for (const StoredLap& lap : {sampleLap(), timedLap()}) {
        const std::string bytes = encodeLap(lap);
        EXPECT_EQ(bytes[4], lap.timed ? 2 : 1);
        EXPECT_EQ(bytes.size(), lap.timed ? 32u + 8 + 7 + 50 * 20 + 4 : 28u + 8 + 7 + 50 * 12 + 4);
        StoredLap back;
        std::string error;
        ASSERT_TRUE(decodeLap(bytes, &back, &error)) << error;
        EXPECT_EQ(back.key, lap.key);
        EXPECT_EQ(back.lapTime, lap.lapTime);
        EXPECT_EQ(back.storedAt, lap.storedAt);
        EXPECT_EQ(back.timed, lap.timed);
        EXPECT_EQ(back.lineTime, lap.lineTime);
        ASSERT_EQ(back.points.size(), lap.points.size());
        for (size_t i = 0; i < lap.points.size(); ++i)
            EXPECT_EQ(std::memcmp(&back.points[i], &lap.points[i], sizeof(LapPoint)), 0) << i;
    }
}

TEST(LapFile, EveryTruncationIsRefusedWithoutReadingPastTheEnd)
{
    for (const std::string& whole : {encodeLap(sampleLap()), encodeLap(timedLap())})
    for (size_t n = 0; n < whole.size(); ++n) {
        // An exact-size copy, so that the sanitizer sees any read beyond it.
        const std::string cut(whole.data(), n);
        const std::string error = decodeError(cut);
        EXPECT_FALSE(error.empty()) << n << " bytes";
        if (n >= 8) {
            EXPECT_EQ(error, "truncated") << n << " bytes";
        }
    }
}

TEST(LapFile, DamagedBytesUnknownVersionsAndStrangersAreRefused)
{
    const std::string whole = encodeLap(sampleLap());
    // Any one byte changed after the magic and version is caught.
    for (size_t i = 8; i < whole.size(); i += 7) {
        std::string bad = whole;
        bad[i] = static_cast<char>(bad[i] ^ 0x40);
        EXPECT_FALSE(decodeError(bad).empty()) << "byte " << i;
    }
    std::string v3 = whole;
    v3[4] = 3;
    EXPECT_EQ(decodeError(v3), "unknown version 3");
    EXPECT_EQ(decodeError(whole + "x"), "corrupt (bytes after the end)");
    EXPECT_EQ(decodeError("GIF89a and more bytes here"), "not a reference lap file");

    // A version the reader does not know still tells its lap time.
    float t = 0.0f;
    EXPECT_TRUE(peekLapTime(v3, &t));
    EXPECT_EQ(t, 37.5f);
    EXPECT_FALSE(peekLapTime("GIF89a and more bytes here", &t));

    // Positions must rise: a table out of order is not one the overlay made.
    StoredLap unordered = sampleLap();
    std::swap(unordered.points[3], unordered.points[4]);
    EXPECT_EQ(decodeError(encodeLap(unordered)), "corrupt (the lap's positions are out of order)");

    // Times of a timed lap never go back and are numbers, like its pedals.
    StoredLap backwards = timedLap();
    backwards.points[10].time = backwards.points[9].time - 0.001f;
    EXPECT_EQ(decodeError(encodeLap(backwards)), "corrupt (the lap's times go back or lie outside the lap)");
    StoredLap notANumber = timedLap();
    notANumber.points[5].time = std::nanf("");
    EXPECT_EQ(decodeError(encodeLap(notANumber)), "corrupt (the lap holds times or speeds that are not finite numbers)");
}

TEST(LapStore, KeepsOnlyFasterLapsAndReplacesAtomically)
{
    TempFolder dir("laps");
    LapStore store(dir.path() + "/laps");
    std::string error;
    ASSERT_EQ(store.save(sampleLap(40.0f), false, &error), LapStore::SaveStatus::Stored) << error;
    EXPECT_EQ(store.save(sampleLap(40.0f), false, &error), LapStore::SaveStatus::NotFaster) << "a tie is not faster";
    EXPECT_EQ(store.save(sampleLap(41.0f), false, &error), LapStore::SaveStatus::NotFaster);
    EXPECT_EQ(store.save(sampleLap(39.0f), false, &error), LapStore::SaveStatus::Stored);
    // A lap with its timing replaces an equal one without; not the other way round.
    EXPECT_EQ(store.save(timedLap(39.0f), false, &error), LapStore::SaveStatus::Stored);
    EXPECT_EQ(store.save(sampleLap(39.0f), false, &error), LapStore::SaveStatus::NotFaster);
    EXPECT_EQ(store.save(timedLap(39.0f), false, &error), LapStore::SaveStatus::NotFaster);
    EXPECT_EQ(store.save(sampleLap(45.0f), true, &error), LapStore::SaveStatus::Stored) << "forced";

    StoredLap back;
    ASSERT_EQ(store.load({"testring", "testcar"}, &back, &error), LapStore::LoadStatus::Ok) << error;
    EXPECT_EQ(back.lapTime, 45.0f);
    EXPECT_EQ(store.load({"testring", "other"}, &back, &error), LapStore::LoadStatus::Missing);

    // One file, no temporary left behind.
    std::vector<std::string> problems;
    EXPECT_EQ(store.list(&problems).size(), 1u);
    EXPECT_TRUE(problems.empty());
    const std::filesystem::directory_iterator files(dir.path() + "/laps");
    EXPECT_EQ(std::distance(begin(files), end(files)), 1);
}

TEST(LapStore, BadFilesAreReportedAndOnlyThoseThatCouldStillLoadHoldTheirPlace)
{
    TempFolder dir("laps");
    LapStore store(dir.path() + "/laps");
    const LapKey key{"testring", "testcar"};
    std::string error;
    ASSERT_EQ(store.save(sampleLap(40.0f), false, &error), LapStore::SaveStatus::Stored);
    const std::string path = store.pathFor(key);
    const std::string whole = slurp(path);

    // A version this program does not know may load in a later one: its lap
    // time still guards it against slower laps.
    std::string v9 = whole;
    v9[4] = 9;
    put(path, v9);
    StoredLap lap;
    EXPECT_EQ(store.load(key, &lap, &error), LapStore::LoadStatus::Bad);
    EXPECT_EQ(error, path + ": unknown version 9");
    EXPECT_EQ(store.save(sampleLap(41.0f), false, &error), LapStore::SaveStatus::NotFaster);
    EXPECT_EQ(slurp(path), v9);
    EXPECT_EQ(store.save(sampleLap(39.0f), false, &error), LapStore::SaveStatus::Stored) << "a faster lap may";

    // Version 1 files that can never load, and another key's lap under this
    // key's name, give way to any lap.
    StoredLap poisoned = sampleLap(30.0f);
    poisoned.points[7].throttle = std::nanf("");
    const std::string neverLoad[] = {whole.substr(0, whole.size() - 20), whole.substr(0, 12) + std::string(40, '\x7f'),
                                     encodeLap(poisoned), encodeLap(sampleLap(30.0f, "testring", "othercar"))};
    for (const std::string& bad : neverLoad) {
        put(path, bad);
        EXPECT_EQ(store.load(key, &lap, &error), LapStore::LoadStatus::Bad);
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_EQ(store.save(sampleLap(41.0f), false, &error), LapStore::SaveStatus::Stored) << error;
        ASSERT_EQ(store.load(key, &lap, &error), LapStore::LoadStatus::Ok) << error;
    }

    // A file that is not a lap at all is left for the user to remove.
    put(path, "notes about this track");
    EXPECT_EQ(store.save(sampleLap(1.0f), false, &error), LapStore::SaveStatus::Failed);
    EXPECT_NE(error.find("left as it is"), std::string::npos) << error;
    EXPECT_EQ(slurp(path), "notes about this track");

    // Another key's lap under this key's name is named by list.
    put(path, encodeLap(sampleLap(30.0f, "testring", "othercar")));
    EXPECT_EQ(store.load(key, &lap, &error), LapStore::LoadStatus::Bad);
    EXPECT_NE(error.find("holds the lap of testring, othercar"), std::string::npos) << error;
    std::vector<std::string> problems;
    EXPECT_TRUE(store.list(&problems).empty());
    EXPECT_EQ(problems.size(), 1u);
}

// Only a lap that loads again is stored: finite values, rising positions
// and a lap time from 1 s to 24 h, whether it comes live or from an import.
TEST(LapStore, LapsThatCouldNeverLoadAreNotStored)
{
    TempFolder dir("laps");
    LapStore store(dir.path() + "/laps");
    const float nan = std::nanf("");
    const std::pair<std::function<void(StoredLap&)>, const char*> spoilt[] = {
        {[&](StoredLap& l) { l.points[3].throttle = nan; }, "values that are not finite numbers"},
        {[](StoredLap& l) { l.points[40].brake = -INFINITY; }, "values that are not finite numbers"},
        {[&](StoredLap& l) { l.points[0].pct = nan; }, "values that are not finite numbers"},
        {[](StoredLap& l) { std::swap(l.points[3], l.points[4]); }, "positions are out of order"},
        {[](StoredLap& l) { l.lapTime = 1e-30f; }, "time of 1e-30 s is outside 1 s to 24 h"},
        {[](StoredLap& l) { l.lapTime = 1e30f; }, "time of 1e+30 s is outside"},
        {[](StoredLap& l) { l.lapTime = 0.999f; }, "outside 1 s to 24 h"},
        {[](StoredLap& l) { l.lapTime = 86401.0f; }, "outside 1 s to 24 h"},
        {[&](StoredLap& l) { l.lapTime = nan; }, "time of nan s"},
    };
    std::string error;
    for (const auto& [spoil, why] : spoilt) {
        StoredLap lap = sampleLap();
        spoil(lap);
        EXPECT_EQ(store.save(lap, true, &error), LapStore::SaveStatus::Failed) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(store.pathFor(lap.key)));
    }
    StoredLap back;
    for (float edge : {1.0f, 86400.0f}) {
        EXPECT_EQ(store.save(sampleLap(edge), true, &error), LapStore::SaveStatus::Stored) << error;
        EXPECT_EQ(store.load({"testring", "testcar"}, &back, &error), LapStore::LoadStatus::Ok) << error;
    }
}

TEST(LapStore, FileNamesKeepDifferentKeysApart)
{
    LapStore store("/k");
    EXPECT_EQ(store.pathFor({"Spa", "fw31"}), "/k/Spa@fw31.lap");
    EXPECT_EQ(store.pathFor({"a b/c", ".."}), "/k/a%20b%2Fc@%2E..lap");
    EXPECT_NE(store.pathFor({"a@b", "c"}), store.pathFor({"a", "b@c"}));

    TempFolder dir("laps");
    LapStore real(dir.path());
    std::string error;
    EXPECT_FALSE(real.remove({"none", "none"}, &error));
    EXPECT_EQ(error, "no reference lap stored for none, none");
}

TEST(CompletedLap, TheFastestTimedLapBetweenTwoBoundaries)
{
    auto lapOf = [](std::vector<LapSample>& out, int lap, float from, float to, float thr, float last) {
        for (float p = from; p <= to + 1e-6f; p += 0.1f)
            out.push_back({lap, p, thr, 1.0f - thr, last});
    };
    std::vector<LapSample> s;
    lapOf(s, 1, 0.5f, 0.9f, 0.1f, 0.0f);   // out lap
    lapOf(s, 2, 0.05f, 0.95f, 0.2f, 50.0f); // first boundary: lap 1 was not driven whole
    lapOf(s, 3, 0.05f, 0.95f, 0.3f, 45.0f); // lap 2 in 45
    lapOf(s, 4, 0.05f, 0.95f, 0.4f, 44.0f); // lap 3 in 44: the fastest
    lapOf(s, 5, 0.05f, 0.95f, 0.5f, 1e-30f); // lap 4 timed impossibly fast: no time
    lapOf(s, 6, 0.05f, 0.5f, 0.6f, 44.0f);  // lap 5 timed as fast; the first counts
    StoredLap lap;
    ASSERT_TRUE(fastestCompletedLap(s, &lap));
    EXPECT_EQ(lap.lapTime, 44.0f);
    const std::vector<LapPoint>& points = lap.points;
    ASSERT_FALSE(points.empty());
    // Lap 3 after its boundary sample, completed by lap 4's boundary sample
    // at 0.05: the start of the next lap, as the overlay records it.
    ASSERT_EQ(points.size(), 10u);
    EXPECT_FLOAT_EQ(points.front().pct, 0.05f);
    EXPECT_EQ(points.front().throttle, 0.4f);
    EXPECT_FLOAT_EQ(points[1].pct, 0.15f);
    EXPECT_EQ(points[1].throttle, 0.3f);
    EXPECT_EQ(points.back().throttle, 0.3f);

    // Without a second boundary nothing is complete.
    std::vector<LapSample> partial(s.begin(), s.begin() + 15);
    EXPECT_FALSE(fastestCompletedLap(partial, &lap));
    EXPECT_FALSE(fastestCompletedLap({}, &lap));
}

TEST(LapTime, MinutesOnlyFromAMinuteOnAndNothingThatIsNoLapTime)
{
    EXPECT_EQ(formatLapTime(37.1254f), "37.125");
    EXPECT_EQ(formatLapTime(83.5f), "1:23.500");
    EXPECT_EQ(formatLapTime(59.9996f), "1:00.000");
    EXPECT_EQ(formatLapTime(86400.0f), "1440:00.000");
    for (float t : {1e30f, -1e30f, 1e-30f, std::nanf(""), INFINITY})
        EXPECT_EQ(formatLapTime(t), "?") << t;
}
