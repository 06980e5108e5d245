// Message catalogs: built-in groups, catalog files under the install path's
// "Catalogs" folder, and the lookups of the report functions.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/debugger/catalog_texts.h"
#include "runtime/debugger/catalogs.h"

namespace kx {

namespace {

const char* const NotFound = "### String not found ###";

enum CatalogKind { LibraryCatalog = 0, DebuggerCatalog = 1 };

struct Pair {
  const char* key;
  const char* text;
};

struct Group {
  std::string name;
  int catalog;
  std::vector<Pair> defaults;
  std::vector<Pair> loaded;   // texts live for the run (see KeepText)
};

struct CatalogState {
  CRITICAL_SECTION lock;
  std::vector<Group*> groups;
  std::vector<std::string> loadedCatalogs;  // catalog names whose file was read
  bool debuggerRegistered = false;
  bool librariesRegistered = false;
  std::string installPath = "C:\\Program Files\\Korvex\\";
  std::string language;
  CatalogState() { InitializeCriticalSection(&lock); }
};

CatalogState& State() {
  static CatalogState* state = new CatalogState;  // never destroyed: reports may come late
  return *state;
}

struct Locked {
  Locked() { EnterCriticalSection(&State().lock); }
  ~Locked() { LeaveCriticalSection(&State().lock); }
};

// Loaded texts are handed out as plain pointers that callers may keep, so
// they are never freed, also not by ResetCatalogs.
const char* KeepText(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (!copy) return "";
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

Group* FindGroup(const char* name) {
  for (Group* g : State().groups) {
    if (lstrcmpiA(g->name.c_str(), name) == 0) return g;
  }
  return nullptr;
}

Group* MakeGroup(const char* name, int catalog) {
  Group* g = FindGroup(name);
  if (g) return g;
  g = new Group;
  g->name = name;
  g->catalog = catalog;
  State().groups.push_back(g);
  return g;
}

void RegisterLibraryLocked(LibraryTable* library) {
  if (library->loaded) return;
  Group* g = MakeGroup(library->group, LibraryCatalog);
  for (const LibraryMessage* m = library->defaults; m && m->key && m->key[0]; ++m) {
    g->defaults.push_back({m->key, m->text});
  }
  library->loaded = 1;
}

void RegisterBuiltInsLocked() {
  CatalogState& s = State();
  if (!s.librariesRegistered) {
    s.librariesRegistered = true;
    for (LibraryTable* const* l = BuiltInLibraries; *l; ++l) RegisterLibraryLocked(*l);
  }
  if (!s.debuggerRegistered) {
    s.debuggerRegistered = true;
    Group* g = nullptr;
    for (const LibraryMessage* m = DebuggerMessages; std::strcmp(m->key, "_END_") != 0; ++m) {
      if (std::strcmp(m->key, "_GROUP_") == 0) g = MakeGroup(m->text, DebuggerCatalog);
      else if (g) g->defaults.push_back({m->key, m->text});
    }
  }
}

// ---- catalog files ----

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

struct Entry {
  std::string group, key, value;
};

struct ParsedCatalog {
  std::string language, application;
  std::vector<Entry> entries;
};

bool ReadWholeFile(const std::string& path, std::string& out) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(file, nullptr);
  bool ok = size != INVALID_FILE_SIZE && size < 64u * 1024 * 1024;
  if (ok) {
    out.resize(size);
    DWORD read = 0;
    ok = size == 0 || (ReadFile(file, &out[0], size, &read, nullptr) && read == size);
  }
  CloseHandle(file);
  return ok;
}

void ParseCatalog(const std::string& text, ParsedCatalog& parsed) {
  std::string section;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    if (line.size() > 199) line.resize(199);  // lines are read up to 200 characters
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t[0] == '[') {
      size_t close = t.find(']');
      section = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos || section.empty()) continue;
    std::string key = Trim(t.substr(0, eq));
    std::string value = Trim(t.substr(eq + 1));
    if (lstrcmpiA(section.c_str(), "LanguageInfo") == 0) {
      if (value.size() > 100) value.resize(100);
      if (lstrcmpiA(key.c_str(), "Language") == 0) parsed.language = value;
      else if (lstrcmpiA(key.c_str(), "Application") == 0) parsed.application = value;
      continue;
    }
    parsed.entries.push_back({section, key, value});
  }
}

bool TryCatalogFile(const std::string& path, const char* catalogName, int catalog) {
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  ParsedCatalog parsed;
  ParseCatalog(text, parsed);
  if (lstrcmpiA(parsed.language.c_str(), State().language.c_str()) != 0 ||
      lstrcmpiA(parsed.application.c_str(), catalogName) != 0) {
    return false;
  }
  for (const Entry& e : parsed.entries) {
    Group* g = MakeGroup(e.group.c_str(), catalog);
    g->loaded.push_back({KeepText(e.key), KeepText(e.value)});
  }
  return true;
}

