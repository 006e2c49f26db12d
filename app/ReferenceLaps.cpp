#include "ReferenceLaps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>
#include <system_error>

#include "UserFiles.h"

namespace {

const char kMagic[4] = {'T', 'O', 'L', 'P'};
// Version 1: laps without timing; version 2: timed laps.
const uint32_t kUntimedVersion = 1;
const uint32_t kTimedVersion = 2;
// Header and point sizes by version (index 1 and 2).
const size_t kHeaderBytes[] = {0, 28, 32};
const size_t kPointBytes[] = {0, 12, 20};
// A lap sampled at 60 Hz for an hour is far below this.
const uint32_t kMaxPoints = 1000000;
const size_t kMaxFileBytes = kHeaderBytes[kTimedVersion] + 2 * 65535 + kPointBytes[kTimedVersion] * kMaxPoints + 4;
const size_t kMaxNameBytes = 1024;
// The range of plausible lap times: a second to a day.
const float kMinLapTime = 1.0f;
const float kMaxLapTime = 24.0f * 60.0f * 60.0f;
// How long a lap store waits for another process to finish its write.
const int kLockWaitMs = 3000;

uint32_t crc32(const unsigned char* data, size_t n)
{
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        made = true;
    }
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void putU16(std::string& out, uint16_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void putU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putI64(std::string& out, int64_t v)
{
    const uint64_t u = static_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

void putF32(std::string& out, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    putU32(out, u);
}

uint32_t getU32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t getU16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int64_t getI64(const unsigned char* p)
{
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
        u = (u << 8) | p[i];
    return static_cast<int64_t>(u);
}

float getF32(const unsigned char* p)
{
    const uint32_t u = getU32(p);
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

std::string percentEncoded(const std::string& s)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        if (plain && !(c == '.' && out.empty())) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string sessionValue(const SessionLookup& lookup, const std::string& path)
{
    char val[256];
    if (lookup(path.c_str(), val, static_cast<int>(sizeof val) - 1) != 1)
        return {};
    std::string s = val;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    return s;
}

} // namespace

LapKey lapKeyFromSession(const SessionLookup& lookup)
{
    LapKey key;
    const std::string index = sessionValue(lookup, "DriverInfo:DriverCarIdx:");
    if (index.empty() || index.find_first_not_of("0123456789") != std::string::npos)
        return {};
    key.track = sessionValue(lookup, "WeekendInfo:TrackName:");
    const std::string driver = "DriverInfo:Drivers:CarIdx:{" + index + "}";
    key.car = sessionValue(lookup, driver + "CarPath:");
    if (key.car.empty())
        key.car = sessionValue(lookup, driver + "CarScreenName:");
    if (!key.known())
        return {};
    return key;
}

std::string encodeLap(const StoredLap& lap)
{
    std::string out(kMagic, 4);
    putU32(out, lap.timed ? kTimedVersion : kUntimedVersion);
    putF32(out, lap.lapTime);
    putU32(out, static_cast<uint32_t>(lap.points.size()));
    putI64(out, lap.storedAt);
    putU16(out, static_cast<uint16_t>(lap.key.track.size()));
    putU16(out, static_cast<uint16_t>(lap.key.car.size()));
    if (lap.timed)
        putF32(out, lap.lineTime);
    out += lap.key.track;
    out += lap.key.car;
    for (const LapPoint& p : lap.points) {
        putF32(out, p.pct);
        putF32(out, p.throttle);
        putF32(out, p.brake);
        if (lap.timed) {
            putF32(out, p.time);
            putF32(out, p.speed);
        }
    }
    putU32(out, crc32(reinterpret_cast<const unsigned char*>(out.data()), out.size()));
    return out;
}

bool peekLapTime(const std::string& bytes, float* lapTime)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data(), kMagic, 4) != 0)
        return false;
    const float t = getF32(reinterpret_cast<const unsigned char*>(bytes.data()) + 8);
    if (!plausibleLapTime(t))
        return false;
    *lapTime = t;
    return true;
}

bool plausibleLapTime(float seconds)
{
    return seconds >= kMinLapTime && seconds <= kMaxLapTime;
}

bool lapIsStorable(const StoredLap& lap, std::string* why)
{
    if (!lap.key.known() || lap.key.track.size() > kMaxNameBytes || lap.key.car.size() > kMaxNameBytes) {
        *why = "the lap names no track and car, or names too long to keep";
        return false;
    }
    if (!plausibleLapTime(lap.lapTime)) {
        char time[32];
        std::snprintf(time, sizeof time, "%g", static_cast<double>(lap.lapTime));
        *why = std::string("the lap's time of ") + time + " s is outside 1 s to 24 h";
        return false;
    }
    if (lap.points.size() > kMaxPoints) {
        *why = "the lap has more than " + std::to_string(kMaxPoints) + " points";
        return false;
    }
    if (lap.timed && !plausibleLapTime(lap.lineTime)) {
        *why = "the lap's time from line to line is outside 1 s to 24 h";
        return false;
    }
    for (size_t i = 0; i < lap.points.size(); ++i) {
        const LapPoint& p = lap.points[i];
        if (!std::isfinite(p.pct) || !std::isfinite(p.throttle) || !std::isfinite(p.brake)) {
            *why = "the lap holds throttle, brake or lap position values that are not finite numbers";
            return false;
        }
        if (i > 0 && !(p.pct > lap.points[i - 1].pct)) {
            *why = "the lap's positions are out of order";
            return false;
        }
        if (!lap.timed)
            continue;
        if (!std::isfinite(p.time) || !std::isfinite(p.speed)) {
            *why = "the lap holds times or speeds that are not finite numbers";
            return false;
        }
        if (p.time < 0.0f || p.time > lap.lineTime || (i > 0 && p.time < lap.points[i - 1].time)) {
            *why = "the lap's times go back or lie outside the lap";
            return false;
        }
    }
    return true;
}

