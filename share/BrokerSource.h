// The telemetry of a car shared through a broker, as a telemetry source
// beside the live simulator and the recorded file: the connection's thread
// queues the messages of the car's topics as they arrive, and each step on
// the program's thread takes them in order until a record becomes current.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "BrokerConnection.h"
#include "SharedTelemetry.h"
#include "TelemetrySource.h"

class BrokerSource final : public TelemetrySource {
public:
    // `program` prefixes the one-line messages about payloads refused. At
    // most maxQueuedRecords records wait for the program to take them; past
    // that the oldest are dropped, so that a viewer that falls behind stays
    // at most that far behind.
    BrokerSource(BrokerAddress address, BrokerLogin login, std::string program,
                 size_t maxQueuedRecords = kDefaultQueuedRecords);
    ~BrokerSource() override;

    // Connects (on the connection's thread); false with *error as one line
    // when the client cannot be set up at all.
    bool start(std::string* error);

    bool next(int timeoutMs) override;
    bool isConnected() override;
    const char* whyNoTelemetry() override;
    bool isLive() const override { return true; }
    void endSession() override;
    TelemetryView view() override;
    const char* sessionText() override;
    int sessionTextUpdate() const override { return telemetry.sessionUpdates(); }
    const char* whyStale() const override;

    BrokerConnection::State brokerState() const { return connection.state(); }
    std::string brokerError() const { return connection.lastError(); }
    const SharedTelemetry& shared() const { return telemetry; }
    // Records dropped because the program took them more slowly than they came.
    uint64_t droppedRecords() const;

    // Two seconds at 60 Hz: a pass of the overlays that stalls that long
    // (a window being made) still loses nothing.
    static const size_t kDefaultQueuedRecords = 120;

private:
    struct Message {
        share::Topic topic;
        std::string payload;
    };

    void receive(const std::string& topic, const char* data, size_t size);
    void report(const std::string& line);

    BrokerAddress address;
    std::string program;
    BrokerConnection connection;
    SharedTelemetry telemetry;

    mutable std::mutex mutex; // guards queue, queuedRecords, dropped
    std::condition_variable arrived;
    std::deque<Message> queue;
    const size_t maxQueuedRecords;
    size_t queuedRecords = 0;
    uint64_t dropped = 0;
    std::string lastReport;
};
