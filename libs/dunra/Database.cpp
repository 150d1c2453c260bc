#include "dunra.h"
// Placeholder while the database is written.
bool dbOpen(const wchar_t*) { return false; }
