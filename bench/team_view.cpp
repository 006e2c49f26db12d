// Measured runs of the team view (bench/team-view-run starts the broker and
// the sharing processes and prints the figures):
//     team_view bytes FILE
//         what one car sends a second at 60 Hz: every variable of FILE, and
//         the variables the three overlays read
//     team_view watch URL CARS VIEWERS SECONDS
//         VIEWERS viewers of CARS cars each (URL/carN for N from 1), for
//         SECONDS: records received and lost (by the sharers' sequence
//         numbers), and the latency from sharing to a viewer's step
//     team_view share-cost URL FILE BROKER_PID
//         the time the overlay's thread spends handing one record to the
//         sharer, at 60 Hz, while the broker is well, stopped (SIGSTOP: a
//         broker that takes nothing), and gone (SIGKILL)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BrokerSource.h"
#include "IRData.h"
#include "TelemetrySharer.h"
#include "irsdk_diskclient.h"
#include "wire_format.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kOverlayVariables[] = {"SessionTime", "Throttle", "Brake",     "LapDistPct", "Lap",      "LapLastLapTime",
                                         "IsOnTrack",   "VelocityX", "VelocityY", "VelocityZ",  "YawNorth", "Gear"};

BrokerAddress address(const std::string& url)
{
    BrokerAddress a;
    std::string error;
    if (!parseBrokerUrl(url, &a, &error)) {
        std::fprintf(stderr, "team_view: %s\n", error.c_str());
        std::exit(2);
    }
    return a;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// Bytes of an MQTT 3.1.1 PUBLISH at QoS 0 with this topic and payload.
size_t wireBytes(const std::string& topic, size_t payload)
{
    const size_t remaining = 2 + topic.size() + payload;
    const size_t lengthBytes = remaining < 128 ? 1 : remaining < 16384 ? 2 : remaining < 2097152 ? 3 : 4;
    return 1 + lengthBytes + remaining;
}

int bytes(const char* path)
{
    irsdkDiskClient reader;
    if (!reader.openFile(path)) {
        std::fprintf(stderr, "team_view: cannot read %s\n", path);
        return 2;
    }
    int overlaysLength = 0;
    int found = 0;
    for (const char* name : kOverlayVariables) {
        const irsdk_VarDescriptor* d = reader.getVarDescriptor(reader.getVarIdx(name));
        if (d) {
            overlaysLength += d->elementCount * irsdk_typeSize(d->typeCode);
            ++found;
        }
    }
    const std::string topic = "team/car01/record";
    const struct {
        const char* what;
        int vars;
        int length;
    } sets[] = {{"every variable", reader.getHeader().varCount, reader.getRecordBytes()},
                {"the overlays' variables", found, overlaysLength}};
    for (const auto& s : sets) {
        const size_t payload = sizeof(share::PayloadPrefix) + static_cast<size_t>(s.length);
        std::printf("%s: %d variables, record %d bytes, payload %zu bytes, %zu bytes a second at 60 Hz "
                    "(%zu with MQTT framing and the topic %s)\n",
                    s.what, s.vars, s.length, payload, payload * 60, wireBytes(topic, payload) * 60, topic.c_str());
    }
    return 0;
}

int watch(const std::string& base, int cars, int viewers, double seconds)
{
    struct Car {
        std::unique_ptr<BrokerSource> source;
        bool started = false;
        uint32_t first = 0, last = 0;
        uint64_t received = 0;
    };
    std::vector<std::vector<Car>> all(static_cast<size_t>(viewers));
    for (auto& viewer : all)
        for (int c = 1; c <= cars; ++c) {
            Car car;
            car.source = std::make_unique<BrokerSource>(address(base + "/car" + std::to_string(c)), BrokerLogin{},
                                                        "team_view", 600);
            std::string error;
            if (!car.source->start(&error)) {
                std::fprintf(stderr, "team_view: %s\n", error.c_str());
                return 2;
            }
            viewer.push_back(std::move(car));
        }
    std::mutex mutex;
    std::vector<double> latencies;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    for (auto& viewer : all)
        threads.emplace_back([&] {
            std::vector<double> mine;
            while (Clock::now() < end) {
                bool any = false;
                for (Car& car : viewer) {
                    while (car.source->next(0)) {
                        any = true;
                        const SharedTelemetry& t = car.source->shared();
                        mine.push_back(static_cast<double>(share::nowUs() - t.sentAtUs()) / 1000.0);
                        if (!car.started)
                            car.first = t.sequence();
                        car.started = true;
                        car.last = t.sequence();
                        ++car.received;
                    }
                }
                if (!any)
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            std::lock_guard<std::mutex> lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    for (std::thread& t : threads)
        t.join();
    uint64_t received = 0, expected = 0, dropped = 0;
    for (auto& viewer : all)
        for (Car& car : viewer) {
            received += car.received;
            expected += car.started ? car.last - car.first + 1 : 0;
            dropped += car.source->droppedRecords();
        }
    std::printf("%d viewers of %d cars for %.0f s: %llu records received, %llu lost (%llu of them dropped by slow "
                "viewers); latency median %.2f ms, p99 %.2f ms, worst %.2f ms\n",
                viewers, cars, seconds, static_cast<unsigned long long>(received),
                static_cast<unsigned long long>(expected - received), static_cast<unsigned long long>(dropped),
                percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0));
    return 0;
}

int shareCost(const std::string& url, const char* path, long brokerPid)
{
    IRData source(path);
    TelemetrySharer sharer(address(url), {});
    std::string error;
    if (!sharer.start(&error)) {
        std::fprintf(stderr, "team_view: %s\n", error.c_str());
        return 2;
    }
    const auto connected = Clock::now() + std::chrono::seconds(5);
    while (sharer.broker().state() != BrokerConnection::State::Connected && Clock::now() < connected)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const struct {
        const char* what;
        int signal;
        double seconds;
    } phases[] = {{"broker well", 0, 5}, {"broker stopped (SIGSTOP)", SIGSTOP, 10}, {"broker gone", SIGKILL, 5}};
    const auto period = std::chrono::microseconds(16667);
    for (const auto& phase : phases) {
        if (phase.signal == SIGKILL)
            ::kill(static_cast<pid_t>(brokerPid), SIGCONT);
        if (phase.signal)
            ::kill(static_cast<pid_t>(brokerPid), phase.signal);
        std::vector<double> costs;
        const uint64_t droppedBefore = sharer.droppedRecords();
        const uint64_t sharedBefore = sharer.sharedRecords();
        auto next = Clock::now();
        const auto end = next + std::chrono::duration<double>(phase.seconds);
        while (Clock::now() < end) {
            if (!source.updateData()) {
                source.endSession();
                source.updateData();
            }
            const auto t0 = Clock::now();
            sharer.share(source.source());
            costs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
            next += period;
            std::this_thread::sleep_until(next);
        }
        std::printf("%s: %zu records handed over, %llu sent, %llu dropped; cost per record median %.1f us, p99 %.1f "
                    "us, worst %.1f us; %d messages waiting in the client\n",
                    phase.what, costs.size(), static_cast<unsigned long long>(sharer.sharedRecords() - sharedBefore),
                    static_cast<unsigned long long>(sharer.droppedRecords() - droppedBefore), percentile(costs, 0.5),
                    percentile(costs, 0.99), percentile(costs, 1.0), sharer.broker().pending());
    }
    const auto t0 = Clock::now();
    sharer.stop();
    std::printf("stopping with the broker gone: %.0f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bytes" && argc == 3)
        return bytes(argv[2]);
    if (mode == "watch" && argc == 6)
        return watch(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atof(argv[5]));
    if (mode == "share-cost" && argc == 5)
        return shareCost(argv[2], argv[3], std::atol(argv[4]));
    std::fprintf(stderr, "usage: team_view bytes FILE | watch URL CARS VIEWERS SECONDS | share-cost URL FILE BROKER_PID\n");
    return 2;
}
