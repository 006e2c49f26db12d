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
    // How the program takes the records of a live driver: every one in turn
    // (a tool that prints them all), or keeping up with the driver as the
    // overlays do with the simulator, skipping records that wait past a
    // lag of kLagRecords. A shared replay is always taken record by record,
    // as a replayed file is.
    enum class Pace { EveryRecord, KeepUp };

    // `program` prefixes the one-line messages about payloads refused. At
    // most maxQueuedRecords records wait for the program to take them; past
    // that the oldest are dropped, so that a viewer that falls behind stays
    // at most that far behind.
    BrokerSource(BrokerAddress address, BrokerLogin login, std::string program,
                 size_t maxQueuedRecords = kDefaultQueuedRecords, Pace pace = Pace::EveryRecord);
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
    static constexpr size_t kDefaultQueuedRecords = 120;
    // A tenth of a second at 60 Hz: the jitter of a network is taken record
    // by record, a program slower than the driver is not left behind.
    static constexpr size_t kLagRecords = 6;

private:
    struct Message {
        share::Topic topic;
        std::string payload;
        size_t oversized; // the size of a payload refused as it arrived, else 0
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
    const Pace pace;
    size_t queuedRecords = 0;
    uint64_t dropped = 0;
    std::string lastReport;
};
