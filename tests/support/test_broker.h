// A Mosquitto broker of a test's own, on free ports of the loopback
// interface, with a configuration of its own: an open listener, and with
// `secure` a second one that asks for a user name and password over TLS,
// its certificates made for the test with openssl. Stopped at the end of
// its scope; stop and start again keep the ports, as a broker restarted by
// its owner does.
#pragma once

#include <memory>
#include <string>

#include "child_process.h"
#include "temp_folder.h"

class TestBroker {
public:
    static constexpr const char* kUser = "driver";
    static constexpr const char* kPassword = "pit-wall-42";

    explicit TestBroker(bool secure = false);
    ~TestBroker();

    // Empty when the broker runs; else why not (no mosquitto, no openssl).
    const std::string& problem() const { return why; }

    bool start();
    void stop();

    // mqtt://127.0.0.1:PORT/TOPIC, and mqtts://localhost:PORT/TOPIC for the
    // secure listener.
    std::string url(const std::string& topic) const;
    std::string secureUrl(const std::string& topic) const;
    // The CA certificate that signed the broker's, and files that hold the
    // right and a wrong password on their first line.
    std::string caFile() const { return folder.file("ca.crt"); }
    std::string passwordFile() const { return folder.file("password"); }
    std::string wrongPasswordFile() const { return folder.file("wrong-password"); }

    // Waits until `count` clients have subscribed to TOPIC/record.
    bool waitForViewers(const std::string& topic, int count, double seconds) const;

private:
    bool makeSecureFiles();

    TempFolder folder;
    bool secure;
    int port = 0;
    int securePort = 0;
    std::unique_ptr<ChildProcess> process;
    std::string why;
};
