#include "BrokerSource.h"

#include <chrono>
#include <cstdio>

BrokerSource::BrokerSource(BrokerAddress where, BrokerLogin login, std::string programName, size_t maxQueued,
                           Pace howToTake)
    : address(std::move(where))
    , program(std::move(programName))
    , connection(address, std::move(login))
    , maxQueuedRecords(maxQueued)
    , pace(howToTake)
{
    for (share::Topic t : {share::Topic::Status, share::Topic::Layout, share::Topic::Session, share::Topic::Record})
        connection.subscribeTo(share::topicName(address.topic, t));
    connection.onMessage([this](const std::string& topic, const char* data, size_t size) { receive(topic, data, size); });
}

BrokerSource::~BrokerSource()
{
    connection.stop();
}

bool BrokerSource::start(std::string* error)
{
    return connection.start(error);
}

// On the connection's thread: queues the message. A program that falls
// behind loses its oldest records, never a status, layout or session text.
void BrokerSource::receive(const std::string& topic, const char* data, size_t size)
{
    share::Topic kind;
    const std::string& base = address.topic;
    if (topic.size() <= base.size() + 1 || topic.compare(0, base.size(), base) != 0 || topic[base.size()] != '/')
        return;
    const std::string suffix = topic.substr(base.size() + 1);
    if (suffix == share::topicSuffix(share::Topic::Record))
        kind = share::Topic::Record;
    else if (suffix == share::topicSuffix(share::Topic::Layout))
        kind = share::Topic::Layout;
    else if (suffix == share::topicSuffix(share::Topic::Session))
        kind = share::Topic::Session;
    else if (suffix == share::topicSuffix(share::Topic::Status))
        kind = share::Topic::Status;
    else
        return;
    std::lock_guard<std::mutex> lock(mutex);
    if (size > share::maxPayload(kind)) {
        // Only its size goes on, for the line that refuses it.
        queue.push_back(Message{kind, std::string(), size});
        arrived.notify_one();
        return;
    }
    if (kind == share::Topic::Record && queuedRecords >= maxQueuedRecords) {
        for (auto it = queue.begin(); it != queue.end(); ++it)
            if (it->topic == share::Topic::Record) {
                queue.erase(it);
                --queuedRecords;
                ++dropped;
                break;
            }
    }
    queue.push_back(Message{kind, std::string(data, size), 0});
    if (kind == share::Topic::Record)
        ++queuedRecords;
    arrived.notify_one();
}

// Takes the queued messages in order until a record becomes current,
// waiting up to timeoutMs for the first. Keeping up with a live driver, a
// record with more than kLagRecords behind it is taken but not handed on,
// as the simulator's reader skips to its newest record.
bool BrokerSource::next(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        if (queue.empty() && !arrived.wait_until(lock, deadline, [this] { return !queue.empty(); }))
            return false;
        Message m = std::move(queue.front());
        queue.pop_front();
        if (m.topic == share::Topic::Record && m.oversized == 0)
            --queuedRecords;
        lock.unlock();
        if (m.oversized > 0) {
            report("refused a payload of " + std::to_string(m.oversized) + " bytes, more than the " +
                   std::to_string(share::maxPayload(m.topic)) + " taken, on " +
                   share::topicName(address.topic, m.topic));
            lock.lock();
            continue;
        }
        const SharedTelemetry::Outcome outcome = telemetry.apply(m.topic, m.payload.data(), m.payload.size());
        if (outcome == SharedTelemetry::Outcome::Refused)
            report("refused " + telemetry.refusal() + " on " + share::topicName(address.topic, m.topic));
        lock.lock();
        if (outcome == SharedTelemetry::Outcome::NewRecord) {
            if (pace == Pace::EveryRecord || telemetry.isReplay() || queuedRecords <= kLagRecords)
                return true;
            ++dropped;
        }
    }
}

// One line per refusal, not one per message: a stream of bad records says
// its reason once until another reason comes.
void BrokerSource::report(const std::string& line)
{
    if (line == lastReport)
        return;
    lastReport = line;
    std::fprintf(stderr, "%s: %s\n", program.c_str(), line.c_str());
}

bool BrokerSource::isConnected()
{
    return connection.state() == BrokerConnection::State::Connected &&
           telemetry.status() == SharedTelemetry::Status::Online && telemetry.hasLayout();
}

const char* BrokerSource::whyNoTelemetry()
{
    switch (connection.state()) {
    case BrokerConnection::State::Connecting: return "Waiting for the broker";
    case BrokerConnection::State::Refused: return "The broker refused the login";
    case BrokerConnection::State::Connected: break;
    }
    return telemetry.status() == SharedTelemetry::Status::Online ? nullptr : "Driver offline";
}

// A broker that went away, or a driver that went offline or stopped sending,
// dims the picture; a shared replay stands still at its end, as a replay does.
const char* BrokerSource::whyStale() const
{
    switch (connection.state()) {
    case BrokerConnection::State::Connecting: return "Waiting for the broker";
    case BrokerConnection::State::Refused: return "The broker refused the login";
    case BrokerConnection::State::Connected: break;
    }
    if (telemetry.isReplay())
        return nullptr;
    return telemetry.status() == SharedTelemetry::Status::Online ? "Simulator stopped" : "Driver offline";
}

void BrokerSource::endSession()
{
    connection.stop();
}

// The last sample stays readable while the broker or the driver is away, as
// the last record of a replay does: a record taken just before the
// connection dropped is still read whole.
TelemetryView BrokerSource::view()
{
    return telemetry.view();
}

const char* BrokerSource::sessionText()
{
    return telemetry.sessionText();
}

uint64_t BrokerSource::droppedRecords() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return dropped;
}
