// Message catalogs: the built-in groups, the catalog files under the install
// path and the lookups the report functions use.
#pragma once

#include <cstdint>

// The library groups' identities (LibraryTable) and built-in texts are the
// core's.
#include "runtime/core/debugger_seam.h"

namespace kx {

// Text of key in group (loaded pairs first, then the built-in ones);
// "### String not found ###" when neither has it.  Groups of the debugger
// catalog and the library groups are all reachable by name.
const char* CatalogText(const char* group, const char* key);
// Text of key in the library's group (loads "Libraries.catalog" on first use).
const char* LibraryText(LibraryTable* library, const char* key);

// Install path (ends with a backslash); default "C:\Program Files\Korvex\".
void SetInstallPath(const char* path);
const char* InstallPath();
// Catalog language (empty in this program).
void SetCatalogLanguage(const char* language);
// Forgets every loaded catalog file, so the next lookup reads them again.
void ResetCatalogs();

}  // namespace kx
