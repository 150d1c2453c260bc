// dunra.dll - the product database.
//
// The database is one file of our own format (version 1, little-endian):
// a 32-byte header - magic "KVDB", 16-bit format version, 16-bit header size,
// 32-bit record count, 32-bit flags, 12 reserved bytes, CRC-32 of the 28 bytes
// before it - followed by the counted records back to back, each a 32-bit
// payload length, a 16-bit type tag, 16-bit flags (bit 0: deleted), the
// payload and a CRC-32 of tag, flags and payload. Bytes after the last
// counted record are an unfinished append and are ignored.
#pragma once

#if defined(KIVRA_BUILDING_DUNRA)
#define DUNRA_API __declspec(dllexport)
#else
#define DUNRA_API __declspec(dllimport)
#endif

// Opens the product database at path, creating it when missing (an existing
// empty file is initialised too), and keeps it open until the process ends.
// Other instances of the product may open the same database (reading and
// writing are shared; writers take the header's byte-range lock); nobody can
// delete or rename it while it is open.
// Returns false, touching nothing, for a null or empty path, a missing
// folder, a folder given as the path, a file a foreign program holds without
// sharing, or a file that is not a sound database of this product (foreign, damaged,
// or of a newer format version).
// A second call naming the open database returns true and keeps it; a call
// naming another file opens that one and closes the first only when the new
// one opened, so a false result leaves the database open before in place.
DUNRA_API bool dbOpen(const wchar_t* path);