bool SearchTree(const std::string& directory, const char* catalogName, int catalog, int depth) {
  if (depth > 32) return false;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) continue;
    std::string path = directory + "\\" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      found = SearchTree(path, catalogName, catalog, depth + 1);
    } else {
      found = TryCatalogFile(path, catalogName, catalog);
    }
  } while (!found && FindNextFileA(find, &data));
  FindClose(find);
  return found;
}

std::string CatalogDirectory() {
  std::string dir = State().installPath;
  while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir + "\\Catalogs";
}

void LoadCatalogLocked(const char* fileName, const char* catalogName, int catalog) {
  CatalogState& s = State();
  for (const std::string& name : s.loadedCatalogs) {
    if (lstrcmpiA(name.c_str(), catalogName) == 0) return;
  }
  s.loadedCatalogs.push_back(catalogName);  // read at most once, found or not
  std::string dir = CatalogDirectory();
  if (TryCatalogFile(dir + "/" + s.language + "/" + fileName, catalogName, catalog)) return;
  SearchTree(dir, catalogName, catalog, 0);
}

void EnsureCatalogLocked(int catalog) {
  if (catalog == LibraryCatalog) LoadCatalogLocked("Libraries.catalog", "KX_Libraries", LibraryCatalog);
  else LoadCatalogLocked("Debugger.catalog", "KX_Debugger", DebuggerCatalog);
}

// The conversions of a printf format, in order ("%%" skipped); "n" when the
// text holds a %n.  Reports format catalog texts with the caller's
// arguments, so a replacement text must ask for the same ones.
std::string Conversions(const char* text) {
  std::string kinds;
  for (const char* c = text; *c; ++c) {
    if (*c != '%') continue;
    ++c;
    if (*c == '%') continue;
    while (*c && std::strchr("-+ #0123456789.*hlLqjzt", *c)) {
      if (*c == '*') kinds += '*';
      ++c;
    }
    if (!*c) break;
    char k = *c;
    if (std::strchr("diouxXc", k)) k = 'i';
    else if (std::strchr("eEfgGaA", k)) k = 'f';
    kinds += k;
  }
  return kinds;
}

const char* LookupLocked(Group* g, const char* key) {
  const char* builtIn = nullptr;
  for (const Pair& p : g->defaults) {
    if (lstrcmpiA(p.key, key) == 0) {
      builtIn = p.text;
      break;
    }
  }
  for (const Pair& p : g->loaded) {
    if (lstrcmpiA(p.key, key) != 0) continue;
    std::string wanted = builtIn ? Conversions(builtIn) : std::string();
    if (Conversions(p.text) == wanted) return p.text;
    break;  // a text asking for other arguments than the program passes is not used
  }
  return builtIn ? builtIn : NotFound;
}

}  // namespace

const char* CatalogText(const char* group, const char* key) {
  if (!group || !key) return NotFound;
  DWORD error = GetLastError();
  const char* text = NotFound;
  {
    Locked lock;
    RegisterBuiltInsLocked();
    Group* g = FindGroup(group);
    if (g) {
      EnsureCatalogLocked(g->catalog);
    } else {
      EnsureCatalogLocked(LibraryCatalog);
      EnsureCatalogLocked(DebuggerCatalog);
      g = FindGroup(group);
    }
    if (g) text = LookupLocked(g, key);
  }
  SetLastError(error);
  return text;
}

const char* LibraryText(LibraryTable* library, const char* key) {
  if (!library || !key) return NotFound;
  DWORD error = GetLastError();
  const char* text = NotFound;
  {
    Locked lock;
    RegisterBuiltInsLocked();
    RegisterLibraryLocked(library);
    LoadCatalogLocked(library->catalogFile ? library->catalogFile : "Libraries.catalog",
                      library->catalogName ? library->catalogName : "KX_Libraries", LibraryCatalog);
    if (Group* g = FindGroup(library->group)) text = LookupLocked(g, key);
  }
  SetLastError(error);
  return text;
}

void RegisterDebuggerCatalog() {
  Locked lock;
  RegisterBuiltInsLocked();
  EnsureCatalogLocked(DebuggerCatalog);
}

void SetInstallPath(const char* path) {
  Locked lock;
  State().installPath = path ? path : "";
}

const char* InstallPath() { return State().installPath.c_str(); }

void SetCatalogLanguage(const char* language) {
  Locked lock;
  State().language = language ? language : "";
}

void ResetCatalogs() {
  Locked lock;
  for (Group* g : State().groups) g->loaded.clear();
  State().loadedCatalogs.clear();
}

}  // namespace kx
