// Fuzzes a viewer's checks of what arrives from a broker: the input is a
// stream of messages (a topic byte, a 16-bit length, that many bytes), each
// applied from a heap buffer of exactly its size so that the sanitizer sees
// any read past it. After every record that becomes current, every entry of
// every variable is read as the overlays read them, and the session text is
// looked up.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "SharedTelemetry.h"
#include "value_convert.h"
#include "yaml_parser.h"

namespace {

// Reads every entry of every variable as IRData does; the sum keeps the
// reads from being optimised away.
double readEverything(const TelemetryView& v)
{
    double sum = 0.0;
    for (int i = 0; i < v.varCount; ++i) {
        const int entries = v.vars[i].elementCount < 64 ? v.vars[i].elementCount : 64;
        for (int e = -1; e <= entries; ++e) {
            const long long at = irsdk_convert::entryOffset(v.vars[i], e, v.recordLength);
            if (at >= 0 && v.record)
                sum += irsdk_convert::readDouble(v.record + at, v.vars[i].typeCode);
        }
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SharedTelemetry telemetry;
    size_t at = 0;
    volatile double sink = 0.0;
    while (at + 3 <= size) {
        const share::Topic topic = static_cast<share::Topic>(data[at] % 4);
        const size_t length = static_cast<size_t>(data[at + 1]) | static_cast<size_t>(data[at + 2]) << 8;
        at += 3;
        const size_t n = length < size - at ? length : size - at;
        std::vector<char> message(data + at, data + at + n);
        at += n;
        const SharedTelemetry::Outcome outcome = telemetry.apply(topic, message.data(), message.size());
        if (outcome == SharedTelemetry::Outcome::NewRecord)
            sink = sink + readEverything(telemetry.view());
        if (const char* text = telemetry.sessionText()) {
            const char* value = nullptr;
            int len = 0;
            if (parseYaml(text, "WeekendInfo:TrackName:", &value, &len))
                sink = sink + len;
        }
    }
    return 0;
}
