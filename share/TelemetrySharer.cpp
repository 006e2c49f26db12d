#include "TelemetrySharer.h"

#include <cstring>
#include <random>

#include "value_convert.h"
#include "wire_format.h"

TelemetrySharer::TelemetrySharer(BrokerAddress where, BrokerLogin login, std::vector<std::string> variables)
    : address(std::move(where))
    , wanted(std::move(variables))
    , connection(address, std::move(login))
    , statusTopic(share::topicName(address.topic, share::Topic::Status))
    , layoutTopic(share::topicName(address.topic, share::Topic::Layout))
    , sessionTopic(share::topicName(address.topic, share::Topic::Session))
    , recordTopic(share::topicName(address.topic, share::Topic::Record))
    // Another run's records never pass for this run's: each run starts its
    // layout numbers somewhere else.
    , layoutId(std::random_device{}())
{
    connection.setWill(statusTopic, "offline");
    connection.onConnect([this] { publishRetained(); });
}

TelemetrySharer::~TelemetrySharer()
{
    stop();
}

bool TelemetrySharer::start(std::string* error)
{
    return connection.start(error);
}

void TelemetrySharer::stop()
{
    connection.stop(statusTopic, "offline");
}

// On every connection: the status, then what a viewer needs before the
// first record.
void TelemetrySharer::publishRetained()
{
    std::lock_guard<std::mutex> lock(retainedMutex);
    connection.publish(statusTopic, "online", 6, true);
    if (!layoutPayload.empty())
        connection.publish(layoutTopic, layoutPayload.data(), layoutPayload.size(), true);
    if (!sessionPayload.empty())
        connection.publish(sessionTopic, sessionPayload.data(), sessionPayload.size(), true);
}

// A new layout of the source: all its variables, or those asked for packed
// one after the other in a record of their own.
void TelemetrySharer::takeLayout(const TelemetryView& v, bool replay)
{
    std::vector<irsdk_VarDescriptor> table;
    pieces.clear();
    missing.clear();
    if (wanted.empty()) {
        table.assign(v.vars, v.vars + v.varCount);
        recordLength = v.recordLength;
    } else {
        int offset = 0;
        for (const std::string& name : wanted) {
            const int index = irsdk_findVar(v.vars, v.varCount, name.c_str());
            const irsdk_VarDescriptor* found =
                index >= 0 && irsdk_convert::readable(v.vars[index], v.recordLength) ? &v.vars[index] : nullptr;
            if (!found) {
                missing.push_back(name);
                continue;
            }
            irsdk_VarDescriptor d = *found;
            const int length = d.elementCount * irsdk_typeSize(d.typeCode);
            pieces.push_back(Piece{d.dataOffset, length});
            d.dataOffset = offset;
            offset += length;
            table.push_back(d);
        }
        recordLength = offset;
    }
    ++layoutId;
    haveLayout = !table.empty() && recordLength > 0;
    record.assign(sizeof(share::PayloadPrefix) + static_cast<size_t>(recordLength), '\0');
    std::lock_guard<std::mutex> lock(retainedMutex);
    layoutPayload = haveLayout ? share::encodeLayout(layoutId, table.data(), static_cast<int>(table.size()),
                                                     recordLength, replay ? share::kLayoutReplay : 0)
                               : std::string();
    if (haveLayout)
        connection.publish(layoutTopic, layoutPayload.data(), layoutPayload.size(), true);
}

void TelemetrySharer::takeSessionText(const char* text)
{
    if (!text)
        return;
    const size_t length = std::strlen(text);
    std::lock_guard<std::mutex> lock(retainedMutex);
    if (sessionPayload.size() == length && sessionPayload.compare(0, length, text) == 0)
        return;
    sessionPayload.assign(text, length);
    connection.publish(sessionTopic, sessionPayload.data(), sessionPayload.size(), true);
}

void TelemetrySharer::share(TelemetrySource& source)
{
    const TelemetryView v = source.view();
    if (!v.vars || !v.record)
        return;
    const bool newLayout = !layoutTaken || v.layoutGeneration != sourceGeneration;
    if (newLayout) {
        layoutTaken = true;
        sourceGeneration = v.layoutGeneration;
        takeLayout(v, !source.isLive());
    }
    // The text is copied and compared only when the source says it may
    // have changed.
    const int update = source.sessionTextUpdate();
    if (newLayout || update != sessionUpdate) {
        sessionUpdate = update;
        takeSessionText(source.sessionText());
    }
    if (!haveLayout)
        return;
    const share::PayloadPrefix prefix = share::recordPrefix(layoutId, sequence++, share::nowUs());
    std::memcpy(&record[0], &prefix, sizeof prefix);
    char* body = &record[sizeof prefix];
    if (pieces.empty()) {
        // A source whose record is shorter than its layout said (it cannot
        // be: the layout is taken from the same view) is padded with zeros.
        const int n = v.recordLength < recordLength ? v.recordLength : recordLength;
        std::memcpy(body, v.record, static_cast<size_t>(n));
        std::memset(body + n, 0, static_cast<size_t>(recordLength - n));
    } else {
        for (const Piece& p : pieces) {
            if (p.from + p.length <= v.recordLength)
                std::memcpy(body, v.record + p.from, static_cast<size_t>(p.length));
            else
                std::memset(body, 0, static_cast<size_t>(p.length));
            body += p.length;
        }
    }
    if (connection.publish(recordTopic, record.data(), record.size(), false))
        ++shared;
    else
        ++dropped;
}
