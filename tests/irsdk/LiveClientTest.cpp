// irsdkClient and irsdkCVar against a writer in the test: connecting,
// reading typed values from the stable copy, disconnecting, reconnecting
// with another layout, and cached indexes that follow the new session.
#include "live_fixture.h"

namespace {

class LiveClient : public LiveTest {
protected:
    irsdkClient& client = irsdkClient::instance();

    // Runs waitForData until it delivers (the first call only connects).
    bool connect()
    {
        publisher.publish(record(1).data());
        for (int i = 0; i < 5; ++i) {
            publisher.publish(record(2 + i).data());
            if (client.waitForData(0))
                return true;
        }
        return false;
    }
};

TEST_F(LiveClient, FirstNewTickAllocatesAndCountsTheConnectionThenRecordsArrive)
{
    openLayout();
    const int status = client.getStatusID();
    EXPECT_FALSE(client.waitForData(0)) << "first call synchronises";
    publisher.publish(record(1).data());
    EXPECT_FALSE(client.waitForData(0)) << "new tick: buffer allocated, no further tick yet";
    EXPECT_EQ(client.getStatusID(), status + 1);
    EXPECT_TRUE(client.isConnected());
    publisher.publish(record(2).data());
    ASSERT_TRUE(client.waitForData(0));
    EXPECT_EQ(client.getVarInt("Seq"), 2);
    EXPECT_FLOAT_EQ(client.getVarFloat("Speed"), 1.0f);
    EXPECT_EQ(client.getStatusID(), status + 1);

    // The copy stays stable while the writer goes on.
    publisher.publish(record(3).data());
    EXPECT_EQ(client.getVarInt("Seq"), 2);
}

TEST_F(LiveClient, TypedReadsConvertAndRejectBadIndexesAndEntries)
{
    openLayout(3, {"Seq", "Speed", "Gear"});
    ASSERT_TRUE(connect());
    const int seq = client.getVarInt("Seq");
    const int speedIdx = client.getVarIdx("Speed");
    EXPECT_EQ(client.getVarType(speedIdx), irsdk_float);
    EXPECT_EQ(client.getVarCount(speedIdx), 1);
    EXPECT_DOUBLE_EQ(client.getVarDouble("Speed"), seq / 2.0);
    EXPECT_EQ(client.getVarInt("Speed"), seq / 2);
    EXPECT_EQ(client.getVarBool(speedIdx), seq / 2.0 >= 1.0);
    EXPECT_DOUBLE_EQ(client.getVarDouble("Gear"), seq % 7);
    EXPECT_EQ(client.getVarIdx("Nope"), -1);
    EXPECT_EQ(client.getVarFloat("Nope"), 0.0f);
    EXPECT_EQ(client.getVarInt(speedIdx, 1), 0) << "entry past the count";
    EXPECT_EQ(client.getVarInt(speedIdx, -1), 0);
    EXPECT_EQ(client.getVarInt(99), 0);
    EXPECT_EQ(client.getVarType(99), 0);

    char val[16];
    EXPECT_EQ(client.getSessionStrVal("WeekendInfo:TrackName:", val, 15), 1);
    EXPECT_STREQ(val, "testring");
    EXPECT_EQ(client.getSessionStrVal("WeekendInfo:TrackName:", val, 3), -8);
    EXPECT_STREQ(val, "tes");
    EXPECT_EQ(client.getSessionStrVal("WeekendInfo:Nothing:", val, 3), 0);
}

// A descriptor that places its variable past the record is not readable (ibt
// watch refuses it) and reads as 0; the other variables still read.
TEST_F(LiveClient, VariableOutsideTheRecordIsNotReadable)
{
    openLayout(3, {"Seq", "Speed", "Gear"});
    irsdk_TelemetryHeader* h = publisher.header();
    auto* table = reinterpret_cast<irsdk_VarDescriptor*>(publisher.memory() + h->varTableOffset);
    table[2].dataOffset = publisher.recordLength() - 2;
    ASSERT_TRUE(connect());
    EXPECT_TRUE(client.isVarReadable(client.getVarIdx("Seq")));
    EXPECT_FALSE(client.isVarReadable(client.getVarIdx("Gear")));
    EXPECT_FALSE(client.isVarReadable(99));
    EXPECT_EQ(client.getVarInt("Gear"), 0);
    EXPECT_GT(client.getVarInt("Seq"), 0);
}

TEST_F(LiveClient, ClearedConnectedBitEndsTheSession)
{
    openLayout();
    ASSERT_TRUE(connect());
    publisher.setConnected(false);
    EXPECT_FALSE(client.waitForData(0));
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(client.getVarFloat("Speed"), 0.0f);
    EXPECT_EQ(client.getVarIdx("Speed"), 0) << "0, not -1, while not connected";
}

TEST_F(LiveClient, ThirtySecondsOfSilenceEndTheSession)
{
    openLayout();
    ASSERT_TRUE(connect());
    liveTestNow += 29;
    EXPECT_FALSE(client.waitForData(0));
    EXPECT_TRUE(client.isConnected());
    liveTestNow += 1;
    EXPECT_FALSE(client.waitForData(0));
    EXPECT_FALSE(client.isConnected());
}

TEST_F(LiveClient, ReconnectionRaisesStatusAndCVarsLookTheirNamesUpAgain)
{
    openLayout(3, {"Seq", "Speed", "Gear"});
    ASSERT_TRUE(connect());
    irsdkCVar speed("Speed");
    irsdkCVar missing("Missing");
    EXPECT_FLOAT_EQ(speed.getFloat(), client.getVarInt("Seq") / 2.0f);
    EXPECT_EQ(missing.getInt(), 0);
    const int status = client.getStatusID();

    // The writer restarts with another layout: Speed moves, Missing appears.
    publisher.close();
    EXPECT_FALSE(client.waitForData(0));
    EXPECT_FALSE(speed.checkIdx());
    openLayout(3, {"Missing", "Gear", "Seq", "Speed"});
    liveTestNow += 1; // the new objects are looked for once a second
    bool delivered = false;
    for (int i = 0; i < 6 && !delivered; ++i) {
        publisher.publish(record(40 + i).data());
        delivered = client.waitForData(0);
    }
    ASSERT_TRUE(delivered);
    EXPECT_EQ(client.getStatusID(), status + 1);
    const int seq = client.getVarInt("Seq");
    EXPECT_GE(seq, 40);
    EXPECT_FLOAT_EQ(speed.getFloat(), seq / 2.0f);
    EXPECT_EQ(missing.getType(), irsdk_int);
}

TEST_F(LiveClient, ChangedRecordLengthReallocatesInsteadOfOverflowing)
{
    // Room for the long records from the start; the header first announces
    // only the first 8 bytes (Seq and Speed), then all 72.
    IbtWriter grown;
    grown.addVar("Seq", irsdk_int);
    grown.addVar("Speed", irsdk_float);
    grown.addVar("Wide", irsdk_double, 8);
    ASSERT_TRUE(publisher.open("", {grown.descriptor(0), grown.descriptor(1), grown.descriptor(2)},
        grown.recordLength(), 2));
    irsdk_TelemetryHeader& h = *publisher.header();
    h.recordLength = 8;
    publisher.setConnected(true);

    auto publishUntilDelivered = [&](int seq) {
        grown.beginRecord();
        grown.setInt(0, seq);
        grown.set(2, 2.5, 7);
        for (int i = 0; i < 4; ++i) {
            publisher.publish(grown.record().data());
            if (client.waitForData(0))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(publishUntilDelivered(5));
    const int status = client.getStatusID();
    EXPECT_EQ(client.getVarInt("Seq"), 5);
    EXPECT_EQ(client.getVarDouble(2, 7), 0.0) << "outside the announced record";

    h.recordLength = grown.recordLength();
    ASSERT_TRUE(publishUntilDelivered(77));
    EXPECT_EQ(client.getStatusID(), status + 1);
    EXPECT_EQ(client.getVarInt("Seq"), 77);
    EXPECT_DOUBLE_EQ(client.getVarDouble(2, 7), 2.5);
}

TEST(LiveCVar, LongNamesKeepTheirFirstThirtyOneCharacters)
{
    useProcessPrivateNames("livecvar");
    LivePublisher publisher;
    IbtWriter layout;
    const std::string name31 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
    layout.addVar(name31, irsdk_int);
    ASSERT_TRUE(publisher.open("", {layout.descriptor(0)}, layout.recordLength()));
    publisher.setConnected(true);
    irsdkClient& client = irsdkClient::instance();
    layout.beginRecord();
    layout.setInt(0, 31);
    bool delivered = false;
    for (int i = 0; i < 4 && !delivered; ++i) {
        publisher.publish(layout.record().data());
        delivered = client.waitForData(0);
    }
    ASSERT_TRUE(delivered);
    EXPECT_EQ(irsdkCVar((name31 + "fghijklmn").c_str()).getInt(), 31);
    EXPECT_EQ(irsdkCVar(nullptr).getInt(), 0);
    client.shutdown();
}

} // namespace
