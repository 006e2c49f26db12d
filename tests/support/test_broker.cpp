#include "test_broker.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "files.h"

namespace {

const char* const kMosquitto = "/usr/sbin/mosquitto";

// A port of 127.0.0.1 that nothing listens on now: the system picks it.
int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        ::close(s);
    return port;
}

bool accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (s >= 0)
        ::close(s);
    return ok;
}

} // namespace

TestBroker::TestBroker(bool secure)
    : folder("broker")
    , secure(secure)
{
    if (::access(kMosquitto, X_OK) != 0) {
        why = "no mosquitto at " + std::string(kMosquitto);
        return;
    }
    port = freePort();
    securePort = secure ? freePort() : 0;
    std::ofstream conf(folder.file("mosquitto.conf"));
    conf << "per_listener_settings true\n"
         << "persistence false\n"
         << "log_dest file " << folder.file("broker.log") << "\n"
         << "log_type error\nlog_type warning\nlog_type subscribe\n"
         << "listener " << port << " 127.0.0.1\n"
         << "allow_anonymous true\n";
    // Started as root, the broker would give its rights away to a user
    // that cannot read the test's files.
    if (::geteuid() == 0)
        conf << "user root\n";
    if (secure) {
        if (!makeSecureFiles())
            return;
        conf << "listener " << securePort << " 127.0.0.1\n"
             << "allow_anonymous false\n"
             << "password_file " << folder.file("passwords") << "\n"
             << "cafile " << caFile() << "\n"
             << "certfile " << folder.file("server.crt") << "\n"
             << "keyfile " << folder.file("server.key") << "\n";
    }
    conf.close();
    start();
}

TestBroker::~TestBroker()
{
    stop();
}

// A CA, a certificate for localhost signed by it, and the password file.
bool TestBroker::makeSecureFiles()
{
    const std::string d = "cd '" + folder.path() + "' && ";
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::ofstream(folder.file("san.ext")) << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    int status = 0;
    shellOutput(d + "openssl req -x509 " + key + " -keyout ca.key -out ca.crt -days 2 -subj /CN=test-ca 2>/dev/null && "
                    "openssl req " + key + " -keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null && "
                    "openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 "
                    "-extfile san.ext -out server.crt 2>/dev/null && "
                    "mosquitto_passwd -c -b passwords " + std::string(kUser) + " " + kPassword + " 2>/dev/null",
                &status);
    std::ofstream(passwordFile()) << kPassword << "\n";
    std::ofstream(wrongPasswordFile()) << "not-" << kPassword << "\n";
    if (status != 0)
        why = "could not make the certificates and the password file with openssl and mosquitto_passwd";
    return status == 0;
}

bool TestBroker::start()
{
    if (port == 0 || (secure && !why.empty()))
        return false;
    process = std::make_unique<ChildProcess>(std::vector<std::string>{kMosquitto, "-c", folder.file("mosquitto.conf")},
                                             folder.file("stdout.txt"), folder.file("stderr.txt"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (accepts(port) && (!secure || accepts(securePort))) {
            why.clear();
            return true;
        }
        if (!process->running())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    why = "mosquitto did not start: " + readFile(folder.file("stderr.txt")) + readFile(folder.file("broker.log"));
    return false;
}

void TestBroker::stop()
{
    if (process)
        process->stop(SIGTERM);
    process.reset();
}

std::string TestBroker::url(const std::string& topic) const
{
    return "mqtt://127.0.0.1:" + std::to_string(port) + "/" + topic;
}

std::string TestBroker::secureUrl(const std::string& topic) const
{
    return "mqtts://localhost:" + std::to_string(securePort) + "/" + topic;
}

bool TestBroker::waitForViewers(const std::string& topic, int count, double seconds) const
{
    const std::string line = " " + topic + "/record\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const std::string log = readFile(folder.file("broker.log"));
        int found = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
            ++found;
        if (found >= count)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
