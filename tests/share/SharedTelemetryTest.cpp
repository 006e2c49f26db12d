// A viewer's checks of what arrives from the broker: the payloads a sharer
// writes are read back exactly, and hostile ones (short, lying sizes, a
// layout that changes mid-stream) are refused whole without reading outside
// the message. Every payload is copied into a buffer of its exact size, so
// that a sanitizer build catches any read past its end.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BrokerUrl.h"
#include "SharedTelemetry.h"
#include "value_convert.h"
#include "wire_format.h"

namespace {

using Outcome = SharedTelemetry::Outcome;
using share::Topic;

irsdk_VarDescriptor var(const char* name, int type, int offset, int count = 1)
{
    irsdk_VarDescriptor d{};
    std::strncpy(d.name, name, sizeof d.name - 1);
    d.typeCode = type;
    d.dataOffset = offset;
    d.elementCount = count;
    return d;
}

// Throttle (float at 0) and Lap (int at 4) in 8-byte records.
const std::vector<irsdk_VarDescriptor> kVars = {var("Throttle", irsdk_float, 0), var("Lap", irsdk_int, 4)};

std::string layout(uint32_t id, const std::vector<irsdk_VarDescriptor>& vars = kVars, int recordLength = 8)
{
    return share::encodeLayout(id, vars.data(), static_cast<int>(vars.size()), recordLength);
}

std::string record(uint32_t layoutId, uint32_t sequence, float throttle, int lap, size_t bytes = 8)
{
    const share::PayloadPrefix p = share::recordPrefix(layoutId, sequence, 1234);
    std::string out(reinterpret_cast<const char*>(&p), sizeof p);
    std::string body(bytes, '\0');
    std::memcpy(&body[0], &throttle, std::min<size_t>(4, bytes));
    if (bytes >= 8)
        std::memcpy(&body[4], &lap, 4);
    return out + body;
}

// Applies a payload from a heap buffer of exactly its size.
Outcome apply(SharedTelemetry& t, Topic topic, const std::string& payload)
{
    std::vector<char> exact(payload.begin(), payload.end());
    return t.apply(topic, exact.empty() ? nullptr : exact.data(), exact.size());
}

float throttleOf(const SharedTelemetry& t)
{
    const TelemetryView v = t.view();
    return v.record ? irsdk_convert::readFloat(v.record + irsdk_convert::entryOffset(v.vars[0], 0, v.recordLength),
                                               v.vars[0].typeCode)
                    : -1.0f;
}

// A layout payload with one field of its header changed.
std::string layoutWith(size_t headerOffset, int32_t value)
{
    std::string p = layout(7);
    std::memcpy(&p[sizeof(share::PayloadPrefix) + headerOffset], &value, 4);
    return p;
}

} // namespace

TEST(SharedTelemetry, ReadsBackWhatTheSharerWritesAndFollowsANewLayout)
{
    SharedTelemetry t;
    EXPECT_EQ(apply(t, Topic::Record, record(7, 0, 0.5f, 1)), Outcome::Ignored) << "a record before any layout";
    EXPECT_EQ(apply(t, Topic::Status, "online"), Outcome::Taken);
    EXPECT_EQ(apply(t, Topic::Session, std::string("WeekendInfo:\n TrackName: ring\n\0junk", 36)), Outcome::Taken);
    EXPECT_STREQ(t.sessionText(), "WeekendInfo:\n TrackName: ring\n") << "the text ends at its NUL";
    EXPECT_EQ(apply(t, Topic::Layout, layout(7)), Outcome::Taken);
    EXPECT_EQ(t.view().record, nullptr) << "no record of the new layout yet";
    EXPECT_EQ(apply(t, Topic::Record, record(7, 5, 0.25f, 3)), Outcome::NewRecord);
    EXPECT_FLOAT_EQ(throttleOf(t), 0.25f);
    EXPECT_EQ(t.sequence(), 5u);
    EXPECT_EQ(t.sentAtUs(), 1234u);
    const unsigned generation = t.view().layoutGeneration;

    // The layout changes mid-stream: records of the old one that were still
    // on their way are passed over, records of the new one are read by it.
    const std::vector<irsdk_VarDescriptor> moved = {var("Lap", irsdk_int, 0), var("Throttle", irsdk_float, 4)};
    EXPECT_EQ(apply(t, Topic::Layout, layout(8, moved, 8)), Outcome::Taken);
    EXPECT_NE(t.view().layoutGeneration, generation);
    EXPECT_EQ(apply(t, Topic::Record, record(7, 6, 0.75f, 3)), Outcome::Ignored);
    EXPECT_EQ(apply(t, Topic::Record, record(8, 7, 0.0f, 0)), Outcome::NewRecord);
    EXPECT_STREQ(t.view().vars[0].name, "Lap");
    EXPECT_EQ(apply(t, Topic::Status, "offline"), Outcome::Taken);
    EXPECT_EQ(t.status(), SharedTelemetry::Status::Offline);
}

