// A real concurrent writer rewriting the slots as fast as it can while the
// reader copies: the reader may miss records or give up on a torn copy, but
// every record it hands out is whole, and sequence numbers only go up.
#include <atomic>
#include <chrono>
#include <thread>

#include "live_fixture.h"
#include "stress_record.h"

namespace {

class LiveStress : public LiveTest {};

TEST_F(LiveStress, ConcurrentWriterNeverYieldsATornRecord)
{
    const int length = 4096;
    ASSERT_TRUE(publisher.open("", {}, length, 2)); // two slots: the writer is always close behind
    publisher.setConnected(true);

    std::atomic<bool> stop{false};
    std::thread writer = stress_record::startWriter(publisher, length, stop);

    std::vector<char> buf(length);
    long long delivered = 0, torn = 0, refused = 0, rawTorn = 0;
    uint32_t last = 0;
    bool ordered = true;
    // At least 1.5 s and 1000 deliveries, so that a loaded machine still gives
    // the writer many chances to tear a copy; at most 30 s.
    const auto start = std::chrono::steady_clock::now();
    const auto minimum = start + std::chrono::milliseconds(1500);
    const auto limit = start + std::chrono::seconds(30);
    for (auto now = start; now < limit && (now < minimum || delivered < 1000);
         now = std::chrono::steady_clock::now()) {
        if (irsdk_getNewData(buf.data(), length)) {
            uint32_t seq = 0;
            if (!stress_record::valid(buf.data(), length, &seq))
                ++torn;
            else if (seq <= last)
                ordered = false;
            else
                last = seq;
            ++delivered;
        } else {
            ++refused;
        }
        // For contrast: the same copy without the tick check.
        if (const char* slot = irsdk_getData(delivered % 2)) {
            std::memcpy(buf.data(), slot, length);
            uint32_t seq = 0;
            rawTorn += stress_record::valid(buf.data(), length, &seq) ? 0 : 1;
        }
    }
    stop = true;
    writer.join();

    RecordProperty("delivered", static_cast<int>(delivered));
    RecordProperty("unchecked_copies_torn", static_cast<int>(rawTorn));
    std::printf("delivered %lld, refused %lld, unchecked copies torn %lld\n", delivered, refused, rawTorn);
    EXPECT_EQ(torn, 0);
    EXPECT_TRUE(ordered);
    EXPECT_GT(delivered, 100);
}

} // namespace
