// Pack archives over minizip (zip.h / unzip.h) and zlib.
#include "runtime/files/pack.h"

#include <windows.h>
#include <imagehlp.h>

#include "runtime/core/memory.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
#include "runtime/files/date.h"
#include "runtime/files/directory.h"
#include "runtime/files/file.h"

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

// Zip time record of a date value.  DOS dates start in 1980: earlier values
// (the directory records carry 0) are stored as 1980-01-01 00:00:00 instead
// of letting the year wrap into the next century.
void FillTimeRecord(zip_fileinfo* info, int32_t date, DWORD attributes) {
  if (YearOf(date) < 1980) date = MakeDate(1980, 1, 1, 0, 0, 0);
  info->tmz_date.tm_sec = SecondOf(date);
  info->tmz_date.tm_min = MinuteOf(date);
  info->tmz_date.tm_hour = HourOf(date);
  info->tmz_date.tm_mday = DayOf(date);
  info->tmz_date.tm_mon = MonthOf(date) - 1;
  info->tmz_date.tm_year = YearOf(date);
  info->dosDate = 0;
  info->internal_fa = 0;
  info->external_fa = attributes;
}

// ---- paths ----------------------------------------------------------------

// A string operation's result (the path parts, lower case) as an owned string.
std::string TakeString(char* (*part)(const char*, int32_t), const std::string& path) {
  int32_t mark = GetStringMark();
  std::string result = part(path.c_str(), mark);
  SetStringMark(mark);
  return result;
}
std::string PathPart(const std::string& path) { return TakeString(GetPathPart, path); }
std::string FilePart(const std::string& path) { return TakeString(GetFilePart, path); }
std::string ExtensionPart(const std::string& path) { return TakeString(GetExtensionPart, path); }

