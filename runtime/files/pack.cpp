// Pack archives over minizip (zip.h / unzip.h) and zlib.
#include "runtime/files/pack.h"

#include "runtime/core/memory.h"
#include "runtime/core/strings.h"

#include <windows.h>
#include <imagehlp.h>

#include <unzip.h>
#include <zip.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace kx {

namespace {

constexpr int BlockSize = 102400;
constexpr int NameBufferSize = 500;
constexpr int PackMethod = Z_DEFLATED;
constexpr int PackLevel = 9;
constexpr DWORD PauseAfterBlock = 10;

PackCallback g_callback = nullptr;
int g_method = 0;
std::vector<packer::FileRecord>* g_fileList = nullptr;

std::vector<packer::FileRecord>& FileListRef() {
  if (!g_fileList) g_fileList = new std::vector<packer::FileRecord>();
  return *g_fileList;
}

void Progress(const char* name, double done, double total) {
  if (!g_callback) return;
  float percent = total > 0 ? static_cast<float>(done / total * 100.0) : 100.0f;
  g_callback(name, percent);
}

void EntryDone() {
  if (g_callback) g_callback("", 100.0f);
}

// The transfer block of one pack or unpack operation, zero-filled.
void* AllocateTransferBlock() { return AllocateBlock(BlockSize); }
void FreeTransferBlock(void* block) { FreeBlock(block); }

// "\" and "/" swapped in the text's own memory.
void SwapSeparators(std::string& text, const char* from, const char* to) {
  if (text.empty()) return;
  int32_t mark = GetStringMark();
  ReplaceString(text.data(), from, to, InPlace, 1, mark);
  SetStringMark(mark);
}

// ---- dates: seconds since 1970-01-01 00:00:00 of local wall-clock time -----

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t MakeDateValue(int year, int month, int day, int hour, int minute, int second) {
  if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return -1;
  if (month == 2 && (day > 29 || (day == 29 && (!IsLeapYear(year) || year == 3600)))) return -1;
  if (static_cast<unsigned>(second) > 59 || static_cast<unsigned>(minute) > 59 ||
      static_cast<unsigned>(hour) > 23 || day < 1 || day > 31 || month < 1 || month > 12 ||
      year <= 0)
    return -1;
  int64_t value = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  if (value < 0 || value > 0x7FFFFFFF) return -1;
  return static_cast<int32_t>(value);
}

struct DateFields {
  int year, month, day, hour, minute, second, weekday;
};

// The fields of a date value; all 0 for a negative value.
DateFields SplitDate(int32_t date) {
  DateFields f = {};
  if (date < 0) return f;
  int64_t days = date / 86400;
  int64_t rest = date % 86400;
  f.hour = static_cast<int>(rest / 3600);
  f.minute = static_cast<int>(rest / 60 % 60);
  f.second = static_cast<int>(rest % 60);
  f.weekday = static_cast<int>((days + 4) % 7);  // 1970-01-01 was a Thursday
  int64_t z = days + 719468;
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  f.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  f.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  f.year = static_cast<int>(yoe + era * 400 + (f.month <= 2));
  return f;
}

// Zip time record of a date value.  DOS dates start in 1980: earlier values
// (the directory records carry 0) are stored as 1980-01-01 00:00:00 instead
// of letting the year wrap into the next century.
void FillTimeRecord(zip_fileinfo* info, int32_t date, DWORD attributes) {
  DateFields f = SplitDate(date);
  if (f.year < 1980) f = {1980, 1, 1, 0, 0, 0, 0};
  info->tmz_date.tm_sec = f.second;
  info->tmz_date.tm_min = f.minute;
  info->tmz_date.tm_hour = f.hour;
  info->tmz_date.tm_mday = f.day;
  info->tmz_date.tm_mon = f.month - 1;
  info->tmz_date.tm_year = f.year;
  info->dosDate = 0;
  info->internal_fa = 0;
  info->external_fa = attributes;
}

// ---- paths ----------------------------------------------------------------

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string PathPart(const std::string& path) {
  size_t cut = LastSeparator(path);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string FilePart(const std::string& path) {
  size_t cut = LastSeparator(path);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ExtensionPart(const std::string& path) {
  std::string file = FilePart(path);
  size_t dot = file.rfind('.');
  return dot == std::string::npos ? std::string() : file.substr(dot + 1);
}

// Every occurrence of remove taken out, compared without regard to case.
std::string RemoveIgnoringCase(const std::string& text, const std::string& remove) {
  if (remove.empty()) return text;
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= remove.size() &&
        _strnicmp(text.c_str() + i, remove.c_str(), remove.size()) == 0) {
      i += remove.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

// Size in bytes, -1 for a missing path, -2 for a folder.
int64_t PathSize(const std::string& path) {
  if (path.empty()) return -1;
  std::string p = path;
  while (p.size() > 1 && p.back() == '\\') p.pop_back();
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(p.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return -1;
  FindClose(find);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -2;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Entry name from a source path: naming mode, OEM code page, "/" separators.
std::string EntryName(const std::string& path, const std::string& base, int naming) {
  std::string name;
  if (naming == 1)
    name = path;
  else if (naming == 2)
    name = RemoveIgnoringCase(path, base);
  else
    name = FilePart(path);
  if (!name.empty()) CharToOemA(name.data(), name.data());
  SwapSeparators(name, "\\", "/");
  return name;
}

// ---- source and output files ------------------------------------------------

HANDLE OpenSourceFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// Creates the file or empties an existing one.
HANDLE CreateOutputFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0,
                    nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// Block loop of one entry: the file's data through zipWriteInFileInZip.
// Returns the result of the last write (1 = none happened, so that an
// unreadable source never counts as stored).
int PackEntryData(zipFile zip, const std::string& path, int64_t size, void* block) {
  int last = 1;
  HANDLE file = OpenSourceFile(path);
  if (file) {
    int64_t done = 0;
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file, block, BlockSize, &got, nullptr) || got == 0) break;
      last = zipWriteInFileInZip(zip, block, got);
      done += got;
      Progress(path.c_str(), static_cast<double>(done), static_cast<double>(size));
      Sleep(PauseAfterBlock);
    }
    CloseHandle(file);
  }
  EntryDone();
  return last;
}

// "CON", "NUL", "COM1" and the like, with or without an extension, name
// devices in every folder rather than files.
bool IsDeviceName(const std::string& part) {
  std::string stem = part.substr(0, part.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
      stem == "CONOUT$")
    return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// Turns an entry path (already with "\" separators and its drive prefix
// removed) into a path below the destination: leading separators and drive
// letters are dropped, "." components are dropped.  Returns false for names
// that could still leave the destination or name no file (".." components,
// components of dots and blanks only, stray colons, device names).
bool ConfineToDestination(std::string& name) {
  for (;;) {
    size_t skip = name.find_first_not_of('\\');
    if (skip == std::string::npos) {
      name.clear();
      break;
    }
    if (skip > 0) name.erase(0, skip);
    if (name.size() >= 2 && name[1] == ':' && isalpha(static_cast<unsigned char>(name[0])))
      name.erase(0, 2);
    else
      break;
  }
  std::string out;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('\\', start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    bool last = end == name.size();
    if (part.empty() || part == ".") {
      // dropped
    } else {
      if (part.find(':') != std::string::npos) return false;
      if (part.find_first_not_of(". ") == std::string::npos) return false;
      if (IsDeviceName(part)) return false;
      out += part;
      if (!last) out += '\\';
    }
    if (last) break;
    start = end + 1;
  }
  if (!name.empty() && name.back() == '\\' && !out.empty() && out.back() != '\\') out += '\\';
  name = out;
  return true;
}

void MakePath(const std::string& folder) {
  if (!folder.empty()) MakeSureDirectoryPathExists(folder.c_str());
}

// Attribute bits that SetFileAttributesA accepts; archives written elsewhere
// carry foreign bits (such as Unix modes) in the high half.
constexpr DWORD SettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

// ---- internal operations ------------------------------------------------------

namespace packer {

int32_t GetFileDate(const char* path) {
  if (!path) return 0;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  FILETIME written = {}, local = {};
  SYSTEMTIME st = {};
  GetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
  FileTimeToLocalFileTime(&written, &local);
  FileTimeToSystemTime(&local, &st);
  return MakeDateValue(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

int SetFileDate(const char* path, int32_t date) {
  if (!path) return 0;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  DateFields f = SplitDate(date);
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(f.year);
  st.wMonth = static_cast<WORD>(f.month);
  st.wDayOfWeek = static_cast<WORD>(f.weekday);
  st.wDay = static_cast<WORD>(f.day);
  st.wHour = static_cast<WORD>(f.hour);
  st.wMinute = static_cast<WORD>(f.minute);
  st.wSecond = static_cast<WORD>(f.second);
  FILETIME local = {}, written = {};
  BOOL ok = SystemTimeToFileTime(&st, &local) && LocalFileTimeToFileTime(&local, &written) &&
            SetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
  return ok ? 1 : 0;
}

int ArchiveEntryCount(const char* path) {
  if (!path) return -1;
  unzFile unz = unzOpen(path);
  if (!unz) return -1;
  unz_global_info info = {};
  int result = unzGetGlobalInfo(unz, &info) == UNZ_OK ? static_cast<int>(info.number_entry) : -1;
  unzClose(unz);
  return result;
}

void* OpenArchiveForAdding(const char* path) {
  if (!path) return nullptr;
  int mode = ArchiveEntryCount(path) > 0 ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE;
  return zipOpen(path, mode);
}

int CloseArchive(void* handle) { return zipClose(static_cast<zipFile>(handle), nullptr); }

// Lower case as the runtime's strings have it: A-Z and 0xC0-0xDE.
static std::string LowerCase(const char* text) {
  std::string out = text ? text : "";
  for (char& c : out) {
    unsigned char b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE)) c = static_cast<char>(b + 32);
  }
  return out;
}

bool MatchPattern(const char* nameText, const char* patternText) {
  std::string name = LowerCase(nameText);
  std::string pattern = LowerCase(patternText);
  if (name == pattern) return true;
  // A name without a dot gets one, so that "*.*" takes it; the position of
  // that added dot also counts as the end of the name.
  size_t fullEnd = std::string::npos;
  if (name.find('.') == std::string::npos) {
    fullEnd = name.size();
    name += '.';
  }
  if (!name.empty() && name[0] == '.') {
    name.insert(name.begin(), '*');
    if (fullEnd != std::string::npos) ++fullEnd;
  }
  const size_t n = name.size();
  const size_t m = pattern.size();
  auto atEnd = [&](size_t i) { return i == n || (fullEnd != std::string::npos && i == fullEnd); };

  size_t i = 0;  // 0-based name position
  bool star = false;
  size_t j = 0;
  while (j < m) {
    char c = pattern[j];
    bool failed = false;
    if (c == '*') {
      if (j == m - 1) return true;
      star = true;
    } else if (c == '|') {
      if (atEnd(i)) return true;
      failed = true;
    } else if (c == '?') {
      if (i < n)
        ++i;
      else
        failed = true;
    } else {
      if (star) {
        star = false;
        ++i;
        while (i < n && name[i] != c) ++i;
      }
      if (i < n && name[i] == c)
        ++i;
      else
        failed = true;
    }
    if (!failed && j == m - 1 && atEnd(i)) return true;
    if (failed) {
      // A failed alternative hands over to the one after the next "|" (the
      // one after this "|" when the failure was the "|" itself).
      size_t bar = c == '|' ? j : pattern.find('|', j + 1);
      if (bar == std::string::npos) return false;
      j = bar + 1;
      i = 0;
      star = false;
      continue;
    }
    ++j;
  }
  return false;
}

std::string BaseName(const char* path) {
  std::string file = FilePart(path ? path : "");
  size_t dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

int FindLast(const char* text, const char* find, int start) {
  if (start < 1) start = 1;
  int last = start - 1;
  if (!text || !find || !*find) return last;
  size_t len = strlen(text);
  for (;;) {
    if (static_cast<size_t>(start) > len) break;
    const char* hit = strstr(text + start - 1, find);
    if (!hit) break;
    last = static_cast<int>(hit - text) + 1;
    start = last + 1;
  }
  return last;
}

void CollectFiles(int folderMode, const std::string& folderIn, const std::string& pattern) {
  std::string folder = folderIn;
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  const std::string patternBase = BaseName(pattern.c_str());
  const std::string patternExtension = ExtensionPart(pattern);
  do {
    std::string entry = data.cFileName;
    std::string full = folder + entry;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (entry == ".") {
        if (folderMode == 2) FileListRef().push_back({folder, 1});
      } else if (entry != ".." && folderMode != 0) {
        CollectFiles(folderMode, full, pattern);
      }
    } else if (MatchPattern(BaseName(entry.c_str()).c_str(), patternBase.c_str()) &&
               MatchPattern(ExtensionPart(entry).c_str(), patternExtension.c_str())) {
      FileListRef().push_back({full, 0});
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

const std::vector<FileRecord>& FileList() { return FileListRef(); }

void ClearFileList() { FileListRef().clear(); }

}  // namespace packer

// ---- commands -----------------------------------------------------------------

int PackFile(const char* archive, const char* file, int naming) {
  ThreadStringStart();
  if (!archive || !file) return 0;
  const std::string path = file;
  int32_t date = packer::GetFileDate(file);
  if (date == 0) return 0;
  zipFile zip = packer::OpenArchiveForAdding(archive);
  if (!zip) return 0;

  zip_fileinfo info = {};
  FillTimeRecord(&info, date, GetFileAttributesA(file));
  std::string name = EntryName(path, PathPart(path), naming);
  int err = zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                g_method ? g_method : PackMethod, PackLevel);
  if (err != ZIP_OK) {
    packer::CloseArchive(zip);
    return err;
  }
  int result = 0;
  int64_t size = PathSize(path);
  if (size != 0) {
    void* block = AllocateTransferBlock();
    if (block) {
      if (PackEntryData(zip, path, size, block) == ZIP_OK) result = 1;
      FreeTransferBlock(block);
    }
  }
  zipCloseFileInZip(zip);
  packer::CloseArchive(zip);
  return result;
}

int PackFolder(const char* archive, const char* folderWithPattern, int naming, int folderMode) {
  ThreadStringStart();
  if (!archive) return 0;
  zipFile zip = packer::OpenArchiveForAdding(archive);
  if (!zip) return 0;
  const std::string argument = folderWithPattern ? folderWithPattern : "";
  const std::string base = PathPart(argument);
  const std::string pattern = FilePart(argument);

  packer::ClearFileList();
  packer::CollectFiles(folderMode, base, pattern);
  int count = 0;
  for (const packer::FileRecord& record : packer::FileList()) {
    int32_t date = packer::GetFileDate(record.path.c_str());
    if (date == 0 && !record.isDirectory) continue;
    if (record.isDirectory) date = 0;
    zip_fileinfo info = {};
    FillTimeRecord(&info, date, GetFileAttributesA(record.path.c_str()));
    std::string name = EntryName(record.path, base, naming);
    // The packed folder itself under naming 2, and every folder under the
    // file-part naming, would come out nameless: such entries are left out.
    if (name.empty()) continue;
    if (zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            g_method ? g_method : PackMethod, PackLevel) != ZIP_OK)
      continue;
    int64_t size = PathSize(record.path);
    if (size != 0 && !record.isDirectory) {
      void* block = AllocateTransferBlock();
      if (block) {
        if (PackEntryData(zip, record.path, size, block) == ZIP_OK) ++count;
        FreeTransferBlock(block);
      }
    }
    zipCloseFileInZip(zip);
  }
  packer::ClearFileList();
  packer::CloseArchive(zip);
  return count;
}

int UnpackArchive(const char* archive, const char* patternText, const char* destination,
                  int keepPaths) {
  ThreadStringStart();
  if (!archive) return 0;
  std::string pattern = patternText && *patternText ? patternText : "*.*";
  unzFile unz = unzOpen(archive);
  if (!unz) return 0;
  unz_global_info global = {};
  unzGetGlobalInfo(unz, &global);
  char nameBuffer[NameBufferSize];
  std::string dest = destination ? destination : "";
  if (!dest.empty() && dest.back() != '\\' && dest.back() != '/') dest += '\\';

  int count = 0;
  bool destinationMade = false;
  for (int step = unzGoToFirstFile(unz); step == UNZ_OK; step = unzGoToNextFile(unz)) {
    unz_file_info info = {};
    // One byte is kept for the terminator: minizip writes none when the
    // name fills the buffer.
    if (unzGetCurrentFileInfo(unz, &info, nameBuffer, NameBufferSize - 1, nullptr, 0, nullptr,
                              0) != UNZ_OK)
      continue;
    nameBuffer[info.size_filename < NameBufferSize - 1 ? info.size_filename
                                                       : NameBufferSize - 1] = '\0';
    OemToCharA(nameBuffer, nameBuffer);
    std::string name = nameBuffer;
    SwapSeparators(name, "/", "\\");
    const uLong size = info.uncompressed_size;

    if (!packer::MatchPattern(FilePart(name).c_str(), pattern.c_str()) &&
        !(keepPaths == 1 && size == 0))
      continue;
    if (unzOpenCurrentFile(unz) != UNZ_OK) continue;
    if (!destinationMade) {
      MakePath(dest);
      destinationMade = true;
    }

    if (keepPaths != 0) {
      size_t drive = name.find(":\\");
      if (drive != std::string::npos) name.erase(0, drive + 2);
    }
    if (!name.empty() && name.back() == '\\' && keepPaths == 1) {
      if (ConfineToDestination(name) && !name.empty()) MakePath(dest + PathPart(name));
      unzCloseCurrentFile(unz);
      continue;
    }
    if (keepPaths == 0) name = FilePart(name);
    if (!ConfineToDestination(name) || name.empty() || name.back() == '\\') {
      unzCloseCurrentFile(unz);
      EntryDone();
      continue;
    }
    if (keepPaths != 0) MakePath(dest + PathPart(name));

    void* block = AllocateTransferBlock();
    if (!block) {
      unzCloseCurrentFile(unz);
      continue;
    }
    const std::string target = dest + name;
    HANDLE out = CreateOutputFile(target);
    if (out) {
      int got = 0;
      uLong done = 0;
      bool written = true;
      while ((got = unzReadCurrentFile(unz, block, BlockSize)) > 0) {
        DWORD put = 0;
        if (!WriteFile(out, block, static_cast<DWORD>(got), &put, nullptr) ||
            put != static_cast<DWORD>(got))
          written = false;
        done += static_cast<uLong>(got);
        Progress(name.c_str(), static_cast<double>(done), static_cast<double>(size));
      }
      CloseHandle(out);
      // The CRC is checked when the entry is closed; a stream that ends
      // early is caught by the byte count.
      int closed = unzCloseCurrentFile(unz);
      if (got == 0 && closed == UNZ_OK && done == size && written) {
        packer::SetFileDate(target.c_str(),
                            MakeDateValue(info.tmu_date.tm_year, info.tmu_date.tm_mon + 1,
                                          info.tmu_date.tm_mday, info.tmu_date.tm_hour,
                                          info.tmu_date.tm_min, 0));
        DWORD attributes = info.external_fa & SettableAttributes;
        SetFileAttributesA(target.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
        ++count;
      } else {
        DeleteFileA(target.c_str());
      }
    } else {
      unzCloseCurrentFile(unz);
    }
    FreeTransferBlock(block);
    EntryDone();
  }
  unzClose(unz);
  return count;
}

int SetPackCallback(PackCallback callback) {
  g_callback = callback;
  return 0;
}

void PackerStart() {
  FileListRef();
  g_method = PackMethod;
}

void PackerEnd() {
  if (g_fileList) g_fileList->clear();
}

}  // namespace kx
