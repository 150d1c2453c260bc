// dunra.h - the product database, for the shell and for plugins.
//
// The database is one SQLite file beside Kivra.exe (the configuration names
// it; "bramic.db" by default). dunra.dll holds SQLite, built from its own
// sources, and exports SQLite's whole C interface: include this header (it
// includes sqlite3.h, shipped beside it) and use the sqlite3_* functions as
// SQLite documents them, on the one connection dbConnection() gives.
//
// Life cycle
//   1. Kivra.exe calls dbOpen once at start-up, before any plugin loads; when
//      it returns false the program ends.
//   2. A plugin calls dbMigrate with its own name and its schema steps
//      before it first uses its tables (in LoadPlugin, or better once the
//      main window is up: see ostel.h), then keeps the connection from
//      dbConnection() (or asks again whenever it needs it).
//   3. The connection stays open until the process ends. A plugin finalizes
//      its prepared statements (sqlite3_finalize) in UnloadPlugin.
//
// The connection
//   SQLite is built serialized (SQLITE_THREADSAFE=1), with foreign keys on,
//   double-quoted strings refused as text (SQLITE_DQS=0), FTS5, and no
//   extension loading. dbOpen sets the connection to the WAL journal, full
//   synchronous commits, a 64 MB memory map for reading and a busy timeout
//   of 5 s, so readers never wait for a writer and a writer waits for
//   another process's writer instead of failing at once.
//   Use it from the user-interface thread, where plugins run. Serialized
//   mode keeps a call from another thread safe, but transactions belong to
//   the connection, not to a thread: a worker thread that reads or writes on
//   its own opens its own connection with sqlite3_open_v2 on
//   sqlite3_db_filename(dbConnection(), "main"), sets the same busy timeout,
//   and closes it before its plugin unloads.
//   Every statement outside a transaction is a transaction of its own, and
//   each commit waits until the data is on the disk (a few milliseconds):
//   work of more than a few rows belongs in one BEGIN ... COMMIT. Keep it
//   short all the same; it holds up the other writers.
//   Bind every value with sqlite3_bind_*; never paste text into SQL.
//   Name tables after the plugin ("sms_messages"); names starting "dunra_"
//   are this library's.
//
// Durability
//   A power loss or a killed process loses at most the transaction that was
//   being committed; the next dbOpen finds every earlier one.
#pragma once

#if defined(KIVRA_BUILDING_DUNRA)
#define DUNRA_API __declspec(dllexport)
#else
#define DUNRA_API __declspec(dllimport)
#endif

// SQLite's own declarations, imported from dunra.dll.
#ifndef SQLITE_API
#define SQLITE_API DUNRA_API
#endif
#include "sqlite3.h"

// Opens the product database at path (UTF-16), creating it when missing, and
// keeps it open until the process ends. Returns true when it is open.
// Returns false, leaving the file as it was, for a null or empty path, a
// missing folder, a folder, a device, a file that cannot be written (read-
// only, no access), a file another program holds without sharing, and a file
// that is not a sound database of this product: not SQLite, damaged
// (PRAGMA quick_check fails), another program's SQLite database, or one
// written by a newer version of this product.
// A file of the earlier "KVDB" format (which could hold no records) is
// renamed to <name>.old (<name>.old2, ... when that exists) and a new
// database is made in its place; the log says so.
// A second call naming the open database returns true and keeps it; a call
// naming another file opens that one and closes the first only when the new
// one opened, so a false result leaves the database open before in place.
// Why a file was refused goes to the log handler (dbSetLogHandler).
// (A C++ function, as Kivra.exe imports it.)
#ifdef __cplusplus
DUNRA_API bool dbOpen(const wchar_t* path);
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The connection dbOpen opened; null before it opened one. Do not close it.
// Valid until dbOpen opens another file (Kivra.exe never does).
DUNRA_API sqlite3* dbConnection(void);

// One schema step of a plugin: version is its number (1, 2, 3, ...), sql one
// or more statements separated by semicolons. A step must not begin or end
// a transaction itself.
struct TDbStep {
    int version;
    const char* sql;
};

// Brings the plugin name's tables up to date: runs, in order, each step whose
// version is above the version recorded for name in this database, in one
// transaction, then records the highest version. Each step runs once in the
// life of the file: a plugin lists all its steps every time, and a newer
// plugin adds steps at the end.
// steps must be in rising order of version, each above 0; name is the
// plugin's name (at most 63 characters), so two plugins never share a record.
// Returns the version reached (0 for no steps on a fresh file). Returns -1,
// with nothing changed, when no database is open, an argument is bad, a step
// fails (the message goes to the log handler), or the file records a higher
// version for name than the steps know (a newer plugin wrote it).
DUNRA_API int dbMigrate(const char* name, const struct TDbStep* steps, int count);

// Where dunra's notes go: one line of text per call, without a line end, on
// the thread that called into dunra. Null (the default) sends them to the
// debugger only (OutputDebugString). Kivra.exe sets it to its log.
typedef void (*TDbLogHandler)(const wchar_t* line);
DUNRA_API void dbSetLogHandler(TDbLogHandler handler);

#ifdef __cplusplus
}
#endif
