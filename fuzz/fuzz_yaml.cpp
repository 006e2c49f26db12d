// Looks a path up in a session-info text, both taken from the input: the
// first byte gives the path's length, the rest after the path is the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "yaml_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t pathLen = data[0] % 64;
    if (pathLen > size - 1)
        pathLen = size - 1;
    // Exact-size buffers, so that a read past either terminator is caught.
    std::vector<char> path(data + 1, data + 1 + pathLen);
    path.push_back('\0');
    std::vector<char> text(data + 1 + pathLen, data + size);
    text.push_back('\0');

    const char* val = nullptr;
    int len = -1;
    const bool found = parseYaml(text.data(), path.data(), &val, &len);
    if (!found && (val != nullptr || len != 0))
        std::abort();
    if (found) {
        const char* begin = text.data();
        const char* end = begin + std::strlen(begin);
        if (len < 0 || val < begin || val + len > end)
            std::abort();
        char out[17];
        const int result = irsdk_copySessionValue(val, len, out, 16);
        if (result != (len <= 16 ? 1 : -len) || std::strlen(out) != static_cast<size_t>(len <= 16 ? len : 16)
            || std::memchr(val, '\n', static_cast<size_t>(len)) || std::memchr(val, '\r', static_cast<size_t>(len)))
            std::abort();
    }
    return 0;
}
