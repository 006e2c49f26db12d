// Sharing and viewing through a real broker inside the test process: a
// viewer that joins late has the layout and the session text at once, and
// hostile payloads that reach a viewer through the broker are refused with
// one line each while the good records around them still arrive.
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "BrokerSource.h"
#include "IRData.h"
#include "TelemetrySharer.h"
#include "pedal_recording.h"
#include "test_broker.h"
#include "wait_until.h"
#include "wire_format.h"

namespace {

BrokerAddress addressOf(const std::string& url)
{
    BrokerAddress a;
    std::string error;
    EXPECT_TRUE(parseBrokerUrl(url, &a, &error)) << error;
    return a;
}

// A layout of one variable, the gear, in 4-byte records, and a record of it
// (with `extra` bytes past its end when asked).
std::string gearLayout(uint32_t layoutId)
{
    irsdk_VarDescriptor d{};
    std::strcpy(d.name, "Gear");
    d.typeCode = irsdk_int;
    d.elementCount = 1;
    return share::encodeLayout(layoutId, &d, 1, 4);
}

std::string gearRecord(uint32_t layoutId, uint32_t sequence, int32_t gear, size_t extra = 0)
{
    const share::PayloadPrefix p = share::recordPrefix(layoutId, sequence, 0);
    std::string r(reinterpret_cast<const char*>(&p), sizeof p);
    r.append(reinterpret_cast<const char*>(&gear), sizeof gear);
    return r + std::string(extra, 'x');
}

} // namespace

