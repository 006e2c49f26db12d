// Live telemetry: the cost of taking one record, and under load: (a) a writer rewriting the slots as fast as it
// can while the reader takes records, to at least a million deliveries, none
// torn; (b) the time from the publisher's signal to waitForData returning
// with that record, over 10,000 ticks at 1 kHz.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "irsdk_client.h"
#include "irsdk_utils.h"
#include "irsdk_utils_internal.h"
#include "live_publisher.h"
#include "stress_record.h"

namespace {

using Clock = std::chrono::steady_clock;

void usePrivateNames()
{
    const std::string prefix = "livebench" + std::to_string(getpid()) + "_";
    setenv("IRSDK_SHM_PREFIX", prefix.c_str(), 1);
}

// Deliveries under a full-speed writer; counts torn copies that the tick
// check refused and any torn record that was handed out (must stay 0).
void BM_StressDeliveries(benchmark::State& state)
{
    usePrivateNames();
    const int length = static_cast<int>(state.range(0));
    const long long wanted = 1000000;
    long long delivered = 0, handedOutTorn = 0, outOfOrder = 0;
    unsigned long long refused = 0;
    for (auto _ : state) {
        LivePublisher publisher;
        if (!publisher.open("", {}, length, 3)) {
            state.SkipWithError(publisher.error().c_str());
            return;
        }
        publisher.setConnected(true);
        std::atomic<bool> stop{false};
        std::thread writer = stress_record::startWriter(publisher, length, stop);
        const unsigned long long tornBefore = irsdk_getTornCopyCount();
        std::vector<char> buf(length);
        uint32_t last = 0;
        delivered = 0;
        while (delivered < wanted) {
            if (!irsdk_waitForDataReady(16, buf.data(), length))
                continue;
            uint32_t seq = 0;
            if (!stress_record::valid(buf.data(), length, &seq))
                ++handedOutTorn;
            else if (seq <= last)
                ++outOfOrder;
            last = seq;
            ++delivered;
        }
        stop = true;
        writer.join();
        refused = irsdk_getTornCopyCount() - tornBefore;
        irsdk_shutdown();
    }
    state.counters["delivered"] = static_cast<double>(delivered);
    state.counters["torn_refused"] = static_cast<double>(refused);
    state.counters["torn_handed_out"] = static_cast<double>(handedOutTorn);
    state.counters["out_of_order"] = static_cast<double>(outOfOrder);
}
BENCHMARK(BM_StressDeliveries)->Arg(1216)->Arg(16384)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Cost of taking one record without contention: the publisher writes a
// record, the reader takes and copies it; per iteration, so the figure is
// the time per record of the reader's copy and checks plus one publish.
void BM_TakeOneRecord(benchmark::State& state)
{
    usePrivateNames();
    const int length = static_cast<int>(state.range(0));
    LivePublisher publisher;
    if (!publisher.open("", {}, length, 3)) {
        state.SkipWithError(publisher.error().c_str());
        return;
    }
    publisher.setConnected(true);
    std::vector<char> rec(length, 'r'), buf(length);
    publisher.publish(rec.data());
    irsdk_getNewData(buf.data(), length); // attaches and synchronises
    long long taken = 0;
    for (auto _ : state) {
        publisher.publish(rec.data());
        taken += irsdk_getNewData(buf.data(), length) ? 1 : 0;
    }
    irsdk_shutdown();
    state.counters["taken"] = static_cast<double>(taken);
}
BENCHMARK(BM_TakeOneRecord)->Arg(1216)->Arg(16384);

double nsSince(Clock::time_point origin)
{
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - origin).count());
}

// Signal-to-delivery latency through irsdkClient::waitForData(16); a wait
// that comes back empty after the full 16 ms while ticks flow is counted.
void BM_SignalToDelivery(benchmark::State& state)
{
    usePrivateNames();
    const int ticks = 10000;
    std::vector<double> latencies;
    int timeoutWakes = 0;
    for (auto _ : state) {
        irsdk_VarDescriptor stamp{};
        stamp.typeCode = irsdk_double;
        stamp.elementCount = 1;
        std::snprintf(stamp.name, sizeof stamp.name, "%s", "SignalNs");
        LivePublisher publisher;
        if (!publisher.open("", {stamp}, 1216, 3)) {
            state.SkipWithError(publisher.error().c_str());
            return;
        }
        publisher.setConnected(true);
        const Clock::time_point origin = Clock::now();
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            std::vector<char> rec(1216);
            auto next = Clock::now();
            while (!stop.load()) {
                next += std::chrono::microseconds(1000);
                std::this_thread::sleep_until(next);
                const double t = nsSince(origin);
                std::memcpy(rec.data(), &t, sizeof t);
                publisher.publish(rec.data());
            }
        });
        irsdkClient& client = irsdkClient::instance();
        latencies.clear();
        latencies.reserve(ticks);
        double lastStamp = -1;
        while (static_cast<int>(latencies.size()) < ticks) {
            const auto before = Clock::now();
            if (!client.waitForData(16)) {
                if (client.isConnected() && Clock::now() - before >= std::chrono::milliseconds(16))
                    ++timeoutWakes;
                continue;
            }
            const double stampNs = client.getVarDouble("SignalNs");
            const double now = nsSince(origin);
            if (stampNs != lastStamp)
                latencies.push_back(now - stampNs);
            lastStamp = stampNs;
        }
        stop = true;
        writer.join();
        client.shutdown();
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["ticks"] = static_cast<double>(latencies.size());
    state.counters["median_us"] = latencies[latencies.size() / 2] / 1000.0;
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100] / 1000.0;
    state.counters["max_us"] = latencies.back() / 1000.0;
    state.counters["timeout_wakes"] = timeoutWakes;
}
BENCHMARK(BM_SignalToDelivery)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
