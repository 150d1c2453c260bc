// dunra.dll: the product database file.
//
// File format, version 1. All numbers are little-endian.
//
//   Header (32 bytes in version 1; readers skip header bytes they do not know)
//     offset  size  field
//        0     4    magic "KVDB"
//        4     2    format version (1)
//        6     2    header size in bytes (at least 32)
//        8     4    record count
//       12     4    flags (0)
//       16    12    reserved (0)
//       28     4    CRC-32 (IEEE, as zip) of header bytes 0..27
//
//   Records, back to back from the end of the header, record count of them
//        0     4    payload length in bytes (at most 16 MiB)
//        4     2    type tag (0 is reserved; each plugin picks its own)
//        6     2    record flags (bit 0: deleted)
//        8     n    payload
//      8+n     4    CRC-32 of record bytes 4 .. 8+n (tag, flags, payload)
//
// A writer appends a record first and then rewrites the header with the new
// count, so bytes after the last counted record are an append that did not
// finish; they are ignored here and may be cut by the next writer.
//
// Opening refuses (false) a file whose header or counted records do not check
// out, and a file of a newer format version: such a file is left untouched,
// never rewritten. An existing empty file holds nothing that could be lost and
// is given a fresh header, as is a missing file.
#include "dunra.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <mutex>

