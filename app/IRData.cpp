#include "IRData.h"

#include "irsdk_client.h"

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#else
#include <sys/resource.h>
#endif

IRData::IRData()
    : IRData(16)
{
}

IRData::IRData(int timeoutMs)
    : sourceMode(SOURCE_LIVE)
    , timeoutMs(timeoutMs)
    , client(&irsdkClient::instance())
{
    setupTiming();
}

IRData::IRData(const char* filePath)
    : sourceMode(SOURCE_FILE)
    , timeoutMs(16)
    , filePath(filePath)
    , client(&irsdkClient::instance())
{
    // The file is named as the user put it into the folder, without the path.
    std::string name = filePath ? filePath : "";
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    noFileText = "No " + name + " in this folder";
    notARecordingText = name + " is not a recording";
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
    bool fresh = false;
    if (sourceMode == SOURCE_LIVE) {
        fresh = client->waitForData(timeoutMs);
    } else {
        if (!diskClient.isFileOpen())
            diskClient.openFile(filePath);
        fresh = diskClient.isFileOpen() && diskClient.getNextData();
    }
    if (fresh)
        ++samples;
    return fresh;
}

float IRData::getVarFloat(const char* name, int entry)
{
    return sourceMode == SOURCE_LIVE ? client->getVarFloat(name, entry) : diskClient.getVarFloat(name, entry);
}

double IRData::getVarDouble(const char* name, int entry)
{
    return sourceMode == SOURCE_LIVE ? client->getVarDouble(name, entry) : diskClient.getVarDouble(name, entry);
}

int IRData::getVarInt(const char* name, int entry)
{
    return sourceMode == SOURCE_LIVE ? client->getVarInt(name, entry) : diskClient.getVarInt(name, entry);
}

bool IRData::isConnected()
{
    return sourceMode == SOURCE_LIVE ? client->isConnected() : diskClient.isFileOpen();
}

bool IRData::hasVar(const char* name)
{
    return sourceMode == SOURCE_LIVE ? client->isConnected() && client->getVarIdx(name) >= 0
                                     : diskClient.getVarIdx(name) >= 0;
}

const char* IRData::whyNoTelemetry()
{
    if (sourceMode == SOURCE_LIVE)
        return client->isConnected() ? nullptr : "Waiting for the simulator";
    switch (diskClient.lastOpenError()) {
    case irsdkDiskClient::OpenError::NoSuchFile: return noFileText.c_str();
    case irsdkDiskClient::OpenError::NotARecording: return notARecordingText.c_str();
    default: return nullptr;
    }
}

bool IRData::isCarOnTrack()
{
    return getVarInt(isOnTrackName, 0) != 0;
}

void IRData::endSession()
{
    if (sourceMode == SOURCE_FILE)
        diskClient.closeFile();
}

int IRData::getSessionVar(const char* path, char* val, int valLen)
{
    return sourceMode == SOURCE_LIVE ? client->getSessionStrVal(path, val, valLen)
                                     : diskClient.getSessionStrVal(path, val, valLen);
}
