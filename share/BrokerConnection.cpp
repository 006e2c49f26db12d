#include "BrokerConnection.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

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

struct BrokerConnection::Link {
    using State = BrokerConnection::State;

    std::string host;
    int port = 0;
    std::vector<std::string> subscriptions;
    ConnectHandler connectHandler;
    MessageHandler messageHandler;

    mosquitto* client = nullptr;
    std::atomic<State> current{State::Connecting};
    std::atomic<int> inFlight{0};
    std::atomic<int> connectCount{0};
    std::atomic<bool> stopping{false};
    // Set when the owner is gone: the handlers, which reach into it, are
    // called no more.
    std::atomic<bool> silenced{false};
    mutable std::mutex mutex; // guards error, finished
    std::condition_variable changed;
    std::string error;
    bool finished = false;

    ~Link()
    {
        if (client)
            mosquitto_destroy(client);
    }

    void setError(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        error = text;
    }

    // Waits up to ms, or less when stopped; false when stopped.
    bool pause(int ms)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
        return !stopping;
    }

    // The connection's thread: connect without waiting on the network,
    // serve the connection until it ends, wait a little longer each time,
    // connect again; until stopped.
    void run()
    {
        int retryMs = kFirstRetryMs;
        while (!stopping) {
            const int before = connectCount.load();
            int rc = mosquitto_connect_async(client, host.c_str(), port, kKeepAliveSeconds);
            if (rc == MOSQ_ERR_ERRNO)
                setError(std::strerror(errno));
            else if (rc != MOSQ_ERR_SUCCESS)
                setError(mosquitto_strerror(rc));
            // After a stop request the loop goes on until the goodbye is
            // written and the broker closed the connection, or for a second
            // from the request.
            bool stopSeen = false;
            std::chrono::steady_clock::time_point deadline;
            while (rc == MOSQ_ERR_SUCCESS) {
                if (stopping && !stopSeen) {
                    stopSeen = true;
                    deadline = std::chrono::steady_clock::now() + kStopWait;
                } else if (stopSeen && std::chrono::steady_clock::now() > deadline) {
                    break;
                }
                rc = mosquitto_loop(client, 100, 1);
                if (rc == MOSQ_ERR_ERRNO)
                    setError(std::strerror(errno));
                else if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN && rc != MOSQ_ERR_TLS &&
                         rc != MOSQ_ERR_CONN_REFUSED)
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

    static void connectCallback(mosquitto* m, void* self, int rc)
    {
        auto* l = static_cast<Link*>(self);
        if (rc != 0) {
            l->setError(mosquitto_connack_string(rc));
            l->current = State::Refused;
            return;
        }
        l->inFlight = 0;
        l->current = State::Connected;
        ++l->connectCount;
        for (const std::string& topic : l->subscriptions)
            mosquitto_subscribe(m, nullptr, topic.c_str(), 0);
        if (l->connectHandler && !l->silenced)
            l->connectHandler();
    }

    static void disconnectCallback(mosquitto*, void* self, int)
    {
        auto* l = static_cast<Link*>(self);
        if (l->current.load() == State::Connected)
            l->current = State::Connecting;
    }

    static void publishCallback(mosquitto*, void* self, int)
    {
        auto* l = static_cast<Link*>(self);
        if (l->inFlight.load() > 0)
            --l->inFlight;
    }

    static void messageCallback(mosquitto*, void* self, const mosquitto_message* message)
    {
        auto* l = static_cast<Link*>(self);
        if (l->messageHandler && !l->silenced && message->topic)
            l->messageHandler(message->topic, static_cast<const char*>(message->payload),
                              message->payloadlen > 0 ? static_cast<size_t>(message->payloadlen) : 0);
    }

    // The library's own error lines (a certificate that failed verification)
    // say more than its result codes.
    static void logCallback(mosquitto*, void* self, int level, const char* text)
    {
        if (level == MOSQ_LOG_ERR && text)
            static_cast<Link*>(self)->setError(text);
    }
};

BrokerConnection::BrokerConnection(BrokerAddress address, BrokerLogin login)
    : address(std::move(address))
    , login(std::move(login))
    , link(std::make_shared<Link>())
{
    initLibrary();
}

BrokerConnection::~BrokerConnection()
{
    stop();
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
    mosquitto* client = mosquitto_new(nullptr, true, link.get());
    if (!client) {
        *why = std::string("cannot make a broker client: ") + std::strerror(errno ? errno : ENOMEM);
        return false;
    }
    link->client = client;
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
    mosquitto_connect_callback_set(client, Link::connectCallback);
    mosquitto_disconnect_callback_set(client, Link::disconnectCallback);
    mosquitto_publish_callback_set(client, Link::publishCallback);
    mosquitto_message_callback_set(client, Link::messageCallback);
    mosquitto_log_callback_set(client, Link::logCallback);
    link->host = address.host;
    link->port = address.port;
    link->subscriptions = subscriptions;
    link->connectHandler = connectHandler;
    link->messageHandler = messageHandler;
    std::shared_ptr<Link> shared = link;
    thread = std::thread([shared] { shared->run(); });
    return true;
}

bool BrokerConnection::publish(const std::string& topic, const void* data, size_t size, bool retain)
{
    Link& l = *link;
    if (l.current.load() != State::Connected || (!retain && l.inFlight.load() >= kMaxPending))
        return false;
    ++l.inFlight;
    if (mosquitto_publish(l.client, nullptr, topic.c_str(), static_cast<int>(size), data, 0, retain) != MOSQ_ERR_SUCCESS) {
        --l.inFlight;
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
    Link& l = *link;
    {
        std::lock_guard<std::mutex> lock(l.mutex);
        l.stopping = true;
        l.changed.notify_all();
    }
    mosquitto_disconnect(l.client);
    std::unique_lock<std::mutex> lock(l.mutex);
    if (l.changed.wait_for(lock, kStopWait + std::chrono::milliseconds(500), [&l] { return l.finished; })) {
        lock.unlock();
        thread.join();
        return;
    }
    // A thread still inside a name lookup that does not return is left to
    // the end of the process: it holds the link, and calls no handler of
    // its owner again.
    lock.unlock();
    l.silenced = true;
    thread.detach();
}

BrokerConnection::State BrokerConnection::state() const
{
    return link->current.load();
}

std::string BrokerConnection::lastError() const
{
    std::lock_guard<std::mutex> lock(link->mutex);
    return link->error;
}

int BrokerConnection::pending() const
{
    return link->inFlight.load();
}
