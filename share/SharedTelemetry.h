// A viewer's picture of one shared car, built from the messages of its
// topics as they arrive: the status, the layout, the session text and the
// latest record. Every payload is untrusted, like the simulator's shared
// memory: sizes and offsets are checked against what arrived, a payload that
// does not fit is refused whole with the reason in one line, and nothing is
// read outside a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TelemetrySource.h"
#include "wire_format.h"

class SharedTelemetry {
public:
    enum class Status { Unknown, Online, Offline };
    enum class Outcome {
        NewRecord, // a record of the current layout became current
        Taken,     // a status, layout or session text was taken
        Ignored,   // a record of another layout than the current one (one sent before it)
        Refused,   // a payload that does not fit; refusal() says why
    };

    Outcome apply(share::Topic topic, const char* data, size_t size);

    // Why the last refused payload was refused, as one line.
    const std::string& refusal() const { return why; }

    Status status() const { return driverStatus; }
    bool hasLayout() const { return !vars.empty(); }
    // The layout and the latest record; the record is null until the first
    // record of the current layout arrived.
    TelemetryView view() const;
    // Null until a session text arrived.
    const char* sessionText() const { return session.empty() ? nullptr : session.data(); }
    // Moves with every session text taken.
    int sessionUpdates() const { return sessionCount; }
    // The layout says the telemetry is a recording played back.
    bool isReplay() const { return replay; }

    // The prefix of the latest record taken.
    uint32_t sequence() const { return lastSequence; }
    uint64_t sentAtUs() const { return lastSentAtUs; }

private:
    Outcome refuse(std::string reason);
    Outcome takeLayout(const char* data, size_t size);
    Outcome takeRecord(const char* data, size_t size);
    // Reads the prefix and checks its tag and version.
    bool readPrefix(const char* data, size_t size, const char* tag, const char* what, share::PayloadPrefix* out);

    Status driverStatus = Status::Unknown;
    std::vector<irsdk_VarDescriptor> vars;
    int recordLength = 0;
    uint32_t layoutId = 0;
    unsigned generation = 0;
    std::vector<char> record; // empty until the layout's first record
    std::vector<char> session;
    int sessionCount = 0;
    bool replay = false;
    uint32_t lastSequence = 0;
    uint64_t lastSentAtUs = 0;
    std::string why;
};
