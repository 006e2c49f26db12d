// One client connection to an MQTT broker through Debian's libmosquitto, run
// by a thread of its own: it connects, logs in, subscribes, reads and writes,
// and connects again by itself whenever the broker goes away, so that the
// thread that shares or views telemetry never waits on the network. The
// program's thread only hands messages over (publish) and reads the state.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BrokerUrl.h"

struct mosquitto;
struct mosquitto_message;

class BrokerConnection {
public:
    enum class State {
        Connecting, // not connected yet, or connecting again after a loss
        Connected,
        Refused,    // the broker refused the login; tried again later
    };

    // Called on the connection's thread.
    using ConnectHandler = std::function<void()>;
    using MessageHandler = std::function<void(const std::string& topic, const char* data, size_t size)>;

    BrokerConnection(BrokerAddress address, BrokerLogin login);
    ~BrokerConnection();
    BrokerConnection(const BrokerConnection&) = delete;
    BrokerConnection& operator=(const BrokerConnection&) = delete;

    // Before start: a message the broker publishes (retained) when this
    // client goes without saying goodbye; topics to subscribe to on every
    // connection; what to do on each connection and with each message.
    void setWill(const std::string& topic, const std::string& payload);
    void subscribeTo(const std::string& topic) { subscriptions.push_back(topic); }
    void onConnect(ConnectHandler handler) { connectHandler = std::move(handler); }
    void onMessage(MessageHandler handler) { messageHandler = std::move(handler); }

    // Sets the client up and starts its thread. False, with *error as one
    // line, when it cannot be set up at all (mqtts:// in a build without
    // TLS, a CA file that cannot be read, a topic the broker would refuse).
    bool start(std::string* error);

    // Hands a message to the connection's thread without waiting. A message
    // that is not retained is dropped (false) while not connected, or while
    // more than kMaxPending messages wait to be written: a slow broker sheds
    // records instead of piling them up. Retained messages are always queued
    // while connected.
    bool publish(const std::string& topic, const void* data, size_t size, bool retain);

    // Publishes `payload` retained on `topic` when connected, says goodbye
    // and ends the thread, waiting at most about a second for the broker.
    void stop(const std::string& topic = "", const std::string& payload = "");

    State state() const { return current.load(); }
    // What went wrong last, as the broker or the network said it; empty
    // when nothing has. Never holds the password.
    std::string lastError() const;
    // Messages handed over but not written yet.
    int pending() const { return inFlight.load(); }
    // Connections made since start.
    int connections() const { return connectCount.load(); }

    static const int kMaxPending = 30;

private:
    void run();
    void setError(const std::string& text);
    // Waits up to ms, or less when stopped; false when stopped.
    bool pause(int ms);

    static void connectCallback(mosquitto* m, void* self, int rc);
    static void disconnectCallback(mosquitto* m, void* self, int rc);
    static void publishCallback(mosquitto* m, void* self, int mid);
    static void messageCallback(mosquitto* m, void* self, const mosquitto_message* message);
    static void logCallback(mosquitto* m, void* self, int level, const char* text);

    BrokerAddress address;
    BrokerLogin login;
    std::string willTopic, willPayload;
    std::vector<std::string> subscriptions;
    ConnectHandler connectHandler;
    MessageHandler messageHandler;

    mosquitto* client = nullptr;
    std::thread thread;
    std::atomic<State> current{State::Connecting};
    std::atomic<int> inFlight{0};
    std::atomic<int> connectCount{0};
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex; // guards error, finished
    std::condition_variable changed;
    std::string error;
    bool finished = false;
};
