// Replaying a one-hour recording (216,000 records at 60 a second): stepping
// through every record with getNextData and reading ten variables by index,
// against a plain sequential fread of the same file in record-sized chunks.
#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "demo_synth.h"
#include "irsdk_diskclient.h"

namespace {

const long long kRecords = 216000;

// The recording, written once per run and removed at exit.
class HourRecording {
public:
    HourRecording() : path("/tmp/reader_bench_" + std::to_string(getpid()) + ".ibt")
    {
        ok = writeDemoRecords(path, kRecords, 1);
    }
    ~HourRecording() { std::remove(path.c_str()); }
    std::string path;
    bool ok = false;
};

const HourRecording& recording()
{
    static HourRecording r;
    return r;
}

void BM_ReaderStepTenVariables(benchmark::State& state)
{
    const HourRecording& rec = recording();
    if (!rec.ok) {
        state.SkipWithError("cannot write the recording");
        return;
    }
    const char* names[] = {"SessionTime", "Throttle", "Brake", "Speed", "RPM", "Gear", "Lap", "LapDistPct",
        "YawNorth", "IsOnTrack"};
    long long records = 0;
    int recordLength = 0;
    for (auto _ : state) {
        irsdkDiskClient reader;
        if (!reader.openFile(rec.path.c_str())) {
            state.SkipWithError("cannot open the recording");
            return;
        }
        recordLength = reader.getHeader().recordLength;
        int idx[10];
        for (int i = 0; i < 10; ++i)
            idx[i] = reader.getVarIdx(names[i]);
        records = 0;
        double sum = 0.0;
        while (reader.getNextData()) {
            sum += reader.getVarDouble(idx[0]);
            sum += reader.getVarFloat(idx[1]) + reader.getVarFloat(idx[2]) + reader.getVarFloat(idx[3])
                + reader.getVarFloat(idx[4]);
            sum += reader.getVarInt(idx[5]) + reader.getVarInt(idx[6]);
            sum += reader.getVarFloat(idx[7]) + reader.getVarFloat(idx[8]);
            sum += reader.getVarBool(idx[9]);
            ++records;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["records"] = static_cast<double>(records);
    state.SetBytesProcessed(state.iterations() * records * recordLength);
}

void BM_PlainSequentialRead(benchmark::State& state)
{
    const HourRecording& rec = recording();
    irsdkDiskClient probe;
    if (!rec.ok || !probe.openFile(rec.path.c_str())) {
        state.SkipWithError("cannot open the recording");
        return;
    }
    const size_t recordLength = static_cast<size_t>(probe.getHeader().recordLength);
    probe.closeFile();
    std::vector<char> buffer(recordLength);
    long long chunks = 0;
    for (auto _ : state) {
        FILE* f = std::fopen(rec.path.c_str(), "rb");
        if (!f) {
            state.SkipWithError("cannot open the recording");
            return;
        }
        chunks = 0;
        while (std::fread(buffer.data(), 1, recordLength, f) == recordLength) {
            benchmark::DoNotOptimize(buffer.data());
            ++chunks;
        }
        std::fclose(f);
    }
    state.counters["records"] = static_cast<double>(chunks);
    state.SetBytesProcessed(state.iterations() * chunks * static_cast<long long>(recordLength));
}

} // namespace

BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReaderStepTenVariables)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
