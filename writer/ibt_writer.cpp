#include "ibt_writer.h"

#include <algorithm>
#include <cstring>

IbtWriter::~IbtWriter()
{
    closeStream();
}

int IbtWriter::addVar(const std::string& name, int typeCode, int count)
{
    irsdk_VarDescriptor d{};
    const int size = irsdk_typeSize(typeCode);
    if (size > 0)
        nextOffset = (nextOffset + size - 1) / size * size;
    d.typeCode = typeCode;
    d.dataOffset = nextOffset;
    d.elementCount = count;
    std::memcpy(d.name, name.data(), std::min(name.size(), sizeof d.name));
    nextOffset += size * count;
    return addRawDescriptor(d);
}

int IbtWriter::addRawDescriptor(const irsdk_VarDescriptor& d)
{
    descriptors.push_back(d);
    return static_cast<int>(descriptors.size()) - 1;
}

int IbtWriter::varIndex(const std::string& name) const
{
    return irsdk_findVar(descriptors.data(), static_cast<int>(descriptors.size()), name.c_str());
}

int IbtWriter::recordLength() const
{
    if (forcedRecordLength >= 0)
        return forcedRecordLength;
    return (nextOffset + 3) / 4 * 4;
}

// The session region holds the text and its terminating NUL.
int IbtWriter::sessionTextLength() const
{
    return std::max(static_cast<int>(sessionText.size()) + 1, sessionTextReserve);
}

void IbtWriter::beginRecord()
{
    current.assign(static_cast<size_t>(recordLength()), 0);
}

void IbtWriter::set(int idx, double value, int entry)
{
    if (idx < 0 || idx >= varCount())
        return;
    const irsdk_VarDescriptor& d = descriptors[idx];
    const int size = irsdk_typeSize(d.typeCode);
    const long long off = static_cast<long long>(d.dataOffset) + static_cast<long long>(entry) * size;
    if (size == 0 || entry < 0 || off < 0 || off + size > static_cast<long long>(current.size()))
        return;
    char* p = current.data() + off;
    switch (d.typeCode) {
    case irsdk_char:
    case irsdk_bool: { int8_t b = static_cast<int8_t>(static_cast<int>(value)); std::memcpy(p, &b, 1); break; }
    case irsdk_int:
    case irsdk_bitField: { int32_t i = static_cast<int32_t>(value); std::memcpy(p, &i, 4); break; }
    case irsdk_float: { float f = static_cast<float>(value); std::memcpy(p, &f, 4); break; }
    case irsdk_double: std::memcpy(p, &value, 8); break;
    }
}

void IbtWriter::setInt(int idx, int value, int entry)
{
    set(idx, static_cast<double>(value), entry);
}

void IbtWriter::endRecord()
{
    current.resize(static_cast<size_t>(recordLength()), 0);
    if (stream) {
        if (std::fwrite(current.data(), 1, current.size(), stream) != current.size())
            streamFailed = true;
    } else
        stored.insert(stored.end(), current.begin(), current.end());
    ++records;
}

std::vector<char> IbtWriter::headerBytes() const
{
    irsdk_TelemetryHeader h{};
    h.reserved0 = IRSDK_VER;
    h.statusFlags = irsdk_statusConnected;
    h.reserved1 = 60; // tick rate
    h.sessionTextLength = sessionTextLength();
    h.sessionTextOffset = sessionTextOffset();
    h.varCount = varCount();
    h.varTableOffset = varTableOffset();
    h.bufferCount = 1;
    h.recordLength = recordLength();
    h.bufferSlots[0].recordOffset = firstRecordOffset();

    std::vector<char> out(static_cast<size_t>(firstRecordOffset()), 0);
    std::memcpy(out.data(), &h, sizeof h);
    std::memcpy(out.data() + sessionTextOffset(), sessionText.c_str(), sessionText.size() + 1);
    if (!descriptors.empty())
        std::memcpy(out.data() + varTableOffset(), descriptors.data(), descriptors.size() * sizeof(irsdk_VarDescriptor));
    return out;
}

std::vector<char> IbtWriter::bytes() const
{
    std::vector<char> out = headerBytes();
    out.insert(out.end(), stored.begin(), stored.end());
    return out;
}

bool IbtWriter::writeFile(const std::string& path) const
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const std::vector<char> image = bytes();
    const bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    return std::fclose(f) == 0 && ok;
}

bool IbtWriter::openStream(const std::string& path)
{
    closeStream();
    stream = std::fopen(path.c_str(), "wb");
    streamFailed = false;
    if (!stream)
        return false;
    const std::vector<char> head = headerBytes();
    streamRecordOffset = firstRecordOffset();
    streamFailed = std::fwrite(head.data(), 1, head.size(), stream) != head.size();
    return !streamFailed;
}

// The records stay where they are, so the regions before them must keep
// their size; a header that cannot be written fails the stream, since the
// file would not hold what the caller set.
bool IbtWriter::rewriteHeader()
{
    if (!stream)
        return false;
    if (streamFailed || firstRecordOffset() != streamRecordOffset) {
        streamFailed = true;
        return false;
    }
    const std::vector<char> head = headerBytes();
    const bool ok = std::fseek(stream, 0, SEEK_SET) == 0
        && std::fwrite(head.data(), 1, head.size(), stream) == head.size()
        && std::fseek(stream, 0, SEEK_END) == 0;
    if (!ok)
        streamFailed = true;
    return ok;
}

bool IbtWriter::closeStream()
{
    if (!stream)
        return true;
    const bool ok = std::fclose(stream) == 0 && !streamFailed;
    stream = nullptr;
    return ok;
}