// Every occurrence of remove taken out, compared without regard to case.
std::string RemoveIgnoringCase(const std::string& text, const std::string& remove) {
  int32_t mark = GetStringMark();
  std::string result = RemoveString(text.c_str(), remove.c_str(), NoCase, mark);
  SetStringMark(mark);
  return result;
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

// Block loop of one entry: the file's data through zipWriteInFileInZip.
// Returns the result of the last write (1 = none happened, so that an
// unreadable source never counts as stored).  A thread asked to stop leaves
// the loop at the next block, and its entry counts as not stored.
int PackEntryData(zipFile zip, const std::string& path, int64_t size, void* block) {
  int last = 1;
  intptr_t file = OpenFileForReading(DynamicNumber, path.c_str());
  if (file) {
    int64_t done = 0;
    while (!AtFileEnd(file)) {
      if (ThreadStopRequested()) {
        last = 1;
        break;
      }
      int32_t got = ReadFileBlock(file, block, BlockSize);
      if (got <= 0) break;  // a read error must not spin
      last = zipWriteInFileInZip(zip, block, static_cast<unsigned>(got));
      if (last != ZIP_OK) break;  // the archive's disk is full: no use going on
      done += got;
      Progress(path.c_str(), static_cast<double>(done), static_cast<double>(size));
      Sleep(PauseAfterBlock);
    }
    CloseFile(file);
  }
  EntryDone();
  return last;
}

// One entry of an archive: its time record (from date and the source's
// attributes), its name and, for a file with bytes, its data.  The result is
// zipOpenNewFileInZip's (ZIP_OK, or a negative code and no entry); *stored
// tells whether the file's data was stored whole.
int WriteEntry(zipFile zip, const std::string& path, const std::string& name, int32_t date, bool isDirectory,
               bool* stored) {
  *stored = false;
  zip_fileinfo info = {};
  FillTimeRecord(&info, date, GetFileAttributesA(path.c_str()));
  int err = zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, PackMethod, PackLevel);
  if (err != ZIP_OK) return err;
  int64_t size = isDirectory ? 0 : FileSize(path.c_str());
  if (size != 0) {
    void* block = AllocateTransferBlock();
    if (block) {
      *stored = PackEntryData(zip, path, size, block) == ZIP_OK;
      FreeTransferBlock(block);
    }
  }
  // Closing writes the entry's last compressed bytes: a failure there (a
  // full disk) leaves the entry short.
  if (zipCloseFileInZip(zip) != ZIP_OK) *stored = false;
  return ZIP_OK;
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

// Creates the folder with all its parents.  The system routine copies the
// path into a MAX_PATH buffer of its own, and the ANSI file functions cannot
// reach longer paths anyway: those are left alone (their files then cannot be
// created and are skipped).
void MakePath(const std::string& folder) {
  if (!folder.empty() && folder.size() < MAX_PATH) MakeSureDirectoryPathExists(folder.c_str());
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
  return MakeDate(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

int SetFileDate(const char* path, int32_t date) {
  if (!path) return 0;
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(YearOf(date));
  st.wMonth = static_cast<WORD>(MonthOf(date));
  st.wDayOfWeek = static_cast<WORD>(WeekdayOf(date));
  st.wDay = static_cast<WORD>(DayOf(date));
  st.wHour = static_cast<WORD>(HourOf(date));
  st.wMinute = static_cast<WORD>(MinuteOf(date));
  st.wSecond = static_cast<WORD>(SecondOf(date));
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

bool MatchPattern(const char* nameText, const char* patternText) {
  std::string name = TakeString(LowerCaseString, nameText ? nameText : "");
  std::string pattern = TakeString(LowerCaseString, patternText ? patternText : "");
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
  std::string file = FilePart(std::string(path ? path : ""));
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
  intptr_t listing = ExamineDirectory(DynamicNumber, folderIn.c_str(), "*.*");
  if (!listing) return;
  std::string folder = folderIn;
  // An empty folder stands for the current one and stays relative.
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  const std::string patternBase = BaseName(pattern.c_str());
  const std::string patternExtension = ExtensionPart(pattern);
  while (NextDirectoryEntry(listing)) {
    int32_t mark = GetStringMark();
    std::string entry = DirectoryEntryName(listing, mark);
    SetStringMark(mark);
    std::string full = folder + entry;
    if (DirectoryEntryType(listing) == EntryDirectory) {
      if (entry == ".") {
        if (folderMode == 2) FileListRef().push_back({folder, 1});
      } else if (entry != ".." && folderMode != 0) {
        CollectFiles(folderMode, full, pattern);
      }
    } else if (MatchPattern(BaseName(entry.c_str()).c_str(), patternBase.c_str()) &&
               MatchPattern(ExtensionPart(entry).c_str(), patternExtension.c_str())) {
      FileListRef().push_back({full, 0});
    }
  }
  FinishDirectory(listing);
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
  bool stored = false;
  int err = WriteEntry(zip, path, EntryName(path, PathPart(path), naming), date, false, &stored);
  // The central directory is written on closing; without it nothing can be
  // read from the archive.
  if (packer::CloseArchive(zip) != ZIP_OK) stored = false;
  if (err != ZIP_OK) return err;
  return stored ? 1 : 0;
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
    if (ThreadStopRequested()) break;
    int32_t date = record.isDirectory ? 0 : packer::GetFileDate(record.path.c_str());
    if (date == 0 && !record.isDirectory) continue;
    std::string name = EntryName(record.path, base, naming);
    // The packed folder itself under naming 2, and every folder under the
    // file-part naming, would come out nameless: such entries are left out.
    if (name.empty()) continue;
    bool stored = false;
    if (WriteEntry(zip, record.path, name, date, record.isDirectory != 0, &stored) == ZIP_OK && stored) ++count;
  }
  packer::ClearFileList();
  if (packer::CloseArchive(zip) != ZIP_OK) return 0;
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
  // MakeSureDirectoryPathExists splits at "\" only.
  std::string dest = destination ? destination : "";
  for (char& c : dest)
    if (c == '/') c = '\\';
  if (!dest.empty() && dest.back() != '\\') dest += '\\';

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
    if (!ConfineToDestination(name) || name.empty()) {
      unzCloseCurrentFile(unz);
      EntryDone();
      continue;
    }
    if (keepPaths != 0) MakePath(dest + PathPart(name));
    // A folder entry under a keep-paths value other than 1: its folder has
    // just been made, there is no file to write.
    if (name.back() == '\\') {
      unzCloseCurrentFile(unz);
      EntryDone();
      continue;
    }

    void* block = AllocateTransferBlock();
    if (!block) {
      unzCloseCurrentFile(unz);
      continue;
    }
    const std::string target = dest + name;
    intptr_t out = NewFile(DynamicNumber, target.c_str());
    if (out) {
      int got = 0;
      uLong done = 0;
      bool written = true;
      while ((got = unzReadCurrentFile(unz, block, BlockSize)) > 0) {
        if (WriteFileBlock(out, block, got) != got) written = false;
        done += static_cast<uLong>(got);
        Progress(name.c_str(), static_cast<double>(done), static_cast<double>(size));
      }
      CloseFile(out);
      // The CRC is checked when the entry is closed; a stream that ends
      // early is caught by the byte count.
      int closed = unzCloseCurrentFile(unz);
      if (got == 0 && closed == UNZ_OK && done == size && written) {
        packer::SetFileDate(target.c_str(),
                            MakeDate(info.tmu_date.tm_year, info.tmu_date.tm_mon + 1,
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

void PackerStart() { FileListRef(); }

void PackerEnd() {
  if (g_fileList) g_fileList->clear();
}

}  // namespace kx
