// What a shared car's telemetry looks like on the broker: four topics under
// the base topic the user names, and the payloads on them. docs/team-view.md
// describes the format for other implementations; this header is its one
// statement in the code.
//
//   BASE/status   retained text "online" or "offline" (the sharer's last will)
//   BASE/layout   retained binary: prefix, then the telemetry header and the
//                 variable table of the shared records
//   BASE/session  retained text: the session-info text
//   BASE/record   binary, QoS 0: prefix, then one record of the layout
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "telemetry_layout.h"

namespace share {

// The version of the binary payloads this build writes and reads.
const uint32_t kFormatVersion = 1;

// Bounds a viewer holds a sharer to: larger records, and larger session
// texts, are refused before anything is allocated for them.
const int kMaxRecordLength = 1 << 20;
const size_t kMaxSessionText = 16u << 20;
const size_t kMaxLayoutBytes = 16u << 20;

enum class Topic { Status, Layout, Session, Record };
const char* topicSuffix(Topic topic);
// The largest payload a viewer takes on a topic: one past it is refused as
// it arrives, before it is copied or queued.
size_t maxPayload(Topic topic);
// BASE/status and so on.
std::string topicName(const std::string& base, Topic topic);

#pragma pack(push, 1)

// The first 24 bytes of a layout or a record, all little-endian.
struct PayloadPrefix {
    char tag[4];         // "TLAY" for a layout, "TREC" for a record
    uint32_t version;    // kFormatVersion
    uint32_t layoutId;   // picked by the sharer for each layout it sends; a record names its layout
    uint32_t sequence;   // a record's number in the sharer's run, counting every record it offered;
                         // in a layout, its flags (kLayoutReplay)
    uint64_t sentAtUs;   // a record's time of sending, microseconds since 1970 UTC by the sharer's clock
};

#pragma pack(pop)

static_assert(sizeof(PayloadPrefix) == 24, "payload prefix is 24 bytes");
static_assert(std::is_trivially_copyable<PayloadPrefix>::value, "prefix is copied as bytes");

// A layout's flag: the shared telemetry is a recording played back, whose
// viewers stand still at its end as a replay does, instead of saying that
// the driver went offline.
const uint32_t kLayoutReplay = 1;

extern const char kLayoutTag[4];
extern const char kRecordTag[4];

// A layout payload: the prefix, a telemetry header whose varCount,
// varTableOffset (counted from the header's first byte) and recordLength
// are set and every other field 0, and the variable table right after it.
std::string encodeLayout(uint32_t layoutId, const irsdk_VarDescriptor* vars, int varCount, int recordLength,
                         uint32_t flags = 0);

// The prefix of a record payload; the record's bytes follow it.
PayloadPrefix recordPrefix(uint32_t layoutId, uint32_t sequence, uint64_t sentAtUs);

// Microseconds since 1970 UTC by this machine's clock.
uint64_t nowUs();

} // namespace share
