// The live telemetry client: a process-wide singleton that waits for the
// simulator's next record, keeps a stable copy of it and reads variables from it.
#pragma once

class irsdkClient {
public:
    static irsdkClient& instance();

    bool waitForData(int timeoutMs = 16);
    void shutdown();
    bool isConnected() const;

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
    // the current record; the getters read 0 for any other.
    bool isVarReadable(int idx) const;
    int getStatusID() const { return statusCounter; }
    // The client's copy of the current record and its length; null while
    // not connected.
    const char* getRecord() const { return isConnected() ? recordBuffer : nullptr; }
    int getRecordLength() const { return isConnected() ? recordBufferLength : 0; }

private:
    irsdkClient() = default;
    ~irsdkClient() { shutdown(); }
    irsdkClient(const irsdkClient&) = delete;
    irsdkClient& operator=(const irsdkClient&) = delete;

    const char* entryPointer(int idx, int entry, int* typeCode) const;

    char* recordBuffer = nullptr;
    int recordBufferLength = 0;
    int statusCounter = 0;
};

// A handle for one variable name that caches its index and looks it up again
// whenever the client reports a new connection.
class irsdkCVar {
public:
    explicit irsdkCVar(const char* name);

    bool checkIdx();
    int getType();
    int getCount();
    bool getBool(int entry = 0);
    int getInt(int entry = 0);
    float getFloat(int entry = 0);
    double getDouble(int entry = 0);

private:
    char name[32];
    int cachedIndex;
    int cachedStatus;
};
