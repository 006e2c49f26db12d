// Replays a recorded telemetry file (.ibt) one record per call.
#pragma once

#include <cstdio>

#include "telemetry_layout.h"

class irsdkDiskClient {
public:
    irsdkDiskClient();
    ~irsdkDiskClient();
    irsdkDiskClient(const irsdkDiskClient&) = delete;
    irsdkDiskClient& operator=(const irsdkDiskClient&) = delete;

    // Why the last openFile failed, kept until the next one.
    enum class OpenError { None, NoSuchFile, NotARecording };

    bool openFile(const char* path);
    OpenError lastOpenError() const { return openError; }
    void closeFile();
    bool getNextData();
    bool isFileOpen() const { return file != nullptr; }

    int getVarIdx(const char* name) const;
    int getVarType(int idx) const;
    int getVarCount(int idx) const;

    bool getVarBool(int idx, int entry = 0) const;
    int getVarInt(int idx, int entry = 0) const;
    float getVarFloat(int idx, int entry = 0) const;
    double getVarDouble(int idx, int entry = 0) const;

    int getVarInt(const char* name, int entry = 0) const { return getVarInt(getVarIdx(name), entry); }
    float getVarFloat(const char* name, int entry = 0) const { return getVarFloat(getVarIdx(name), entry); }
    double getVarDouble(const char* name, int entry = 0) const { return getVarDouble(getVarIdx(name), entry); }

    int getSessionStrVal(const char* path, char* val, int valLen) const;
    // Whether the variable's type is known and all its entries lie inside
    // the record; the getters read 0 for any other.
    bool isVarReadable(int idx) const;

    // Raw views for the tools that republish or dump a recording; null while closed.
    const irsdk_TelemetryHeader& getHeader() const { return fileHeader; }
    const char* getSessionText() const { return sessionText; }
    const irsdk_VarDescriptor* getVarDescriptor(int idx) const;
    // The current record's first getRecordBytes() bytes: the record up to
    // the end of its last readable variable, which is all the reader keeps.
    const char* getRecord() const { return recordBuffer; }
    int getRecordBytes() const { return heldLength; }
    // Size of the file in bytes as last measured (at the open, or when a
    // record reached past that size).
    long long getFileSize() const { return knownSize; }

private:
    const char* entryPointer(int idx, int entry, int* typeCode) const;

    FILE* file;
    irsdk_TelemetryHeader fileHeader;
    irsdk_FileSubHeader fileSubHeader;
    char* sessionText;
    irsdk_VarDescriptor* varDescriptors;
    char* recordBuffer;     // allocated by the first getNextData
    int heldLength;         // bytes of each record kept: up to the last readable variable
    long long nextRecord;   // file offset of the next record
    long long knownSize;    // file size last measured
    OpenError openError = OpenError::None;
};
