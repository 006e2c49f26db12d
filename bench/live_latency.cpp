// The time from a publisher's data-ready signal to a reader's wake-up with
// that record, in two halves that may run in different processes, on either
// system and across the Wine boundary (bench/bridge-latency-run):
//     live_latency publish COUNT [HZ]   publishes COUNT records HZ a second
//                                       (default 60), each stamped with the
//                                       time just before it is signalled
//     live_latency read COUNT           waits for COUNT records and prints
//                                       the median, p99 and worst latency
// Both sides read one clock: CLOCK_MONOTONIC_RAW on Linux, and under Wine
// QueryPerformanceCounter, which Wine takes from the same clock.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

#include "irsdk_utils.h"
#include "live_publisher.h"

namespace {

const int kRecordLength = 16; // StampNs (double), Seq (int), padding

double nowNs()
{
#ifdef _WIN32
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart / frequency.QuadPart) * 1e9
        + static_cast<double>(count.QuadPart % frequency.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
#else
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
#endif
}

irsdk_VarDescriptor variable(const char* name, int type, int offset)
{
    irsdk_VarDescriptor d{};
    d.typeCode = type;
    d.dataOffset = offset;
    d.elementCount = 1;
    std::snprintf(d.name, sizeof d.name, "%s", name);
    return d;
}

int publish(long count, double rate)
{
    LivePublisher publisher;
    if (!publisher.open("WeekendInfo:\n TrackName: latency\n",
            {variable("StampNs", irsdk_double, 0), variable("Seq", irsdk_int, 8)}, kRecordLength, 3)) {
        std::fprintf(stderr, "live_latency: %s\n", publisher.error().c_str());
        return 1;
    }
    publisher.setConnected(true);
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / rate));
    auto next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    char record[kRecordLength] = {0};
    for (int seq = 1; seq <= count; ++seq) {
        std::this_thread::sleep_until(next);
        next += period;
        std::memcpy(record + 8, &seq, sizeof seq);
        const double stamp = nowNs();
        std::memcpy(record, &stamp, sizeof stamp);
        publisher.publish(record);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    publisher.close();
    return 0;
}

int read(long count)
{
    std::vector<double> latencies;
    latencies.reserve(static_cast<size_t>(count));
    char record[kRecordLength];
    int lastSeq = 0, missed = 0;
    auto lastRecord = std::chrono::steady_clock::now();
    while (static_cast<long>(latencies.size()) < count) {
        if (!irsdk_waitForDataReady(16, record, kRecordLength)) {
            if (std::chrono::steady_clock::now() - lastRecord > std::chrono::seconds(60))
                break;
            continue;
        }
        const double woke = nowNs();
        lastRecord = std::chrono::steady_clock::now();
        double stamp = 0;
        int seq = 0;
        std::memcpy(&stamp, record, sizeof stamp);
        std::memcpy(&seq, record + 8, sizeof seq);
        if (lastSeq > 0 && seq > lastSeq + 1)
            missed += seq - lastSeq - 1;
        lastSeq = seq;
        latencies.push_back((woke - stamp) / 1000.0);
    }
    if (latencies.empty()) {
        std::fprintf(stderr, "live_latency: no records\n");
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) { return latencies[static_cast<size_t>(q * static_cast<double>(latencies.size() - 1))]; };
    std::printf("%zu records (%d missed): median %.1f us, p99 %.1f us, worst %.1f us\n", latencies.size(), missed,
        at(0.5), at(0.99), latencies.back());
    irsdk_shutdown();
    return latencies.size() == static_cast<size_t>(count) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const long count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
    const double rate = argc > 3 ? std::strtod(argv[3], nullptr) : 60.0;
    if (argc >= 3 && count > 0 && rate > 0 && rate <= 10000) {
        if (std::strcmp(argv[1], "publish") == 0)
            return publish(count, rate);
        if (std::strcmp(argv[1], "read") == 0)
            return read(count);
    }
    std::fprintf(stderr, "usage: live_latency publish COUNT [HZ] | read COUNT\n");
    return 2;
}
