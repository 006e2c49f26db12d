// Checks the live layer on the platform it is built for, without a test
// framework so that it cross-compiles and runs under Wine: nothing attaches
// before a publisher exists; a concurrent publisher's records arrive whole
// and in order; the data-ready event (not the time-out) wakes the reader;
// a cleared connected bit and a hostile header are handled. Exit status 0
// when every check passes.
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "irsdk_client.h"
#include "irsdk_utils.h"
#include "live_publisher.h"
#include "stress_record.h"

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok)
        ++failures;
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

} // namespace

int main()
{
    const int length = 1024;
    std::vector<char> buf(length);

    check(!irsdk_startup(), "nothing to attach to before a publisher exists");
    const auto idle = Clock::now();
    check(!irsdk_waitForDataReady(0, buf.data(), length) && secondsSince(idle) < 0.5,
        "waiting with time-out 0 while detached returns at once");

    LivePublisher publisher;
    irsdk_VarDescriptor seqVar{};
    seqVar.typeCode = irsdk_int;
    seqVar.elementCount = 1;
    std::snprintf(seqVar.name, sizeof seqVar.name, "%s", "Seq");
    if (!publisher.open("WeekendInfo:\n TrackName: wine\n", {seqVar}, length, 3)) {
        std::printf("FAIL: cannot publish: %s\n", publisher.error().c_str());
        return 1;
    }
    publisher.setConnected(true);
    check(irsdk_startup(), "attaches to the named shared memory and event");

    // A publisher as fast as it can go: nothing torn, nothing out of order.
    {
        std::atomic<bool> stop{false};
        std::thread writer = stress_record::startWriter(publisher, length, stop);
        long long delivered = 0, torn = 0;
        uint32_t last = 0;
        bool ordered = true;
        const auto start = Clock::now();
        while (secondsSince(start) < 1.0) {
            if (!irsdk_waitForDataReady(50, buf.data(), length))
                continue;
            uint32_t seq = 0;
            if (!stress_record::valid(buf.data(), length, &seq))
                ++torn;
            else if (seq <= last)
                ordered = false;
            last = seq;
            ++delivered;
        }
        stop = true;
        writer.join();
        std::printf("      %lld records delivered under a full-speed writer\n", delivered);
        check(delivered > 100 && torn == 0 && ordered, "concurrent records arrive whole and in order");
    }

    // A paced publisher: the event wakes the client well before its time-out.
    {
        irsdkClient& client = irsdkClient::instance();
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            std::vector<char> rec(length);
            for (uint32_t seq = 1000000; !stop.load(); ++seq) {
                stress_record::stamp(rec, seq);
                publisher.publish(rec.data());
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        int delivered = 0, lastSeq = 0;
        bool ordered = true;
        double longestWait = 0;
        const auto start = Clock::now();
        while (delivered < 30 && secondsSince(start) < 20.0) {
            const auto before = Clock::now();
            if (client.waitForData(2000)) {
                if (delivered > 0 && secondsSince(before) > longestWait)
                    longestWait = secondsSince(before);
                const int seq = client.getVarInt("Seq");
                ordered = ordered && seq > lastSeq;
                lastSeq = seq;
                ++delivered;
            }
        }
        stop = true;
        writer.join();
        std::printf("      30 records, longest wait %.1f ms (time-out 2000 ms)\n", longestWait * 1000.0);
        check(delivered == 30 && ordered, "the client reads a paced publisher's records in order");
        check(longestWait < 1.0, "the data-ready event wakes the client");
        check(client.isConnected() && client.getStatusID() == 1, "one connection counted");

        char track[16];
        check(client.getSessionStrVal("WeekendInfo:TrackName:", track, 15) == 1 && std::string(track) == "wine",
            "session text read from the shared memory");

        publisher.setConnected(false);
        client.waitForData(0);
        check(!client.isConnected() && client.getVarInt("Seq") == 0, "a cleared connected bit ends the session");
        publisher.setConnected(true);
    }

    // A hostile header: more slots than the header holds, records outside the view.
    {
        irsdk_TelemetryHeader& h = *publisher.header();
        h.bufferCount = 7;
        for (auto& slot : h.bufferSlots)
            slot.recordOffset = INT_MAX - 16;
        std::vector<char> rec(length);
        stress_record::stamp(rec, 7);
        irsdk_getNewData(nullptr);
        for (int i = 0; i < 4; ++i)
            publisher.writeSlot(i, publisher.lastTick() + 100 + i, rec.data());
        check(!irsdk_getNewData(buf.data(), length) && irsdk_getData(0) == nullptr,
            "records outside the view are not read");
    }

    irsdkClient::instance().shutdown();
    publisher.close();
    std::printf("%s\n", failures == 0 ? "live exchange: all checks passed" : "live exchange: FAILED");
    return failures == 0 ? 0 : 1;
}
