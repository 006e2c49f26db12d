#include "irsdk_client.h"

#include <cstring>
#include <new>

#include "irsdk_utils.h"
#include "irsdk_utils_internal.h"
#include "value_convert.h"
#include "yaml_parser.h"

namespace {

// A copy of descriptor idx from the live table; false when there is none.
bool liveDescriptor(int idx, irsdk_VarDescriptor* out)
{
    const irsdk_VarDescriptor* d = irsdk_getVarHeaderEntry(idx);
    if (!d)
        return false;
    std::memcpy(out, d, sizeof *out);
    return true;
}

} // namespace

irsdkClient& irsdkClient::instance()
{
    static irsdkClient INSTANCE;
    return INSTANCE;
}

// Waits for the next record and copies it into the client's own buffer; a
// new connection or a changed record length allocates the buffer anew.
bool irsdkClient::waitForData(int timeoutMs)
{
    const bool fresh = irsdk_waitForDataReady(timeoutMs, recordBuffer, recordBufferLength);
    if (fresh && irsdk_getHeader()) {
        const int length = irsdk_liveRecordLength();
        if (!recordBuffer || recordBufferLength != length) {
            delete[] recordBuffer;
            recordBuffer = nullptr;
            if (length <= 0)
                return false;
            // Zeroed: until the first record is copied in, every variable
            // reads as 0, not as whatever the heap held.
            recordBuffer = new (std::nothrow) char[length]();
            if (!recordBuffer)
                return false;
            recordBufferLength = length;
            ++statusCounter;
            return irsdk_getNewData(recordBuffer, recordBufferLength);
        }
        return true;
    }
    if (!irsdk_isConnected()) {
        delete[] recordBuffer;
        recordBuffer = nullptr;
    }
    return false;
}

void irsdkClient::shutdown()
{
    irsdk_shutdown();
    delete[] recordBuffer;
    recordBuffer = nullptr;
}

bool irsdkClient::isConnected() const
{
    return recordBuffer != nullptr && irsdk_isConnected();
}

int irsdkClient::getVarIdx(const char* name) const
{
    return isConnected() ? irsdk_varNameToIndex(name) : 0;
}

int irsdkClient::getVarType(int idx) const
{
    irsdk_VarDescriptor d;
    return isConnected() && liveDescriptor(idx, &d) ? d.typeCode : 0;
}

int irsdkClient::getVarCount(int idx) const
{
    irsdk_VarDescriptor d;
    return isConnected() && liveDescriptor(idx, &d) ? d.elementCount : 0;
}

bool irsdkClient::isVarReadable(int idx) const
{
    irsdk_VarDescriptor d;
    return isConnected() && liveDescriptor(idx, &d) && irsdk_convert::readable(d, recordBufferLength);
}

// The bytes of entry `entry` of variable idx in the client's copy, or null;
// *typeCode receives the stored type.
const char* irsdkClient::entryPointer(int idx, int entry, int* typeCode) const
{
    irsdk_VarDescriptor d;
    if (!isConnected() || !liveDescriptor(idx, &d))
        return nullptr;
    const long long offset = irsdk_convert::entryOffset(d, entry, recordBufferLength);
    if (offset < 0)
        return nullptr;
    *typeCode = d.typeCode;
    return recordBuffer + offset;
}

bool irsdkClient::getVarBool(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readBool(p, type) : false;
}

int irsdkClient::getVarInt(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readInt(p, type) : 0;
}

float irsdkClient::getVarFloat(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readFloat(p, type) : 0.0f;
}

double irsdkClient::getVarDouble(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readDouble(p, type) : 0.0;
}

// Looks path up in the live session text; val receives at most valLen
// characters and a NUL.
int irsdkClient::getSessionStrVal(const char* path, char* val, int valLen) const
{
    if (!isConnected())
        return 0;
    return irsdk_lookupSessionValue(irsdk_getSessionInfoStr(), path, val, valLen);
}

irsdkCVar::irsdkCVar(const char* name)
    : cachedIndex(0)
    , cachedStatus(-1)
{
    this->name[0] = '\0';
    if (name) {
        std::strncpy(this->name, name, sizeof this->name);
        this->name[sizeof this->name - 1] = '\0';
    }
}

// Looks the name up again whenever the client has made a new connection.
bool irsdkCVar::checkIdx()
{
    irsdkClient& client = irsdkClient::instance();
    if (!client.isConnected())
        return false;
    if (cachedStatus != client.getStatusID()) {
        cachedStatus = client.getStatusID();
        cachedIndex = client.getVarIdx(name);
    }
    return true;
}

int irsdkCVar::getType()
{
    return checkIdx() ? irsdkClient::instance().getVarType(cachedIndex) : 0;
}

int irsdkCVar::getCount()
{
    return checkIdx() ? irsdkClient::instance().getVarCount(cachedIndex) : 0;
}

bool irsdkCVar::getBool(int entry)
{
    return checkIdx() ? irsdkClient::instance().getVarBool(cachedIndex, entry) : false;
}

int irsdkCVar::getInt(int entry)
{
    return checkIdx() ? irsdkClient::instance().getVarInt(cachedIndex, entry) : 0;
}

float irsdkCVar::getFloat(int entry)
{
    return checkIdx() ? irsdkClient::instance().getVarFloat(cachedIndex, entry) : 0.0f;
}

double irsdkCVar::getDouble(int entry)
{
    return checkIdx() ? irsdkClient::instance().getVarDouble(cachedIndex, entry) : 0.0;
}
