#include "wire_format.h"

#include <chrono>
#include <cstring>

namespace share {

const char kLayoutTag[4] = {'T', 'L', 'A', 'Y'};
const char kRecordTag[4] = {'T', 'R', 'E', 'C'};

const char* topicSuffix(Topic topic)
{
    switch (topic) {
    case Topic::Status: return "status";
    case Topic::Layout: return "layout";
    case Topic::Session: return "session";
    case Topic::Record: return "record";
    }
    return "";
}

std::string topicName(const std::string& base, Topic topic)
{
    return base + "/" + topicSuffix(topic);
}

size_t maxPayload(Topic topic)
{
    switch (topic) {
    case Topic::Status: return 7; // "offline"
    case Topic::Layout: return kMaxLayoutBytes;
    case Topic::Session: return kMaxSessionText;
    case Topic::Record: return sizeof(PayloadPrefix) + static_cast<size_t>(kMaxRecordLength);
    }
    return 0;
}

std::string encodeLayout(uint32_t layoutId, const irsdk_VarDescriptor* vars, int varCount, int recordLength,
                         uint32_t flags)
{
    PayloadPrefix prefix{};
    std::memcpy(prefix.tag, kLayoutTag, sizeof prefix.tag);
    prefix.version = kFormatVersion;
    prefix.layoutId = layoutId;
    prefix.sequence = flags;
    irsdk_TelemetryHeader header{};
    header.varCount = varCount;
    header.varTableOffset = sizeof header;
    header.recordLength = recordLength;
    std::string out;
    out.reserve(sizeof prefix + sizeof header + sizeof(irsdk_VarDescriptor) * static_cast<size_t>(varCount));
    out.append(reinterpret_cast<const char*>(&prefix), sizeof prefix);
    out.append(reinterpret_cast<const char*>(&header), sizeof header);
    out.append(reinterpret_cast<const char*>(vars), sizeof(irsdk_VarDescriptor) * static_cast<size_t>(varCount));
    return out;
}

PayloadPrefix recordPrefix(uint32_t layoutId, uint32_t sequence, uint64_t sentAtUs)
{
    PayloadPrefix prefix{};
    std::memcpy(prefix.tag, kRecordTag, sizeof prefix.tag);
    prefix.version = kFormatVersion;
    prefix.layoutId = layoutId;
    prefix.sequence = sequence;
    prefix.sentAtUs = sentAtUs;
    return prefix;
}

uint64_t nowUs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

} // namespace share
