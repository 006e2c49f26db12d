// Writes starting inputs for the fuzzers: small valid recordings of every
// storage type, the same layouts as live shared memory and as broker
// messages, session texts with paths, and kept reference laps, so that
// fuzzing starts from inputs that get past the header checks; and settings
// files.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ReferenceLaps.h"
#include "ibt_writer.h"
#include "settings_seeds.h"
#include "wire_format.h"

namespace {

const char* const kText =
    "WeekendInfo:\r\n TrackName: demo\r\n WeekendOptions:\r\n  NumStarters: 2\r\nDriverInfo:\r\n Drivers:\r\n"
    " - CarIdx: 0\r\n   UserName: Ann\r\n - CarIdx: 1\r\n   UserName: Bo\r\n";

// One message of the payload fuzzer's input.
std::string message(share::Topic topic, const std::string& payload)
{
    const size_t n = payload.size() < 65535 ? payload.size() : 65535;
    return std::string{static_cast<char>(topic), static_cast<char>(n & 0xff), static_cast<char>(n >> 8)} +
           payload.substr(0, n);
}

bool writeText(const std::string& path, const std::string& content)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: fuzz_seeds DISKCLIENT_DIR YAML_DIR LIVE_HEADER_DIR LAPFILE_DIR SHARE_DIR SETTINGS_DIR\n");
        return 2;
    }
    const std::string recordings = argv[1], texts = argv[2], live = argv[3], laps = argv[4], shared = argv[5],
                      settingsDir = argv[6];
    const std::vector<std::string> settingsTexts = settingsSeeds();
    for (size_t i = 0; i < settingsTexts.size(); ++i)
        if (!writeText(settingsDir + "/seed" + std::to_string(i), settingsTexts[i]))
            return 1;
    // Kept laps of both versions (untimed, then timed): an empty table, a
    // short one, and one with a throttle that is not a number (encoded all
    // the same; no store would keep it).
    for (int seed = 0; seed < 6; ++seed) {
        const int points = seed % 3;
        StoredLap lap;
        lap.key = {"demo_ring", "Demo Formula"};
        lap.lapTime = 36.25f;
        lap.storedAt = 1796000000;
        lap.timed = seed >= 3;
        lap.lineTime = lap.timed ? 36.254f : 0.0f;
        for (int i = 0; i < (points > 0 ? 5 : 0); ++i)
            lap.points.push_back({0.2f * i, 1.0f - 0.2f * i, 0.2f * i, lap.timed ? 7.0f * i : 0.0f,
                                  lap.timed ? 40.0f + i : 0.0f});
        if (points == 2)
            lap.points[2].throttle = std::nanf("");
        if (!writeText(laps + "/seed" + std::to_string(seed), encodeLap(lap)))
            return 1;
    }
    for (int records = 0; records < 3; ++records) {
        IbtWriter w;
        w.addVar("SessionTime", irsdk_double);
        w.addVar("Lap", irsdk_int);
        w.addVar("Throttle", irsdk_float);
        w.addVar("IsOnTrack", irsdk_bool);
        w.addVar("Flags", irsdk_bitField);
        w.addVar("Gear", irsdk_char);
        w.addVar("CarIdxLapDistPct", irsdk_float, 4);
        w.setSessionText(records == 1 ? "" : kText);
        for (int k = 0; k < records; ++k) {
            w.beginRecord();
            for (int v = 0; v < w.varCount(); ++v)
                w.set(v, 1.5 * (k + v));
            w.endRecord();
        }
        if (!w.writeFile(recordings + "/seed" + std::to_string(records) + ".ibt"))
            return 1;
        // The same layout as live shared memory: connected, its records in
        // as many slots, each with its tick.
        std::vector<char> view = w.bytes();
        irsdk_TelemetryHeader h;
        std::memcpy(&h, view.data(), sizeof h);
        h.statusFlags = irsdk_statusConnected;
        h.bufferCount = records > 0 ? records : 1;
        for (int k = 0; k < h.bufferCount; ++k) {
            h.bufferSlots[k].tick = 5 + k;
            h.bufferSlots[k].recordOffset = w.firstRecordOffset() + k * w.recordLength();
        }
        std::memcpy(view.data(), &h, sizeof h);
        if (!writeText(live + "/seed" + std::to_string(records), std::string(view.begin(), view.end())))
            return 1;
        // The same telemetry as broker messages: status, session text,
        // layout and the records, each a topic byte and a 16-bit length.
        std::string stream = message(share::Topic::Status, "online") + message(share::Topic::Session, kText);
        std::vector<irsdk_VarDescriptor> table(static_cast<size_t>(h.varCount));
        std::memcpy(table.data(), view.data() + h.varTableOffset, table.size() * sizeof table[0]);
        stream += message(share::Topic::Layout, share::encodeLayout(9, table.data(), h.varCount, h.recordLength));
        for (int k = 0; k < records; ++k) {
            const share::PayloadPrefix p = share::recordPrefix(9, static_cast<uint32_t>(k), 0);
            stream += message(share::Topic::Record,
                              std::string(reinterpret_cast<const char*>(&p), sizeof p) +
                                  std::string(view.data() + w.firstRecordOffset() + k * w.recordLength(),
                                              static_cast<size_t>(w.recordLength())));
        }
        if (!writeText(shared + "/seed" + std::to_string(records), stream))
            return 1;
    }
    const char* paths[] = {"WeekendInfo:TrackName:", "DriverInfo:Drivers:CarIdx:{1}UserName:",
        "WeekendInfo:WeekendOptions:NumStarters:", "DriverInfo:Drivers:CarIdx:{"};
    int n = 0;
    for (const char* p : paths) {
        const std::string path = p;
        const std::string input = std::string(1, static_cast<char>(path.size())) + path + kText;
        if (!writeText(texts + "/seed" + std::to_string(n++), input))
            return 1;
    }
    return 0;
}
