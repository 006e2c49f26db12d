#include "BrokerUrl.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char kForm[] = "mqtt://HOST[:PORT]/TOPIC or mqtts://HOST[:PORT]/TOPIC";

bool fail(std::string* error, const std::string& why)
{
    *error = why + " (a broker URL is " + kForm + ")";
    return false;
}

} // namespace

std::string BrokerAddress::where() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool looksLikeBrokerUrl(const std::string& text)
{
    return text.rfind("mqtt://", 0) == 0 || text.rfind("mqtts://", 0) == 0;
}

bool parseBrokerUrl(const std::string& url, BrokerAddress* out, std::string* error)
{
    BrokerAddress a;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
        a.port = 1883;
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        a.tls = true;
        a.port = 8883;
    } else {
        return fail(error, "\"" + url + "\" is not a broker URL");
    }
    const size_t slash = rest.find('/');
    std::string hostPort = rest.substr(0, slash);
    // A password in the URL would be seen in every list of processes; and
    // the URL is not repeated in a message once it may hold one.
    if (hostPort.find('@') != std::string::npos)
        return fail(error, "a login in the URL is not taken; give the user name and password apart");
    if (slash == std::string::npos)
        return fail(error, "no topic in " + url);
    a.topic = rest.substr(slash + 1);
    while (!a.topic.empty() && a.topic.back() == '/')
        a.topic.pop_back();
    size_t portColon = std::string::npos;
    if (!hostPort.empty() && hostPort[0] == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string::npos)
            return fail(error, "an IPv6 address without its closing bracket in " + url);
        a.host = hostPort.substr(1, close - 1);
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':')
                return fail(error, "unexpected text after the address in " + url);
            portColon = close + 1;
        }
    } else {
        portColon = hostPort.find(':');
        a.host = hostPort.substr(0, portColon);
    }
    if (a.host.empty())
        return fail(error, "no host in " + url);
    if (portColon != std::string::npos) {
        const std::string port = hostPort.substr(portColon + 1);
        long value = 0;
        for (char c : port) {
            if (c < '0' || c > '9' || value > 65535)
                return fail(error, "the port \"" + port + "\" is not a number from 1 to 65535");
            value = value * 10 + (c - '0');
        }
        if (port.empty() || value < 1 || value > 65535)
            return fail(error, "the port \"" + port + "\" is not a number from 1 to 65535");
        a.port = static_cast<int>(value);
    }
    if (a.topic.empty())
        return fail(error, "no topic in " + url);
    for (char c : a.topic)
        if (c == '+' || c == '#')
            return fail(error, "the topic \"" + a.topic + "\" holds a wildcard (+ or #)");
    *out = a;
    return true;
}

bool readPasswordFile(const std::string& path, std::string* password, std::string* error)
{
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot read the password file " + path + (errno ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    std::string line;
    int c;
    while ((c = std::fgetc(f)) != EOF && c != '\n' && line.size() < 4096)
        line.push_back(static_cast<char>(c));
    std::fclose(f);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty()) {
        *error = "the password file " + path + " holds no password on its first line";
        return false;
    }
    *password = line;
    return true;
}
