// The telemetry source: one object that hides whether samples come live from
// the simulator or from a recorded file.
#pragma once

#include <string>

#include "irsdk_diskclient.h"

class irsdkClient;

class IRData {
public:
    static const int SOURCE_LIVE = 0;
    static const int SOURCE_FILE = 1;

    IRData();
    explicit IRData(int timeoutMs);
    explicit IRData(const char* filePath);
    IRData(const IRData&) = delete;
    IRData& operator=(const IRData&) = delete;

    void setupTiming();
    // Advances the source by one sample; true when a new sample became
    // current (a new live record, or the next record of the file).
    bool updateData();
    // How many samples became current so far: what several readers of one
    // sample compare to do their work for it once.
    unsigned long long sampleNumber() const { return samples; }

    float getVarFloat(const char* name, int entry);
    double getVarDouble(const char* name, int entry);
    int getVarInt(const char* name, int entry);

    int getTimeout() const { return timeoutMs; }
    bool isLive() const { return sourceMode == SOURCE_LIVE; }
    bool isConnected();
    // Whether the telemetry has a variable of this name (false while not connected).
    bool hasVar(const char* name);
    // Why the source has no telemetry to give, in a few words for the
    // overlay's window: no simulator yet, no recording in the folder, or a
    // file that is not a recording. Null while it has telemetry, and before
    // a replay's first try to open its file.
    const char* whyNoTelemetry();
    bool isCarOnTrack();
    void endSession();
    int getSessionVar(const char* path, char* val, int valLen);

private:
    const char* isOnTrackName = "IsOnTrack";
    int sourceMode;
    int timeoutMs;
    const char* filePath = nullptr;
    unsigned long long samples = 0;
    irsdkClient* client;
    irsdkDiskClient diskClient;
    std::string noFileText;
    std::string notARecordingText;
};
