// Opens arbitrary bytes as a recording and reads everything the reader
// offers: every getter over every index and entry, a few records, and
// session lookups. The reader must never read outside what it loaded.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "irsdk_diskclient.h"

namespace {

volatile double sink;

// An in-memory file that the reader opens by path, rewritten for every input.
const char* memoryFilePath()
{
    static std::string path;
    static int fd = -1;
    if (fd < 0) {
        fd = memfd_create("ibt_fuzz", 0);
        if (fd < 0)
            std::abort();
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    return path.c_str();
}

bool setContent(const uint8_t* data, size_t size)
{
    const int fd = std::atoi(std::strrchr(memoryFilePath(), '/') + 1);
    if (ftruncate(fd, 0) != 0)
        return false;
    return size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size);
}

void readEntry(const irsdkDiskClient& r, int idx, int entry)
{
    double v = r.getVarBool(idx, entry) ? 1.0 : 0.0;
    v += r.getVarInt(idx, entry);
    v += r.getVarFloat(idx, entry);
    v += r.getVarDouble(idx, entry);
    sink = v;
}

void readAllVariables(const irsdkDiskClient& r)
{
    const int n = r.getHeader().varCount;
    for (int idx = -1; idx <= n && idx < 4096; ++idx) {
        const int count = r.getVarCount(idx);
        sink = r.getVarType(idx);
        for (int entry = -1; entry <= count && entry < 256; ++entry)
            readEntry(r, idx, entry);
        if (count > INT_MIN)
            readEntry(r, idx, count - 1);
        readEntry(r, idx, INT_MAX);
        readEntry(r, idx, INT_MIN);
        if (const irsdk_VarDescriptor* d = r.getVarDescriptor(idx)) {
            char name[IRSDK_MAX_STRING + 1] = {};
            std::memcpy(name, d->name, IRSDK_MAX_STRING);
            sink = r.getVarIdx(name);
            sink = r.getVarFloat(name, 0) + r.getVarInt(name, 1) + r.getVarDouble(name, count);
        }
    }
}

void lookUp(const irsdkDiskClient& r, const char* path)
{
    char value[64];
    for (int valLen : {1, 8, 63}) {
        const int result = r.getSessionStrVal(path, value, valLen);
        if (result != 0 && std::strlen(value) > static_cast<size_t>(valLen))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!setContent(data, size))
        return 0;
    irsdkDiskClient r;
    if (!r.openFile(memoryFilePath()))
        return 0;
    readAllVariables(r); // before the first record: a zero-filled buffer
    for (int step = 0; step < 6 && r.getNextData(); ++step)
        readAllVariables(r);

    lookUp(r, "WeekendInfo:TrackName:");
    lookUp(r, "DriverInfo:Drivers:CarIdx:{0}UserName:");
    lookUp(r, "A:B:{");
    // The text's own first line, used as a path.
    const char* text = r.getSessionText();
    const char* end = std::strpbrk(text, "\r\n");
    const std::string first(text, end ? static_cast<size_t>(end - text) : std::strlen(text));
    lookUp(r, first.c_str());

    r.closeFile();
    readAllVariables(r);
    return 0;
}