bool decodeLap(const std::string& bytes, StoredLap* lap, std::string* error)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t size = bytes.size();
    if (size < 8 || std::memcmp(p, kMagic, 4) != 0) {
        *error = "not a reference lap file";
        return false;
    }
    const uint32_t version = getU32(p + 4);
    if (version != kUntimedVersion && version != kTimedVersion) {
        *error = "unknown version " + std::to_string(version);
        return false;
    }
    const bool timed = version == kTimedVersion;
    const size_t headerBytes = kHeaderBytes[version];
    const size_t pointBytes = kPointBytes[version];
    if (size < headerBytes + 4) {
        *error = "truncated";
        return false;
    }
    const uint32_t count = getU32(p + 12);
    const size_t trackLen = getU16(p + 24);
    const size_t carLen = getU16(p + 26);
    if (count > kMaxPoints || trackLen > kMaxNameBytes || carLen > kMaxNameBytes) {
        *error = "corrupt (impossible sizes)";
        return false;
    }
    const size_t expected = headerBytes + trackLen + carLen + pointBytes * count + 4;
    if (size < expected) {
        *error = "truncated";
        return false;
    }
    if (size > expected) {
        *error = "corrupt (bytes after the end)";
        return false;
    }
    if (crc32(p, size - 4) != getU32(p + size - 4)) {
        *error = "corrupt (checksum mismatch)";
        return false;
    }

    StoredLap out;
    out.lapTime = getF32(p + 8);
    out.storedAt = getI64(p + 16);
    out.timed = timed;
    if (timed)
        out.lineTime = getF32(p + 28);
    out.key.track.assign(bytes, headerBytes, trackLen);
    out.key.car.assign(bytes, headerBytes + trackLen, carLen);
    out.points.reserve(count);
    const unsigned char* q = p + headerBytes + trackLen + carLen;
    for (uint32_t i = 0; i < count; ++i, q += pointBytes) {
        LapPoint point;
        point.pct = getF32(q);
        point.throttle = getF32(q + 4);
        point.brake = getF32(q + 8);
        if (timed) {
            point.time = getF32(q + 12);
            point.speed = getF32(q + 16);
        }
        out.points.push_back(point);
    }
    // A whole file holds only what could be stored.
    std::string why;
    if (!lapIsStorable(out, &why)) {
        *error = "corrupt (" + why + ")";
        return false;
    }
    *lap = std::move(out);
    return true;
}

bool fastestCompletedLap(const std::vector<LapSample>& samples, StoredLap* lap)
{
    if (samples.empty())
        return false;
    std::map<float, std::pair<float, float>> current;
    bool recording = false;
    bool found = false;
    int lastLap = samples.front().lap;
    // The recorded lap is timed when the start line was crossed exactly once
    // while it was recorded: its timing is the lap that crossing ended.
    LapClock clock;
    unsigned long crossingsAtStart = 0;
    for (const LapSample& s : samples) {
        clock.take(s.time, s.pct, s.speed);
        if (recording && std::isfinite(s.pct))
            current.emplace(s.pct, std::make_pair(s.throttle, s.brake));
        if (!(s.pct > 0.03f && s.lap > lastLap))
            continue;
        lastLap = s.lap;
        if (recording && plausibleLapTime(s.lastLapTime) && !current.empty() &&
            (!found || s.lastLapTime < lap->lapTime)) {
            found = true;
            lap->lapTime = s.lastLapTime;
            lap->points.clear();
            for (const auto& e : current) {
                LapPoint p;
                p.pct = e.first;
                p.throttle = e.second.first;
                p.brake = e.second.second;
                lap->points.push_back(p);
            }
            lap->timed = clock.crossings() == crossingsAtStart + 1 && clock.lastLapEnd() == clock.crossings() &&
                         plausibleLapTime(clock.lastLapTime());
            lap->lineTime = lap->timed ? clock.lastLapTime() : 0.0f;
            if (lap->timed)
                fillTiming(lap->points, clock.lastLap(), lap->lineTime);
        }
        current.clear();
        recording = true;
        crossingsAtStart = clock.crossings();
    }
    return found;
}

std::string LapStore::defaultFolder(std::string* error)
{
    const std::string data = userfiles::dataFolder(error);
    return data.empty() ? data : data + "/laps";
}

