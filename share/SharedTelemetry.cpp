#include "SharedTelemetry.h"

#include <cstring>

SharedTelemetry::Outcome SharedTelemetry::refuse(std::string reason)
{
    why = std::move(reason);
    return Outcome::Refused;
}

SharedTelemetry::Outcome SharedTelemetry::apply(share::Topic topic, const char* data, size_t size)
{
    switch (topic) {
    case share::Topic::Status:
        if (size == 6 && std::memcmp(data, "online", 6) == 0)
            driverStatus = Status::Online;
        else if (size == 7 && std::memcmp(data, "offline", 7) == 0)
            driverStatus = Status::Offline;
        else
            return refuse("a status that is neither \"online\" nor \"offline\"");
        return Outcome::Taken;
    case share::Topic::Session:
        if (size > share::kMaxSessionText)
            return refuse("a session text of " + std::to_string(size) + " bytes, more than the " +
                          std::to_string(share::kMaxSessionText) + " taken");
        {
            // The text ends at its first NUL, as in a recording.
            const void* nul = size > 0 ? std::memchr(data, '\0', size) : nullptr;
            const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - data) : size;
            session.assign(data, data + length);
            session.push_back('\0');
            ++sessionCount;
        }
        return Outcome::Taken;
    case share::Topic::Layout:
        return takeLayout(data, size);
    case share::Topic::Record:
        return takeRecord(data, size);
    }
    return Outcome::Ignored;
}

bool SharedTelemetry::readPrefix(const char* data, size_t size, const char* tag, const char* what,
                                 share::PayloadPrefix* out)
{
    if (size < sizeof *out) {
        why = std::string("a ") + what + " of " + std::to_string(size) + " bytes, shorter than its prefix";
        return false;
    }
    std::memcpy(out, data, sizeof *out);
    if (std::memcmp(out->tag, tag, sizeof out->tag) != 0) {
        why = std::string("a ") + what + " without its tag";
        return false;
    }
    if (out->version != share::kFormatVersion) {
        why = std::string("a ") + what + " in format version " + std::to_string(out->version) +
              "; this program reads version " + std::to_string(share::kFormatVersion);
        return false;
    }
    return true;
}

// A layout is taken only whole: a header that fits the payload, a table
// inside it whose every descriptor names a variable, and a record length
// from 1 to the bound. Descriptors whose entries lie outside the record are
// kept and read as 0, as in a recording.
SharedTelemetry::Outcome SharedTelemetry::takeLayout(const char* data, size_t size)
{
    share::PayloadPrefix prefix;
    if (!readPrefix(data, size, share::kLayoutTag, "layout", &prefix))
        return Outcome::Refused;
    const char* body = data + sizeof prefix;
    const long long bodySize = static_cast<long long>(size - sizeof prefix);
    irsdk_TelemetryHeader h;
    if (bodySize < static_cast<long long>(sizeof h))
        return refuse("a layout of " + std::to_string(size) + " bytes, too short for its header");
    std::memcpy(&h, body, sizeof h);
    const long long tableBytes = static_cast<long long>(h.varCount) * static_cast<long long>(sizeof(irsdk_VarDescriptor));
    if (h.varCount < 1 || h.varTableOffset < static_cast<long long>(sizeof h)
        || !irsdk_regionFits(h.varTableOffset, tableBytes, bodySize))
        return refuse("a layout whose variable table (" + std::to_string(h.varCount) + " variables at " +
                      std::to_string(h.varTableOffset) + ") does not lie inside its " +
                      std::to_string(bodySize) + " bytes");
    if (h.recordLength < 1 || h.recordLength > share::kMaxRecordLength)
        return refuse("a layout with records of " + std::to_string(h.recordLength) + " bytes (1 to " +
                      std::to_string(share::kMaxRecordLength) + " are taken)");
    std::vector<irsdk_VarDescriptor> table(static_cast<size_t>(h.varCount));
    std::memcpy(table.data(), body + h.varTableOffset, static_cast<size_t>(tableBytes));
    for (const irsdk_VarDescriptor& d : table)
        if (d.name[0] == '\0')
            return refuse("a layout with a variable that has no name");
    replay = (prefix.sequence & share::kLayoutReplay) != 0;
    // The same layout comes again whenever the sharer or the viewer connects
    // anew (it is retained): the record taken under it stays current, so
    // that a picture neither blinks nor empties while no record follows.
    if (prefix.layoutId == layoutId && h.recordLength == recordLength && table.size() == vars.size() &&
        std::memcmp(table.data(), vars.data(), static_cast<size_t>(tableBytes)) == 0)
        return Outcome::Taken;
    vars.swap(table);
    recordLength = h.recordLength;
    layoutId = prefix.layoutId;
    ++generation;
    record.clear();
    return Outcome::Taken;
}

SharedTelemetry::Outcome SharedTelemetry::takeRecord(const char* data, size_t size)
{
    share::PayloadPrefix prefix;
    if (!readPrefix(data, size, share::kRecordTag, "record", &prefix))
        return Outcome::Refused;
    // Records sent before the layout that holds now (or before any) are of
    // no use, and not an error: they cross the new layout on the way.
    if (vars.empty() || prefix.layoutId != layoutId)
        return Outcome::Ignored;
    const size_t length = size - sizeof prefix;
    if (length != static_cast<size_t>(recordLength))
        return refuse("a record of " + std::to_string(length) + " bytes for a layout of " +
                      std::to_string(recordLength) + "-byte records");
    record.assign(data + sizeof prefix, data + size);
    lastSequence = prefix.sequence;
    lastSentAtUs = prefix.sentAtUs;
    return Outcome::NewRecord;
}

TelemetryView SharedTelemetry::view() const
{
    TelemetryView v;
    if (vars.empty())
        return v;
    v.vars = vars.data();
    v.varCount = static_cast<int>(vars.size());
    v.record = record.empty() ? nullptr : record.data();
    v.recordLength = record.empty() ? 0 : recordLength;
    v.layoutGeneration = generation;
    return v;
}
