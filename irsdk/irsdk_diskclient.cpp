#include "irsdk_diskclient.h"

#include <cerrno>
#include <cstring>
#include <new>

#if defined(_WIN32)
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "file_offset.h"
#include "value_convert.h"
#include "yaml_parser.h"

namespace {

// Opens a regular file for reading as bytes; null for anything else. Opening
// does not block: a FIFO or a device is refused before any read could wait
// for a writer that never comes.
FILE* openRegularFile(const char* path)
{
#if defined(_WIN32)
    FILE* f = std::fopen(path, "rb");
    struct _stat64 st;
    if (f && (_fstat64(_fileno(f), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
#else
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, "rb");
    if (!f)
        close(fd);
    return f;
#endif
}

bool readAt(FILE* f, long long offset, void* dst, size_t n)
{
    if (!irsdk_seek(f, offset))
        return false;
    return n == 0 || std::fread(dst, 1, n, f) == n;
}

// Header and sub-header; every region of a recording lies after them.
const long long kHeadersSize = sizeof(irsdk_TelemetryHeader) + sizeof(irsdk_FileSubHeader);

// Whether a header that fits its file describes a recording: at least one
// variable, records of at least one byte, and text, table and records placed
// after the two headers, as every writer of recordings places them. A file of
// zeros, or a device that reads as zeros, has none of this.
bool looksLikeRecording(const irsdk_TelemetryHeader& h)
{
    return h.varCount >= 1 && h.recordLength >= 1 && h.sessionTextOffset >= kHeadersSize
        && h.varTableOffset >= kHeadersSize && h.bufferSlots[0].recordOffset >= kHeadersSize;
}

// Where the session text in the region of `length` bytes at `offset` ends:
// at its first NUL, or at the region's last byte. Read in small chunks, so
// that a region that claims far more than its text (a sparse file reads as
// zeros) costs no memory; only the text itself is then kept.
bool sessionTextLength(FILE* f, long long offset, long long length, long long* textLength)
{
    *textLength = 0;
    if (length <= 0)
        return true;
    if (!irsdk_seek(f, offset))
        return false;
    char chunk[16384];
    for (long long done = 0; done < length;) {
        const long long left = length - done;
        const size_t want = left < static_cast<long long>(sizeof chunk) ? static_cast<size_t>(left) : sizeof chunk;
        if (std::fread(chunk, 1, want, f) != want)
            return false;
        if (const void* nul = std::memchr(chunk, '\0', want)) {
            *textLength = done + (static_cast<const char*>(nul) - chunk);
            return true;
        }
        done += static_cast<long long>(want);
    }
    *textLength = length - 1;
    return true;
}

// Whether every descriptor of the table names a variable, as every writer of
// recordings names them. Read in small chunks before the table is allocated:
// a count that claims more descriptors than the file holds (a region of
// zeros) is refused at the first empty one, at no cost.
bool everyVariableNamed(FILE* f, long long offset, int count)
{
    if (!irsdk_seek(f, offset))
        return false;
    irsdk_VarDescriptor chunk[64];
    for (int done = 0; done < count;) {
        const size_t want = static_cast<size_t>(count - done < 64 ? count - done : 64);
        if (std::fread(chunk, sizeof chunk[0], want, f) != want)
            return false;
        for (size_t i = 0; i < want; ++i)
            if (chunk[i].name[0] == '\0')
                return false;
        done += static_cast<int>(want);
    }
    return true;
}

} // namespace

irsdkDiskClient::irsdkDiskClient()
    : file(nullptr), sessionText(nullptr), varDescriptors(nullptr), recordBuffer(nullptr), heldLength(0)
    , nextRecord(0), knownSize(0)
{
    std::memset(&fileHeader, 0, sizeof fileHeader);
    std::memset(&fileSubHeader, 0, sizeof fileSubHeader);
}

irsdkDiskClient::~irsdkDiskClient()
{
    closeFile();
}

// Opens a recording and loads its header, session text and variable table.
// Every region the header names is checked against the file's real size
// before anything is allocated, so a corrupt header fails the open instead
// of causing a huge allocation or a read outside the loaded data.
bool irsdkDiskClient::openFile(const char* path)
{
    closeFile();
    openError = OpenError::NoSuchFile;
    if (!path)
        return false;
    errno = 0;
    file = openRegularFile(path);
    if (!file) {
        // Anything there that cannot be opened as a regular file is no recording either.
        if (errno != ENOENT)
            openError = OpenError::NotARecording;
        return false;
    }
    openError = OpenError::NotARecording;

    auto fail = [this]() {
        closeFile();
        return false;
    };

    if (std::fread(&fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader
        || std::fread(&fileSubHeader, 1, sizeof fileSubHeader, file) != sizeof fileSubHeader)
        return fail();

    const long long fileSize = irsdk_streamSize(file);
    if (fileSize < 0)
        return fail();

    const irsdk_TelemetryHeader& h = fileHeader;
    const long long descBytes = static_cast<long long>(h.varCount) * static_cast<long long>(sizeof(irsdk_VarDescriptor));
    const long long recordOffset = h.bufferSlots[0].recordOffset;
    // A record can never be longer than the file that holds it; with no
    // records the record length is still bounded so that the buffer is.
    if (!irsdk_regionFits(h.sessionTextOffset, h.sessionTextLength, fileSize)
        || h.varCount < 0 || !irsdk_regionFits(h.varTableOffset, descBytes, fileSize)
        || !irsdk_regionFits(recordOffset, 0, fileSize)
        || h.recordLength < 0 || h.recordLength > fileSize || !looksLikeRecording(h))
        return fail();

    // Only the text up to its terminator is kept, and the table is allocated
    // only once every descriptor in the file is seen to name a variable: what
    // is allocated is what the file really holds, whatever the header claims.
    long long textLength = 0;
    if (!sessionTextLength(file, h.sessionTextOffset, h.sessionTextLength, &textLength)
        || !everyVariableNamed(file, h.varTableOffset, h.varCount))
        return fail();
    sessionText = new (std::nothrow) char[static_cast<size_t>(textLength) + 1];
    if (!sessionText)
        return fail();
    if (!readAt(file, h.sessionTextOffset, sessionText, static_cast<size_t>(textLength)))
        return fail();
    sessionText[textLength] = '\0';

    varDescriptors = new (std::nothrow) irsdk_VarDescriptor[static_cast<size_t>(h.varCount)];
    if (!varDescriptors)
        return fail();
    if (!readAt(file, h.varTableOffset, varDescriptors, static_cast<size_t>(descBytes)))
        return fail();

    // Only the part of a record that holds readable variables is kept, and
    // the buffer for it is allocated by the first getNextData, so that a
    // header claiming huge records costs nothing until records are read and
    // then no more than its variables need.
    long long held = 0;
    for (int i = 0; i < h.varCount; ++i) {
        const long long end = irsdk_convert::extentEnd(varDescriptors[i], h.recordLength);
        held = end > held ? end : held;
    }
    heldLength = static_cast<int>(held);
    nextRecord = recordOffset;
    knownSize = fileSize;

    if (!irsdk_seek(file, recordOffset))
        return fail();
    openError = OpenError::None;
    return true;
}

// Releases the arrays and the stream; the header copies stay as they are.
void irsdkDiskClient::closeFile()
{
    delete[] recordBuffer;
    recordBuffer = nullptr;
    heldLength = 0;
    delete[] varDescriptors;
    varDescriptors = nullptr;
    delete[] sessionText;
    sessionText = nullptr;
    if (file)
        std::fclose(file);
    file = nullptr;
}

// Reads the next whole record; false at the end of the file or when closed.
// A zero record length has nothing to step through and reads as the end.
// When the record holds bytes past its last readable variable, only the
// kept part is read and the rest is stepped over, once the file is seen to
// hold the whole record (measured again when it may have grown).
bool irsdkDiskClient::getNextData()
{
    if (!file || fileHeader.recordLength <= 0)
        return false;
    if (!recordBuffer) {
        // Zero-filled so that reads before the first whole record are defined.
        recordBuffer = new (std::nothrow) char[static_cast<size_t>(heldLength > 0 ? heldLength : 1)]();
        if (!recordBuffer)
            return false;
    }
    const long long length = fileHeader.recordLength;
    if (heldLength == length) {
        if (std::fread(recordBuffer, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length))
            return false;
        nextRecord += length;
        return true;
    }
    if (nextRecord + length > knownSize) {
        const long long size = irsdk_streamSize(file);
        if (size >= 0)
            knownSize = size;
        if (!irsdk_seek(file, nextRecord) || nextRecord + length > knownSize)
            return false;
    }
    if (heldLength > 0 && std::fread(recordBuffer, 1, static_cast<size_t>(heldLength), file) != static_cast<size_t>(heldLength))
        return false;
    nextRecord += length;
    return irsdk_seek(file, nextRecord);
}

int irsdkDiskClient::getVarIdx(const char* name) const
{
    if (!file)
        return -1;
    return irsdk_findVar(varDescriptors, fileHeader.varCount, name);
}

const irsdk_VarDescriptor* irsdkDiskClient::getVarDescriptor(int idx) const
{
    if (!file || idx < 0 || idx >= fileHeader.varCount)
        return nullptr;
    return &varDescriptors[idx];
}

bool irsdkDiskClient::isVarReadable(int idx) const
{
    const irsdk_VarDescriptor* d = getVarDescriptor(idx);
    return d && irsdk_convert::readable(*d, fileHeader.recordLength);
}

int irsdkDiskClient::getVarType(int idx) const
{
    const irsdk_VarDescriptor* d = getVarDescriptor(idx);
    return d ? d->typeCode : 0;
}

int irsdkDiskClient::getVarCount(int idx) const
{
    const irsdk_VarDescriptor* d = getVarDescriptor(idx);
    return d ? d->elementCount : 0;
}

// Where entry `entry` of variable `idx` lies in the current record, or null
// when the reader is closed, the index or entry is bad, or the variable's
// entries do not lie wholly inside the record.
const char* irsdkDiskClient::entryPointer(int idx, int entry, int* typeCode) const
{
    const irsdk_VarDescriptor* d = getVarDescriptor(idx);
    if (!d)
        return nullptr;
    const long long off = irsdk_convert::entryOffset(*d, entry, heldLength);
    if (off < 0 || !recordBuffer)
        return nullptr;
    *typeCode = d->typeCode;
    return recordBuffer + off;
}

bool irsdkDiskClient::getVarBool(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readBool(p, type) : false;
}

int irsdkDiskClient::getVarInt(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readInt(p, type) : 0;
}

float irsdkDiskClient::getVarFloat(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readFloat(p, type) : 0.0f;
}

double irsdkDiskClient::getVarDouble(int idx, int entry) const
{
    int type = 0;
    const char* p = entryPointer(idx, entry, &type);
    return p ? irsdk_convert::readDouble(p, type) : 0.0;
}

// Looks a session-info path up and copies at most valLen characters of the
// value, NUL-terminated: 1 when it fit, minus the needed length when cut, 0
// when closed or not found.
int irsdkDiskClient::getSessionStrVal(const char* path, char* val, int valLen) const
{
    if (!file)
        return 0;
    return irsdk_lookupSessionValue(sessionText, path, val, valLen);
}
