// Message catalogs: the built-in groups, the catalog files under the install
// path and the lookups the report functions use.
#pragma once

#include <cstdint>

namespace kx {

// A library's own message group, loaded from "Libraries.catalog" on first use.
struct LibraryMessage {
  const char* key;
  const char* text;
};

struct LibraryTable {
  const char* catalogFile;      // "Libraries.catalog"
  const char* catalogName;      // "KX_Libraries"
  const char* group;            // "Thread", "File", "Memory", ...
  int32_t loaded;               // 0 until first use
  const LibraryMessage* defaults;  // ended by {"", ""}
};

// The built-in library groups.
extern LibraryTable CommonLibrary;
extern LibraryTable ThreadLibrary;
extern LibraryTable MenuLibrary;
extern LibraryTable ImageLibrary;
extern LibraryTable GadgetLibrary;
extern LibraryTable WindowLibrary;
extern LibraryTable CipherLibrary;
extern LibraryTable FileLibrary;
extern LibraryTable MemoryLibrary;

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
