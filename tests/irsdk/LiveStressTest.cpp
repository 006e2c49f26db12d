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
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < end) {
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
