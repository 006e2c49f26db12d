// Shares the samples of a telemetry source through a broker: the layout and
// the session text as retained messages whenever they change, every record
// as it comes (QoS 0), and the sharer's status, "online" while connected and
// "offline" as its last will and its goodbye. Sharing never waits: a record
// the broker cannot take at once is dropped (see BrokerConnection::publish).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "BrokerConnection.h"
#include "TelemetrySource.h"

class TelemetrySharer {
public:
    // `variables` limits what is shared to the variables of those names, in
    // a layout of their own; empty shares every variable.
    TelemetrySharer(BrokerAddress address, BrokerLogin login, std::vector<std::string> variables = {});
    ~TelemetrySharer();

    // Connects (on the connection's thread); false with *error as one line
    // when the client cannot be set up at all.
    bool start(std::string* error);

    // After each new sample of the source: publishes its record, and before
    // it the layout and the session text when they changed.
    void share(TelemetrySource& source);

    // Says "offline" and goodbye.
    void stop();

    const BrokerConnection& broker() const { return connection; }
    uint64_t sharedRecords() const { return shared; }
    uint64_t droppedRecords() const { return dropped; }
    // Names asked for that the current layout does not have.
    const std::vector<std::string>& missingVariables() const { return missing; }

private:
    // Where each shared variable's bytes lie in the source's record.
    struct Piece {
        int from;
        int length;
    };

    void takeLayout(const TelemetryView& v, bool replay);
    void takeSessionText(const char* text);
    void publishRetained();

    BrokerAddress address;
    std::vector<std::string> wanted;
    BrokerConnection connection;
    std::string statusTopic, layoutTopic, sessionTopic, recordTopic;

    // The retained messages as last sent, published again on every new
    // connection (a broker that restarted has forgotten them). Guarded:
    // the connection's thread sends them.
    std::mutex retainedMutex;
    std::string layoutPayload;
    std::string sessionPayload;

    bool layoutTaken = false; // a layout was taken from the source
    bool haveLayout = false;  // and it has something to share
    unsigned sourceGeneration = 0;
    uint32_t layoutId;
    std::vector<Piece> pieces; // empty: the whole record
    int recordLength = 0;
    std::string record;        // prefix and record, reused
    uint32_t sequence = 0;
    uint64_t shared = 0;
    uint64_t dropped = 0;
    int sessionUpdate = 0; // the source's session text counter when last compared
    std::vector<std::string> missing;
};