TEST(Broker, ALateViewerHasTheLayoutAndTheSessionTextAtOnce)
{
    TestBroker broker;
    if (!broker.problem().empty())
        FAIL() << broker.problem();
    const std::string path = tempRecordingPath("late-viewer");
    std::vector<PedalSample> samples;
    appendLap(samples, 3, fractionRamp(20, 0.1f, 0.01f), 0.75f, 0.0f, 81.5f);
    ASSERT_TRUE(writePedalRecording(path, samples, "latecar"));

    // The driver shares a few records and then none: the viewer that joins
    // after them gets no record, only what the broker retained.
    IRData driver(path.c_str());
    TelemetrySharer sharer(addressOf(broker.url("team/late")), {});
    std::string error;
    ASSERT_TRUE(sharer.start(&error)) << error;
    ASSERT_TRUE(waitUntil(5, [&] { return sharer.broker().state() == BrokerConnection::State::Connected; }));
    for (int i = 0; i < 5 && driver.updateData(); ++i)
        sharer.share(driver.source());
    ASSERT_TRUE(waitUntil(5, [&] { return sharer.broker().pending() == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    auto source = std::make_unique<BrokerSource>(addressOf(broker.url("team/late")), BrokerLogin{}, "test");
    ASSERT_TRUE(source->start(&error)) << error;
    BrokerSource* viewer = source.get();
    IRData view(std::move(source));
    EXPECT_STREQ(view.whyNoTelemetry(), "Waiting for the broker");
    char track[32];
    ASSERT_TRUE(waitUntil(5, [&] {
        view.updateData();
        return view.isConnected() && view.getSessionVar("WeekendInfo:TrackName:", track, sizeof track - 1) == 1;
    }));
    EXPECT_STREQ(track, "testring");
    EXPECT_EQ(view.whyNoTelemetry(), nullptr);
    char car[32];
    EXPECT_EQ(view.getSessionVar("DriverInfo:Drivers:CarIdx:{0}CarPath:", car, sizeof car - 1), 1);
    EXPECT_STREQ(car, "latecar");
    EXPECT_TRUE(view.hasVar("Throttle"));
    EXPECT_FALSE(view.updateData()) << "records are not retained";
    EXPECT_EQ(view.getVarFloat("Throttle", 0), 0.0f);

    // The next record arrives as it is shared, and the goodbye says offline.
    ASSERT_TRUE(driver.updateData());
    sharer.share(driver.source());
    ASSERT_TRUE(waitUntil(5, [&] { return view.updateData(); }));
    EXPECT_FLOAT_EQ(view.getVarFloat("Throttle", 0), 0.75f);
    EXPECT_EQ(view.getVarInt("Lap", 0), 3);
    EXPECT_EQ(viewer->shared().sequence(), 5u);
    sharer.stop();
    ASSERT_TRUE(waitUntil(5, [&] {
        view.updateData();
        return !view.isConnected();
    }));
    EXPECT_STREQ(view.whyNoTelemetry(), "Driver offline");
    EXPECT_EQ(view.whyStale(), nullptr) << "a shared replay stands still at its end, as a replay does";
    EXPECT_FLOAT_EQ(view.getVarFloat("Throttle", 0), 0.75f) << "the last sample stays readable";
    std::remove(path.c_str());
}

TEST(Broker, HostilePayloadsAreRefusedWithOneLineAndGoodRecordsStillArrive)
{
    TestBroker broker;
    if (!broker.problem().empty())
        FAIL() << broker.problem();
    const BrokerAddress address = addressOf(broker.url("team/hostile"));
    BrokerConnection attacker(address, {});
    std::string error;
    ASSERT_TRUE(attacker.start(&error)) << error;
    BrokerSource viewer(address, {}, "viewer");
    ASSERT_TRUE(viewer.start(&error)) << error;
    ASSERT_TRUE(broker.waitForViewers("team/hostile", 1, 5));
    ASSERT_TRUE(waitUntil(5, [&] { return attacker.state() == BrokerConnection::State::Connected; }));

    const std::string layout = gearLayout(3);
    std::string lying = layout;
    const int32_t huge = 1 << 30;
    std::memcpy(&lying[sizeof(share::PayloadPrefix) + offsetof(irsdk_TelemetryHeader, varCount)], &huge, 4);
    const auto recordOf = [](uint32_t layoutId, int32_t gear, size_t extra) { return gearRecord(layoutId, 0, gear, extra); };
    const std::string layoutTopic = share::topicName(address.topic, share::Topic::Layout);
    const std::string recordTopic = share::topicName(address.topic, share::Topic::Record);
    const auto send = [&](const std::string& topic, const std::string& payload) {
        ASSERT_TRUE(attacker.publish(topic, payload.data(), payload.size(), topic == layoutTopic));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    testing::internal::CaptureStderr();
    send(share::topicName(address.topic, share::Topic::Status), "online");
    send(layoutTopic, layout.substr(0, 30)); // truncated
    send(layoutTopic, lying);                // lying sizes
    send(layoutTopic, layout);
    send(recordTopic, recordOf(3, 4, 0));
    send(recordTopic, recordOf(3, 5, 1000)); // longer than its layout's records
    send(recordTopic, recordOf(3, 5, share::kMaxRecordLength)); // longer than any record taken
    send(layoutTopic, gearLayout(4)); // a new layout mid-stream
    send(recordTopic, recordOf(3, 6, 0));                // one of the old layout, late
    send(recordTopic, recordOf(4, 7, 0));

    std::vector<int> gears;
    waitUntil(3, [&] {
        if (viewer.next(16))
            gears.push_back(viewer.shared().view().record[0]);
        return gears.size() >= 2;
    });
    const std::string lines = testing::internal::GetCapturedStderr();
    EXPECT_EQ(gears, (std::vector<int>{4, 7}));
    // Live telemetry that stops dims the picture with why.
    EXPECT_STREQ(viewer.whyStale(), "Simulator stopped");
    send(share::topicName(address.topic, share::Topic::Status), "offline");
    viewer.next(16);
    EXPECT_STREQ(viewer.whyStale(), "Driver offline");
    EXPECT_EQ(lines, "viewer: refused a layout of 30 bytes, too short for its header on team/hostile/layout\n"
                     "viewer: refused a layout whose variable table (1073741824 variables at 112) does not lie inside "
                     "its 256 bytes on team/hostile/layout\n"
                     "viewer: refused a record of 1004 bytes for a layout of 4-byte records on team/hostile/record\n"
                     "viewer: refused a payload of 1048604 bytes, more than the 1048600 taken, on team/hostile/record\n");
}

// A viewer slower than a live driver keeps up with it instead of falling
// behind, and the layout that comes again when the driver connects anew
// leaves the picture as it was.
TEST(Broker, AViewerKeepsUpWithALiveDriverAndItsPictureThroughALayoutSentAgain)
{
    TestBroker broker;
    if (!broker.problem().empty())
        FAIL() << broker.problem();
    const BrokerAddress address = addressOf(broker.url("team/live"));
    BrokerConnection driver(address, {});
    std::string error;
    ASSERT_TRUE(driver.start(&error)) << error;
    BrokerSource viewer(address, {}, "viewer", BrokerSource::kDefaultQueuedRecords, BrokerSource::Pace::KeepUp);
    ASSERT_TRUE(viewer.start(&error)) << error;
    ASSERT_TRUE(broker.waitForViewers("team/live", 1, 5));
    ASSERT_TRUE(waitUntil(5, [&] { return driver.state() == BrokerConnection::State::Connected; }));

    const std::string layout = gearLayout(1);
    // One at a time: the connection holds only a few records in flight.
    const auto publish = [&](share::Topic topic, const std::string& payload) {
        const std::string name = share::topicName(address.topic, topic);
        ASSERT_TRUE(driver.publish(name, payload.data(), payload.size(), topic != share::Topic::Record));
        ASSERT_TRUE(waitUntil(5, [&] { return driver.pending() == 0; }));
    };
    publish(share::Topic::Status, "online");
    publish(share::Topic::Layout, layout);
    const int records = 60;
    for (int32_t n = 1; n <= records; ++n)
        publish(share::Topic::Record, gearRecord(1, static_cast<uint32_t>(n), n));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // The whole second came while the viewer drew nothing: its next picture
    // is at most the allowed lag behind the driver.
    ASSERT_TRUE(viewer.next(1000));
    const int lag = static_cast<int>(BrokerSource::kLagRecords);
    EXPECT_GE(viewer.shared().view().record[0], records - lag);
    EXPECT_EQ(viewer.droppedRecords(), static_cast<uint64_t>(records - lag - 1));

    while (viewer.next(100)) {
    }
    EXPECT_EQ(viewer.shared().view().record[0], records);
    publish(share::Topic::Layout, layout);
    EXPECT_FALSE(viewer.next(300)) << "no record follows the layout";
    const TelemetryView view = viewer.shared().view();
    ASSERT_NE(view.record, nullptr) << "the layout sent again emptied the picture";
    EXPECT_EQ(view.record[0], records);
}