namespace {

constexpr char kMagic[4] = {'K', 'V', 'D', 'B'};
constexpr uint16_t kFormatVersion = 1;
constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kHeaderCrcOffset = 28;
constexpr uint32_t kRecordHeadSize = 8;
constexpr uint32_t kRecordCrcSize = 4;
constexpr uint32_t kMaxPayload = 16u * 1024 * 1024;

class Crc32 {
public:
    void Add(const unsigned char* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            value_ = Table().entries[(value_ ^ data[i]) & 0xFF] ^ (value_ >> 8);
    }
    uint32_t Value() const { return value_ ^ 0xFFFFFFFFu; }

private:
    struct CrcTable {
        uint32_t entries[256];
    };
    static constexpr CrcTable MakeTable()
    {
        CrcTable table{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table.entries[n] = c;
        }
        return table;
    }
    static const CrcTable& Table()
    {
        static constexpr CrcTable table = MakeTable();
        return table;
    }
    uint32_t value_ = 0xFFFFFFFFu;
};

uint16_t ReadU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t ReadU32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
void WriteU16(unsigned char* p, uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void WriteU32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// A file handle closed when it goes out of scope unless released.
class File {
public:
    File() = default;
    explicit File(HANDLE h) : handle_(h) {}
    ~File() { Reset(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File& operator=(File&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    void Reset()
    {
        if (Valid())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

bool WriteAt(HANDLE file, uint64_t offset, const void* buffer, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    DWORD written = 0;
    return WriteFile(file, buffer, size, &written, nullptr) && written == size;
}

bool WriteEmptyDatabase(HANDLE file)
{
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof(kMagic));
    WriteU16(header + 4, kFormatVersion);
    WriteU16(header + 6, static_cast<uint16_t>(kHeaderSize));
    WriteU32(header + 8, 0);  // no records yet
    Crc32 crc;
    crc.Add(header, kHeaderCrcOffset);
    WriteU32(header + kHeaderCrcOffset, crc.Value());
    return WriteAt(file, 0, header, kHeaderSize) && SetEndOfFile(file) && FlushFileBuffers(file);
}

// Checks the record at offset and returns the offset after it, or 0.
uint64_t CheckRecord(HANDLE file, uint64_t offset, uint64_t fileSize)
{
    unsigned char head[kRecordHeadSize];
    if (offset + kRecordHeadSize > fileSize || !ReadAt(file, offset, head, kRecordHeadSize))
        return 0;
    const uint32_t payload = ReadU32(head);
    const uint64_t end = offset + kRecordHeadSize + payload + kRecordCrcSize;
    if (payload > kMaxPayload || end > fileSize)
        return 0;
    Crc32 crc;
    crc.Add(head + 4, kRecordHeadSize - 4);
    unsigned char chunk[16 * 1024];
    for (uint32_t done = 0; done < payload;) {
        DWORD step = static_cast<DWORD>(payload - done < sizeof(chunk) ? payload - done : sizeof(chunk));
        if (!ReadAt(file, offset + kRecordHeadSize + done, chunk, step))
            return 0;
        crc.Add(chunk, step);
        done += step;
    }
    unsigned char stored[kRecordCrcSize];
    if (!ReadAt(file, offset + kRecordHeadSize + payload, stored, kRecordCrcSize) || ReadU32(stored) != crc.Value())
        return 0;
    return end;
}

bool IsSoundDatabase(HANDLE file, uint64_t fileSize)
{
    unsigned char header[kHeaderSize];
    if (fileSize < kHeaderSize || !ReadAt(file, 0, header, kHeaderSize))
        return false;
    if (std::memcmp(header, kMagic, sizeof(kMagic)) != 0)
        return false;
    const uint16_t version = ReadU16(header + 4);
    const uint16_t headerSize = ReadU16(header + 6);
    if (version == 0 || version > kFormatVersion)
        return false;  // a newer product's file is not ours to touch
    if (headerSize < kHeaderSize || headerSize > fileSize)
        return false;
    Crc32 crc;
    crc.Add(header, kHeaderCrcOffset);
    if (ReadU32(header + kHeaderCrcOffset) != crc.Value())
        return false;
    const uint32_t count = ReadU32(header + 8);
    uint64_t offset = headerSize;
    for (uint32_t i = 0; i < count; ++i) {
        offset = CheckRecord(file, offset, fileSize);
        if (offset == 0)
            return false;
    }
    return true;
}

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!GetFileInformationByHandle(a, &ia) || !GetFileInformationByHandle(b, &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

// Holds the header's byte range exclusively, so that two processes opening
// one new file do not both write its header, and later writers append one at
// a time.
class HeaderLock {
public:
    explicit HeaderLock(HANDLE file) : file_(file)
    {
        held_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, kHeaderSize, 0, &overlapped_) != FALSE;
    }
    ~HeaderLock() { Release(); }
    void Release()
    {
        if (held_)
            UnlockFileEx(file_, 0, kHeaderSize, 0, &overlapped_);
        held_ = false;
    }
    HeaderLock(const HeaderLock&) = delete;
    HeaderLock& operator=(const HeaderLock&) = delete;
    bool Held() const { return held_; }

private:
    HANDLE file_;
    OVERLAPPED overlapped_ = {};
    bool held_ = false;
};

// The open database; closed by the system when the process ends.
std::mutex g_lock;
File g_database;

// True when path names the database already open (checked through a handle
// without data access, which the open database's sharing does not block).
bool IsOpenDatabase(const wchar_t* path)
{
    if (!g_database.Valid())
        return false;
    File probe(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    return probe.Valid() && SameFile(probe.Get(), g_database.Get());
}

}  // namespace

bool dbOpen(const wchar_t* path)
{
    if (path == nullptr || *path == 0)
        return false;
    std::lock_guard<std::mutex> lock(g_lock);
    if (IsOpenDatabase(path))
        return true;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;

    // Read and write sharing: a second instance of the product (one started
    // with an empty title is allowed to run) opens the same database. Nobody
    // may delete or rename it while it is open. Writers serialise on the
    // header lock below.
    File file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return false;  // missing folder, no access, or held by a foreign program
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return false;  // a device name such as NUL or COM1 holds no database
    HeaderLock headerLock(file.Get());
    if (!headerLock.Held())
        return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
        return false;
    if (size.QuadPart == 0) {
        if (!WriteEmptyDatabase(file.Get())) {
            headerLock.Release();
            file.Reset();
            if (!existed)
                DeleteFileW(path);  // leave no half-made file behind
            return false;
        }
    } else if (!IsSoundDatabase(file.Get(), static_cast<uint64_t>(size.QuadPart))) {
        return false;
    }
    // Only a database that opened replaces the one open before.
    g_database = std::move(file);
    return true;
}
