#include "ibt_args.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "irsdk_diskclient.h"

bool ibtWantsHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return true;
    return false;
}

int ibtHelp(const char* text)
{
    std::fputs(text, stdout);
    return 0;
}

int ibtError(const char* command, const std::string& message)
{
    if (command)
        std::fprintf(stderr, "ibt: %s: %s\n", command, message.c_str());
    else
        std::fprintf(stderr, "ibt: %s\n", message.c_str());
    return 2;
}

// strtoll alone would take a sign, leading blanks and clamp on overflow, so
// the first character must be a digit and errno must stay clear.
bool ibtParseWhole(const char* text, long long lo, long long hi, long long& out)
{
    if (!text || *text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// Leading blanks and a sign are refused like in ibtParseWhole; strtod's NaN
// and infinities fail the range check.
bool ibtParsePositive(const char* text, double hi, double& out)
{
    if (!text || !((*text >= '0' && *text <= '9') || *text == '.'))
        return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(v) || !(v > 0.0) || v > hi)
        return false;
    out = v;
    return true;
}

bool ibtOpenRecording(irsdkDiskClient& reader, const std::string& path, const char* command)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        ibtError(command, "cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    if ((st.st_mode & S_IFMT) == S_IFDIR) {
        ibtError(command, "cannot read " + path + ": " + std::strerror(EISDIR));
        return false;
    }
    if ((st.st_mode & S_IFMT) != S_IFREG) {
        ibtError(command, path + " is not a regular file");
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ibtError(command, "cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    char probe;
    errno = 0;
    const size_t got = std::fread(&probe, 1, 1, f);
    const int readError = std::ferror(f) ? errno : 0;
    std::fclose(f);
    if (got == 0 && readError != 0) {
        ibtError(command, "cannot read " + path + ": " + std::strerror(readError));
        return false;
    }
    if (!reader.openFile(path.c_str())) {
        ibtError(command, path + " is not a telemetry recording (its header does not describe one that fits the file)");
        return false;
    }
    return true;
}
