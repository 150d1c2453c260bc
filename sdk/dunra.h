// dunra.dll - the product database.
#pragma once

#if defined(KIVRA_BUILDING_DUNRA)
#define DUNRA_API __declspec(dllexport)
#else
#define DUNRA_API __declspec(dllimport)
#endif

// Opens the product database at path, creating it when missing, and keeps it
// open until the process ends. Returns false for a path that cannot be opened
// or created: a missing folder, a folder given as the path, or a file that is
// not a database of this product.
DUNRA_API bool dbOpen(const wchar_t* path);
