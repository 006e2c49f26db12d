#include "IRData.h"

#include <string>

#include "irsdk_client.h"
#include "irsdk_diskclient.h"
#include "irsdk_utils.h"
#include "irsdk_utils_internal.h"
#include "value_convert.h"
#include "yaml_parser.h"

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#else
#include <sys/resource.h>
#endif

namespace {

// The simulator's shared memory through the live client.
class LiveSource final : public TelemetrySource {
public:
    bool next(int timeoutMs) override { return client.waitForData(timeoutMs); }
    bool isConnected() override { return client.isConnected(); }
    const char* whyNoTelemetry() override { return client.isConnected() ? nullptr : "Waiting for the simulator"; }
    bool isLive() const override { return true; }

    TelemetryView view() override
    {
        TelemetryView v;
        if (!client.isConnected())
            return v;
        v.vars = irsdk_getVarTable(&v.varCount);
        v.record = client.getRecord();
        v.recordLength = client.getRecordLength();
        v.layoutGeneration = static_cast<unsigned>(client.getStatusID());
        return v;
    }

    const char* sessionText() override { return client.isConnected() ? irsdk_getSessionInfoStr() : nullptr; }
    int sessionTextUpdate() const override { return irsdk_getSessionTextUpdate(); }

private:
    irsdkClient& client = irsdkClient::instance();
};

// A recorded file, opened lazily and retried on every step while it cannot be.
class FileSource final : public TelemetrySource {
public:
    explicit FileSource(const char* filePath)
        : filePath(filePath)
    {
        // The file is named as the user put it into the folder, without the path.
        std::string name = filePath ? filePath : "";
        const size_t slash = name.find_last_of("/\\");
        if (slash != std::string::npos)
            name.erase(0, slash + 1);
        noFileText = "No " + name + " in this folder";
        notARecordingText = name + " is not a recording";
    }

    bool next(int) override
    {
        if (!reader.isFileOpen() && reader.openFile(filePath))
            ++opens;
        return reader.isFileOpen() && reader.getNextData();
    }

    bool isConnected() override { return reader.isFileOpen(); }

    const char* whyNoTelemetry() override
    {
        switch (reader.lastOpenError()) {
        case irsdkDiskClient::OpenError::NoSuchFile: return noFileText.c_str();
        case irsdkDiskClient::OpenError::NotARecording: return notARecordingText.c_str();
        default: return nullptr;
        }
    }

    bool isLive() const override { return false; }
    void endSession() override { reader.closeFile(); }

    TelemetryView view() override
    {
        TelemetryView v;
        if (!reader.isFileOpen())
            return v;
        v.vars = reader.getVarDescriptor(0);
        v.varCount = v.vars ? reader.getHeader().varCount : 0;
        // Only the part of each record that holds readable variables is kept.
        v.record = reader.getRecord();
        v.recordLength = v.record ? reader.getRecordBytes() : 0;
        v.layoutGeneration = opens;
        return v;
    }

    const char* sessionText() override { return reader.isFileOpen() ? reader.getSessionText() : nullptr; }

private:
    const char* filePath;
    irsdkDiskClient reader;
    unsigned opens = 0;
    std::string noFileText;
    std::string notARecordingText;
};

} // namespace

IRData::IRData()
    : IRData(16)
{
}

IRData::IRData(int timeoutMs)
    : IRData(std::make_unique<LiveSource>(), timeoutMs)
{
}

IRData::IRData(const char* filePath)
    : IRData(std::make_unique<FileSource>(filePath))
{
}

IRData::IRData(std::unique_ptr<TelemetrySource> source, int timeoutMs)
    : timeoutMs(timeoutMs)
    , src(std::move(source))
{
    setupTiming();
}

// Real-time set-up: a higher process priority and a 1 ms timer resolution so
// that the live wait and the main loop's sleep wake up on time. Refusals are
// ignored; an unprivileged Linux process usually cannot raise its priority.
void IRData::setupTiming()
{
#ifdef _WIN32
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    timeBeginPeriod(1);
#else
    (void)setpriority(PRIO_PROCESS, 0, -10);
#endif
}

bool IRData::updateData()
{
    const bool fresh = src->next(timeoutMs);
    if (fresh)
        ++samples;
    return fresh;
}

const char* IRData::entryPointer(const char* name, int entry, int* typeCode)
{
    const TelemetryView v = src->view();
    const int i = irsdk_findVar(v.vars, v.varCount, name);
    if (i < 0 || !v.record)
        return nullptr;
    const long long offset = irsdk_convert::entryOffset(v.vars[i], entry, v.recordLength);
    if (offset < 0)
        return nullptr;
    *typeCode = v.vars[i].typeCode;
    return v.record + offset;
}

float IRData::getVarFloat(const char* name, int entry)
{
    int type = 0;
    const char* p = entryPointer(name, entry, &type);
    return p ? irsdk_convert::readFloat(p, type) : 0.0f;
}

double IRData::getVarDouble(const char* name, int entry)
{
    int type = 0;
    const char* p = entryPointer(name, entry, &type);
    return p ? irsdk_convert::readDouble(p, type) : 0.0;
}

int IRData::getVarInt(const char* name, int entry)
{
    int type = 0;
    const char* p = entryPointer(name, entry, &type);
    return p ? irsdk_convert::readInt(p, type) : 0;
}

bool IRData::isConnected()
{
    return src->isConnected();
}

bool IRData::hasVar(const char* name)
{
    const TelemetryView v = src->view();
    return irsdk_findVar(v.vars, v.varCount, name) >= 0;
}

const char* IRData::whyNoTelemetry()
{
    return src->whyNoTelemetry();
}

int IRData::sessionInfoUpdate() const
{
    return src->sessionTextUpdate();
}

bool IRData::isCarOnTrack()
{
    return getVarInt(isOnTrackName, 0) != 0;
}

void IRData::endSession()
{
    src->endSession();
}

// Looks path up in the source's session text; val receives at most valLen
// characters and a NUL. 1 when it fit, minus the needed length when cut, 0
// when there is no text or no such value.
int IRData::getSessionVar(const char* path, char* val, int valLen)
{
    return irsdk_lookupSessionValue(src->sessionText(), path, val, valLen);
}
