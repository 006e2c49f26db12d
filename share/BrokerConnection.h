// One client connection to an MQTT broker through Debian's libmosquitto, run
// by a thread of its own: it connects, logs in, subscribes, reads and writes,
// and connects again by itself whenever the broker goes away, so that the
// thread that shares or views telemetry never waits on the network. The
// program's thread only hands messages over (publish) and reads the state.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BrokerUrl.h"

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
    // kMaxPending messages wait to be written: a slow broker sheds records
    // instead of piling them up. Retained messages are always queued while
    // connected.
    bool publish(const std::string& topic, const void* data, size_t size, bool retain);

    // Publishes `payload` retained on `topic` when connected, says goodbye
    // and ends the thread, waiting at most about a second for the broker.
    void stop(const std::string& topic = "", const std::string& payload = "");

    State state() const;
    // What went wrong last, as the broker or the network said it; empty
    // when nothing has. Never holds the password.
    std::string lastError() const;
    // Messages handed over but not written yet.
    int pending() const;

    static const int kMaxPending = 30;

    // What the connection's thread shares with this object; the thread
    // holds it too, so that a thread left behind at stop (inside a connect
    // that does not return) never reaches a destroyed object.
    struct Link;

private:
    BrokerAddress address;
    BrokerLogin login;
    std::string willTopic, willPayload;
    std::vector<std::string> subscriptions;
    ConnectHandler connectHandler;
    MessageHandler messageHandler;
    std::shared_ptr<Link> link;
    std::thread thread;
};