std::string LapStore::pathFor(const LapKey& key) const
{
    return folder + "/" + percentEncoded(key.track) + "@" + percentEncoded(key.car) + ".lap";
}

LapStore::LoadStatus LapStore::load(const LapKey& key, StoredLap* lap, std::string* error) const
{
    userfiles::removeStaleTemporaries(folder + "/*.lap", lockPath());
    const std::string path = pathFor(key);
    std::string bytes;
    switch (userfiles::readFile(path, kMaxFileBytes, &bytes, error)) {
    case userfiles::ReadStatus::Missing:
        return LoadStatus::Missing;
    case userfiles::ReadStatus::Failed:
        return LoadStatus::Bad;
    case userfiles::ReadStatus::Ok:
        break;
    }
    std::string why;
    if (!decodeLap(bytes, lap, &why)) {
        *error = path + ": " + why;
        return LoadStatus::Bad;
    }
    if (lap->key != key) {
        *error = path + ": holds the lap of " + lap->key.track + ", " + lap->key.car;
        return LoadStatus::Bad;
    }
    return LoadStatus::Ok;
}

namespace {

// Whether the stored file `bytes` keeps its place against `lap`: a lap of
// the key that is faster, or as fast and timed or against an untimed lap; or
// a file of a version this reader does not know whose lap time is not slower.
// Files that can never load for the key do not. False, with *error set, for
// a file that does not begin as a lap file.
bool storedLapHolds(const std::string& bytes, const StoredLap& lap, bool* holds, std::string* error)
{
    *holds = false;
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kMagic, 4) != 0) {
        *error = "not a reference lap file; left as it is";
        return false;
    }
    StoredLap stored;
    std::string why;
    float storedTime = 0.0f;
    const uint32_t version = getU32(reinterpret_cast<const unsigned char*>(bytes.data()) + 4);
    if (decodeLap(bytes, &stored, &why))
        *holds = stored.key == lap.key && (stored.lapTime < lap.lapTime ||
                                           (stored.lapTime == lap.lapTime && (stored.timed || !lap.timed)));
    else if (version != kUntimedVersion && version != kTimedVersion)
        *holds = peekLapTime(bytes, &storedTime) && storedTime <= lap.lapTime;
    return true;
}

} // namespace

LapStore::SaveStatus LapStore::save(const StoredLap& lap, bool force, std::string* error) const
{
    const std::string path = pathFor(lap.key);
    if (!lapIsStorable(lap, error))
        return SaveStatus::Failed;
    userfiles::removeStaleTemporaries(folder + "/*.lap", lockPath());
    const userfiles::FileLock lock(lockPath(), kLockWaitMs);
    if (!lock.held()) {
        *error = lock.error();
        return SaveStatus::Failed;
    }
    if (!force) {
        std::string bytes;
        const userfiles::ReadStatus read = userfiles::readFile(path, kMaxFileBytes, &bytes, error);
        if (read == userfiles::ReadStatus::Failed)
            return SaveStatus::Failed;
        bool holds = false;
        if (read == userfiles::ReadStatus::Ok && !storedLapHolds(bytes, lap, &holds, error)) {
            *error = path + ": " + *error;
            return SaveStatus::Failed;
        }
        if (holds)
            return SaveStatus::NotFaster;
    }
    return userfiles::writeFileAtomically(path, encodeLap(lap), error) ? SaveStatus::Stored : SaveStatus::Failed;
}

std::vector<StoredLap> LapStore::list(std::vector<std::string>* problems) const
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(fs::u8path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lap") == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<StoredLap> laps;
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        std::string bytes, error;
        StoredLap lap;
        if (userfiles::readFile(path, kMaxFileBytes, &bytes, &error) != userfiles::ReadStatus::Ok) {
            problems->push_back(error);
        } else if (!decodeLap(bytes, &lap, &error)) {
            problems->push_back(path + ": " + error);
        } else if (pathFor(lap.key) != path) {
            problems->push_back(path + ": holds the lap of " + lap.key.track + ", " + lap.key.car);
        } else {
            laps.push_back(std::move(lap));
        }
    }
    return laps;
}

bool LapStore::remove(const LapKey& key, std::string* error) const
{
    const std::string path = pathFor(key);
    std::string bytes;
    if (userfiles::readFile(path, kMaxFileBytes, &bytes, error) == userfiles::ReadStatus::Missing) {
        *error = "no reference lap stored for " + key.track + ", " + key.car;
        return false;
    }
    return userfiles::removeFile(path, error);
}

std::string formatLapTime(float seconds)
{
    if (!plausibleLapTime(seconds))
        return "?";
    const long ms = std::lround(static_cast<double>(seconds) * 1000.0);
    char buf[32];
    if (ms >= 60000)
        std::snprintf(buf, sizeof buf, "%ld:%02ld.%03ld", ms / 60000, ms / 1000 % 60, ms % 1000);
    else
        std::snprintf(buf, sizeof buf, "%ld.%03ld", ms / 1000, ms % 1000);
    return buf;
}
