#include "BrokerConnection.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <mosquitto.h>

namespace {

// The broker hears from the client at least this often; a client gone
// silent for one and a half times as long counts as gone, and its last will
// is published.
const int kKeepAliveSeconds = 5;
// Waits between attempts to connect, doubling from the first to the last.
const int kFirstRetryMs = 250;
const int kLastRetryMs = 4000;
// How long stop waits for the goodbye to be written.
const auto kStopWait = std::chrono::milliseconds(1000);

// libmosquitto's process-wide set-up, once; it is never undone, as the
// process may still hold a connection that could not be ended in time.
void initLibrary()
{
    static const int done = mosquitto_lib_init();
    (void)done;
}

} // namespace

BrokerConnection::BrokerConnection(BrokerAddress address, BrokerLogin login)
    : address(std::move(address))
    , login(std::move(login))
{
    initLibrary();
}

BrokerConnection::~BrokerConnection()
{
    stop();
    if (client && !thread.joinable())
        mosquitto_destroy(client);
}

void BrokerConnection::setWill(const std::string& topic, const std::string& payload)
{
    willTopic = topic;
    willPayload = payload;
}

bool BrokerConnection::start(std::string* why)
{
    for (const std::string& topic : subscriptions)
        if (mosquitto_sub_topic_check(topic.c_str()) != MOSQ_ERR_SUCCESS) {
            *why = "the topic " + topic + " is not one a broker takes";
            return false;
        }
    if (!willTopic.empty() && mosquitto_pub_topic_check(willTopic.c_str()) != MOSQ_ERR_SUCCESS) {
        *why = "the topic " + willTopic + " is not one a broker takes";
        return false;
    }
    errno = 0;
    client = mosquitto_new(nullptr, true, this);
    if (!client) {
        *why = std::string("cannot make a broker client: ") + std::strerror(errno ? errno : ENOMEM);
        return false;
    }
    mosquitto_threaded_set(client, true);
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Each record goes out as it comes, not held back to be sent with the next.
    mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
    if (!login.username.empty())
        mosquitto_username_pw_set(client, login.username.c_str(), login.password.empty() ? nullptr : login.password.c_str());
    if (address.tls) {
        // The server's certificate is verified, and its name against the
        // host: against the CA file given, else the system's certificates.
        const int rc = login.caFile.empty() ? mosquitto_tls_set(client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                                            : mosquitto_tls_set(client, login.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_NOT_SUPPORTED) {
            *why = "mqtts:// is not available in this build (its broker client has no TLS); use mqtt://";
            return false;
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            *why = login.caFile.empty() ? "cannot use the system's certificates for mqtts://"
                                        : "cannot read the CA file " + login.caFile;
            return false;
        }
    }
    if (!willTopic.empty())
        mosquitto_will_set(client, willTopic.c_str(), static_cast<int>(willPayload.size()), willPayload.data(), 1, true);
    mosquitto_connect_callback_set(client, connectCallback);
    mosquitto_disconnect_callback_set(client, disconnectCallback);
    mosquitto_publish_callback_set(client, publishCallback);
    mosquitto_message_callback_set(client, messageCallback);
    mosquitto_log_callback_set(client, logCallback);
    thread = std::thread(&BrokerConnection::run, this);
    return true;
}

// The connection's thread: connect, serve the connection until it ends,
// wait a little longer each time, connect again; until stopped.
void BrokerConnection::run()
{
    int retryMs = kFirstRetryMs;
    while (!stopping) {
        const int before = connectCount.load();
        int rc = mosquitto_connect(client, address.host.c_str(), address.port, kKeepAliveSeconds);
        if (rc == MOSQ_ERR_ERRNO)
            setError(std::strerror(errno));
        else if (rc != MOSQ_ERR_SUCCESS)
            setError(mosquitto_strerror(rc));
        // After a stop request the loop goes on until the goodbye is
        // written and the broker closed the connection, or for a second.
        const auto deadline = std::chrono::steady_clock::now() + kStopWait;
        while (rc == MOSQ_ERR_SUCCESS && !(stopping && std::chrono::steady_clock::now() > deadline)) {
            rc = mosquitto_loop(client, 100, 1);
            if (rc == MOSQ_ERR_ERRNO)
                setError(std::strerror(errno));
            else if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN && rc != MOSQ_ERR_TLS && rc != MOSQ_ERR_CONN_REFUSED)
                setError(mosquitto_strerror(rc));
        }
        if (current.load() == State::Connected)
            current = State::Connecting;
        if (connectCount.load() != before)
            retryMs = kFirstRetryMs;
        if (stopping || !pause(retryMs))
            break;
        retryMs = retryMs * 2 > kLastRetryMs ? kLastRetryMs : retryMs * 2;
    }
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
    changed.notify_all();
}

bool BrokerConnection::pause(int ms)
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
    return !stopping;
}

bool BrokerConnection::publish(const std::string& topic, const void* data, size_t size, bool retain)
{
    if (current.load() != State::Connected || (!retain && inFlight.load() >= kMaxPending))
        return false;
    ++inFlight;
    if (mosquitto_publish(client, nullptr, topic.c_str(), static_cast<int>(size), data, 0, retain) != MOSQ_ERR_SUCCESS) {
        --inFlight;
        return false;
    }
    return true;
}

void BrokerConnection::stop(const std::string& topic, const std::string& payload)
{
    if (!thread.joinable())
        return;
    if (!topic.empty())
        publish(topic, payload.data(), payload.size(), true);
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        changed.notify_all();
    }
    mosquitto_disconnect(client);
    std::unique_lock<std::mutex> lock(mutex);
    // A thread still inside a connect to a broker that does not answer is
    // left to the end of the process, with its client.
    if (changed.wait_for(lock, kStopWait + std::chrono::milliseconds(500), [this] { return finished; })) {
        lock.unlock();
        thread.join();
    } else {
        lock.unlock();
        thread.detach();
        client = nullptr;
    }
}

std::string BrokerConnection::lastError() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return error;
}

void BrokerConnection::setError(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    error = text;
}

void BrokerConnection::connectCallback(mosquitto* m, void* self, int rc)
{
    auto* c = static_cast<BrokerConnection*>(self);
    if (rc != 0) {
        c->setError(mosquitto_connack_string(rc));
        c->current = State::Refused;
        return;
    }
    c->inFlight = 0;
    c->current = State::Connected;
    ++c->connectCount;
    for (const std::string& topic : c->subscriptions)
        mosquitto_subscribe(m, nullptr, topic.c_str(), 0);
    if (c->connectHandler)
        c->connectHandler();
}

void BrokerConnection::disconnectCallback(mosquitto*, void* self, int)
{
    auto* c = static_cast<BrokerConnection*>(self);
    if (c->current.load() == State::Connected)
        c->current = State::Connecting;
}

void BrokerConnection::publishCallback(mosquitto*, void* self, int)
{
    auto* c = static_cast<BrokerConnection*>(self);
    if (c->inFlight.load() > 0)
        --c->inFlight;
}

void BrokerConnection::messageCallback(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* c = static_cast<BrokerConnection*>(self);
    if (c->messageHandler && message->topic)
        c->messageHandler(message->topic, static_cast<const char*>(message->payload),
                          message->payloadlen > 0 ? static_cast<size_t>(message->payloadlen) : 0);
}

// The library's own error lines (a certificate that failed verification)
// say more than its result codes.
void BrokerConnection::logCallback(mosquitto*, void* self, int level, const char* text)
{
    if (level == MOSQ_LOG_ERR && text)
        static_cast<BrokerConnection*>(self)->setError(text);
}
