// Where a shared car's telemetry is: mqtt://HOST[:PORT]/TOPIC, or mqtts://
// for a connection over TLS, and the login a broker may ask for.
#pragma once

#include <string>

struct BrokerAddress {
    bool tls = false;
    std::string host;  // a name or an address; an IPv6 address without its brackets
    int port = 0;      // 1883 for mqtt://, 8883 for mqtts:// unless given
    std::string topic; // the base topic, without a trailing slash
    // HOST:PORT as the user wrote the host, for messages.
    std::string where() const;
};

// What a broker may ask of a client. The password is never printed, logged
// or put in a message.
struct BrokerLogin {
    std::string username;
    std::string password;
    std::string caFile; // PEM certificates the server's certificate must chain to (mqtts://)
};

// Whether text begins as a broker URL does (mqtt:// or mqtts://).
bool looksLikeBrokerUrl(const std::string& text);

// Reads a broker URL; false, with the reason in *error, for anything else.
bool parseBrokerUrl(const std::string& url, BrokerAddress* out, std::string* error);

// The password kept in a file: its first line, without the line end. False,
// with *error set, when the file cannot be read or holds no password.
bool readPasswordFile(const std::string& path, std::string* password, std::string* error);