TEST(SharedTelemetry, HostilePayloadsAreRefusedWholeAndLeaveWhatWasThere)
{
    const std::string good = layout(7);
    std::string badTag = good;
    badTag[0] = 'X';
    std::string newer = good;
    const uint32_t version = 2;
    std::memcpy(&newer[4], &version, 4);
    std::vector<irsdk_VarDescriptor> unnamed = kVars;
    unnamed[1].name[0] = '\0';
    const size_t varCount = offsetof(irsdk_TelemetryHeader, varCount);
    const size_t tableOffset = offsetof(irsdk_TelemetryHeader, varTableOffset);
    const size_t recordLength = offsetof(irsdk_TelemetryHeader, recordLength);
    const struct {
        const char* what;
        Topic topic;
        std::string payload;
    } cases[] = {
        {"empty layout", Topic::Layout, ""},
        {"layout cut in its prefix", Topic::Layout, good.substr(0, 10)},
        {"layout cut in its header", Topic::Layout, good.substr(0, 24 + 100)},
        {"layout cut in its table", Topic::Layout, good.substr(0, good.size() - 1)},
        {"layout without its tag", Topic::Layout, badTag},
        {"layout of another format version", Topic::Layout, newer},
        {"more variables than it holds", Topic::Layout, layoutWith(varCount, 3)},
        {"a huge variable count", Topic::Layout, layoutWith(varCount, 0x7fffffff)},
        {"a negative variable count", Topic::Layout, layoutWith(varCount, -1)},
        {"no variables", Topic::Layout, layoutWith(varCount, 0)},
        {"a table past the end", Topic::Layout, layoutWith(tableOffset, 0x7ffffff0)},
        {"a negative table offset", Topic::Layout, layoutWith(tableOffset, -144)},
        {"a table over the header", Topic::Layout, layoutWith(tableOffset, 0)},
        {"records of no bytes", Topic::Layout, layoutWith(recordLength, 0)},
        {"records over the bound", Topic::Layout, layoutWith(recordLength, share::kMaxRecordLength + 1)},
        {"a variable without a name", Topic::Layout, layout(7, unnamed)},
        {"a record cut in its prefix", Topic::Record, record(7, 1, 0.9f, 9).substr(0, 23)},
        {"a record shorter than the layout's", Topic::Record, record(7, 1, 0.9f, 9, 7)},
        {"a record longer than the layout's", Topic::Record, record(7, 1, 0.9f, 9, 9)},
        {"a status of another word", Topic::Status, "onlin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SharedTelemetry t;
        ASSERT_EQ(apply(t, Topic::Layout, good), Outcome::Taken);
        ASSERT_EQ(apply(t, Topic::Record, record(7, 0, 0.5f, 2)), Outcome::NewRecord);
        EXPECT_EQ(apply(t, c.topic, c.payload), Outcome::Refused);
        EXPECT_FALSE(t.refusal().empty());
        EXPECT_EQ(t.refusal().find('\n'), std::string::npos) << "one line";
        EXPECT_FLOAT_EQ(throttleOf(t), 0.5f) << "the last good sample stays";
        EXPECT_EQ(t.view().varCount, 2);
    }
}

TEST(SharedTelemetry, ADescriptorOutsideTheRecordReadsAsNothing)
{
    // Taken, as a recording with such a variable is, but never read from.
    SharedTelemetry t;
    std::vector<irsdk_VarDescriptor> vars = kVars;
    vars.push_back(var("Far", irsdk_double, 4, 1000000));
    ASSERT_EQ(apply(t, Topic::Layout, layout(1, vars)), Outcome::Taken);
    ASSERT_EQ(apply(t, Topic::Record, record(1, 0, 0.5f, 2)), Outcome::NewRecord);
    EXPECT_LT(irsdk_convert::entryOffset(t.view().vars[2], 0, t.view().recordLength), 0);
}

TEST(BrokerUrl, ReadsHostPortAndTopicAndRefusesTheRest)
{
    BrokerAddress a;
    std::string error;
    ASSERT_TRUE(parseBrokerUrl("mqtt://broker.example.org/team/car1/", &a, &error)) << error;
    EXPECT_FALSE(a.tls);
    EXPECT_EQ(a.host, "broker.example.org");
    EXPECT_EQ(a.port, 1883);
    EXPECT_EQ(a.topic, "team/car1");
    ASSERT_TRUE(parseBrokerUrl("mqtts://[::1]:8884/t", &a, &error)) << error;
    EXPECT_TRUE(a.tls);
    EXPECT_EQ(a.where(), "[::1]:8884");
    for (const char* bad : {"mqtt://host", "mqtt://host/", "mqtt:///topic", "mqtt://host:0/t", "mqtt://host:65536/t",
                            "mqtt://host:8x/t", "mqtt://u:pw@host/t", "mqtt://host/team/+", "mqtt://host/#",
                            "http://host/t", "mqtt://[::1/t"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseBrokerUrl(bad, &a, &error));
        EXPECT_NE(error.find("mqtt://HOST[:PORT]/TOPIC"), std::string::npos) << error;
        EXPECT_EQ(error.find("pw"), std::string::npos) << "a password in the URL is not repeated: " << error;
    }
}
