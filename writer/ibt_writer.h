// Writes recordings in the telemetry layout: header, sub-header, session text,
// variable descriptors and records. Used by the tests, the demo synthesizer
// and the live publisher.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "telemetry_layout.h"

class IbtWriter {
public:
    IbtWriter() = default;
    ~IbtWriter();
    IbtWriter(const IbtWriter&) = delete;
    IbtWriter& operator=(const IbtWriter&) = delete;

    // Adds a variable after the previous ones in the record, each entry aligned
    // to its own size; returns its index. Add all variables before any record.
    int addVar(const std::string& name, int typeCode, int count = 1);
    // Adds a descriptor as given, for tests that need odd or hostile tables.
    int addRawDescriptor(const irsdk_VarDescriptor& d);
    void setSessionText(const std::string& text) { sessionText = text; }
    // Keeps at least `length` bytes for the session text (NUL-padded), so that
    // a text set after the records have been streamed still fits.
    void reserveSessionText(int length) { sessionTextReserve = length; }
    // Fixes the record length instead of deriving it from the variables.
    void setRecordLength(int length) { forcedRecordLength = length; }

    int varCount() const { return static_cast<int>(descriptors.size()); }
    int varIndex(const std::string& name) const;
    const irsdk_VarDescriptor& descriptor(int idx) const { return descriptors[idx]; }
    int recordLength() const;

    // The record being built; zero-filled by beginRecord.
    void beginRecord();
    // Stores value converted to the variable's type code (bytes and ints are
    // truncated, floats rounded) at entry `entry`.
    void set(int idx, double value, int entry = 0);
    void set(const std::string& name, double value, int entry = 0) { set(varIndex(name), value, entry); }
    void setInt(int idx, int value, int entry = 0);
    std::vector<char>& record() { return current; }
    // Appends the current record to the file (streaming) or to memory.
    void endRecord();

    // Everything before the first record, with the header's offsets filled in.
    std::vector<char> headerBytes() const;
    // The whole file image: headerBytes followed by every record kept in memory.
    std::vector<char> bytes() const;
    bool writeFile(const std::string& path) const;

    // Streaming: writes the header now and every later endRecord straight to
    // the file. closeStream reports whether every write and the close succeeded.
    bool openStream(const std::string& path);
    // Writes everything before the first record again, e.g. with the session
    // text set since openStream; false (and a failed stream) when it no
    // longer fits the room the records left for it or the write fails.
    bool rewriteHeader();
    bool closeStream();

    // Byte offsets of the regions, as headerBytes lays them out.
    int sessionTextOffset() const { return static_cast<int>(sizeof(irsdk_TelemetryHeader) + sizeof(irsdk_FileSubHeader)); }
    int sessionTextLength() const;
    int varTableOffset() const { return sessionTextOffset() + sessionTextLength(); }
    int firstRecordOffset() const { return varTableOffset() + varCount() * static_cast<int>(sizeof(irsdk_VarDescriptor)); }

    int recordCount() const { return records; }

private:
    std::string sessionText;
    int sessionTextReserve = 0;
    std::vector<irsdk_VarDescriptor> descriptors;
    int nextOffset = 0;
    int forcedRecordLength = -1;
    std::vector<char> current;
    std::vector<char> stored;
    int records = 0;
    FILE* stream = nullptr;
    int streamRecordOffset = 0;
    bool streamFailed = false;
};
