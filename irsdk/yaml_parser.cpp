#include "yaml_parser.h"

#include <climits>
#include <cstring>

namespace {

enum class ScanState { Indent, Key, AfterColon, Value, LineBreak };

bool isLineBreak(char c)
{
    return c == '\n' || c == '\r';
}

// Length of the selector that starts at `sel` (just after its opening brace),
// or -1 when the path ends before a closing brace.
long long selectorLength(const char* sel)
{
    long long n = 0;
    while (sel[n] != '}') {
        if (sel[n] == '\0')
            return -1;
        ++n;
    }
    return n;
}

} // namespace

// Single forward pass over the text: each line's depth, key and value are
// gathered by a small state machine and tried against the rest of the path
// when the line ends; a line shallower than the last match ends the search.
bool parseYaml(const char* data, const char* path, const char** val, int* len)
{
    if (val)
        *val = nullptr;
    if (len)
        *len = 0;
    if (!data || !path || !val || !len)
        return false;

    ScanState state = ScanState::Indent;
    long long depth = 0;
    const char* keyStart = nullptr;
    long long keyLen = 0;
    const char* valueStart = nullptr;
    long long valueLen = 0;
    const char* cursor = path;
    long long matchedDepth = 0;

    for (const char* p = data; *p != '\0'; ++p) {
        const char c = *p;
        if (isLineBreak(c)) {
            if (state == ScanState::LineBreak)
                continue;
            state = ScanState::LineBreak;

            if (depth < matchedDepth)
                return false;
            if (keyLen > 0 && std::strncmp(cursor, keyStart, static_cast<size_t>(keyLen)) == 0) {
                // The key's characters contain no NUL, so a match means the
                // path holds at least keyLen more characters.
                const char* next = cursor + keyLen;
                bool matches = true;
                if (*next == '{') {
                    const long long selLen = selectorLength(next + 1);
                    if (selLen < 0)
                        return false;
                    matches = selLen == valueLen
                        && (selLen == 0 || std::memcmp(next + 1, valueStart, static_cast<size_t>(selLen)) == 0);
                    if (matches)
                        next += selLen + 2;
                }
                if (matches) {
                    cursor = next;
                    matchedDepth = depth;
                    if (*cursor == '\0') {
                        if (valueLen > INT_MAX)
                            return false;
                        // An empty value still points into the text: at its line break.
                        *val = valueLen > 0 ? valueStart : p;
                        *len = static_cast<int>(valueLen);
                        return true;
                    }
                }
            }
            depth = 0;
            keyLen = 0;
            valueLen = 0;
            continue;
        }

        switch (state) {
        case ScanState::Indent:
        case ScanState::LineBreak:
            if (c == ' ' || c == '-') {
                ++depth;
                state = ScanState::Indent;
            } else if (c != ':') {
                keyStart = p;
                keyLen = 1;
                state = ScanState::Key;
            }
            break;
        case ScanState::Key:
            ++keyLen;
            if (c == ':')
                state = ScanState::AfterColon;
            break;
        case ScanState::AfterColon:
            if (c != ' ') {
                valueStart = p;
                valueLen = 1;
                state = ScanState::Value;
            }
            break;
        case ScanState::Value:
            ++valueLen;
            break;
        }
    }
    return false;
}

// Copies at most valLen characters of a found value and terminates them.
int irsdk_copySessionValue(const char* value, int len, char* val, int valLen)
{
    if (!val || valLen <= 0)
        return 0;
    if (!value || len < 0)
        len = 0;
    const int n = len < valLen ? len : valLen;
    if (n > 0)
        std::memcpy(val, value, static_cast<size_t>(n));
    val[n] = '\0';
    return valLen >= len ? 1 : -len;
}

int irsdk_lookupSessionValue(const char* text, const char* path, char* val, int valLen)
{
    if (!text || !path || !val || valLen <= 0)
        return 0;
    const char* value = nullptr;
    int len = 0;
    if (!parseYaml(text, path, &value, &len))
        return 0;
    return irsdk_copySessionValue(value, len, val, valLen);
}
