// Pack archives: a file or the files of a folder packed into one ZIP archive
// (through minizip, deflate level 9), and an archive unpacked into a folder.
//
// Entry names are stored in the OEM code page with "/" separators.  Data moves
// in blocks of 102400 bytes; after every packed block the packer sleeps 10 ms
// so that the program's other threads get processor time.  A progress
// callback, if set, is called after every block and once with ("", 100.0)
// after each entry.
//
// A thread asked to stop (ThreadStopRequested, runtime/core/threads.h)
// leaves the block loop at the next block: its entry counts as not stored.
//
// The file list used by PackFolder and the callback are shared by the whole
// program and not locked: one PackFolder at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx {

// Progress callback: the source path (packing) or the entry's path name
// (unpacking) and the percentage of the entry done.
using PackCallback = void (*)(const char* name, float percent);

// 1 when the file's data was stored; 0 when the file could not be dated or
// opened, the archive could not be opened, or the file is empty (the entry
// is then stored without data); a negative zip error code when the entry
// could not be started.  Naming: 1 = whole source path, 2 = the source path
// with every occurrence of the base folder removed (the file's folder here,
// the packed folder for PackFolder: paths relative to it), other = file part
// only.
int PackFile(const char* archive, const char* file, int naming);

// folderWithPattern: a folder path followed by a file pattern ("C:\x\*.*").
// Folder mode 0 = files of the folder only, 1 = also of all subfolders,
// 2 = as 1 plus one directory entry per folder visited.  Returns the number
// of files whose data was stored (empty files and directory entries are not
// counted); 0 if the archive could not be opened.
int PackFolder(const char* archive, const char* folderWithPattern, int naming, int folderMode);

// Unpacks the entries whose file part matches the pattern ("" = "*.*") into
// the destination folder (created with its parents).  keepPaths 0 writes
// every entry as its file part; otherwise the entry's folders are recreated
// below the destination (a drive prefix is dropped) and, with keepPaths 1,
// directory entries and empty files are always taken.  No entry is ever
// written outside the destination.  Returns the number of files written
// completely with correct data.
int UnpackArchive(const char* archive, const char* pattern, const char* destination, int keepPaths);

// Sets the progress callback (nullptr = none).  Returns 0.
int SetPackCallback(PackCallback callback);

// Program start and end (kx::RuntimeStart / RuntimeEnd).
void PackerStart();
void PackerEnd();

// ---- internal operations (used by the commands above; open for tests) -----
namespace packer {

// Last-write time of the file as a date value (local wall-clock seconds since
// 1970); 0 if the file cannot be opened.
int32_t GetFileDate(const char* path);
// Sets the last-write time from a date value; nonzero on success.
int SetFileDate(const char* path, int32_t date);
// Entries of the archive at path, -1 if it is not a readable archive.
int ArchiveEntryCount(const char* path);
// minizip handle, adding to the archive when it has entries, else a new
// archive replacing whatever stood at the path; nullptr on failure.
void* OpenArchiveForAdding(const char* path);
int CloseArchive(void* handle);

// Case-insensitive wildcard match with "*", "?" and "|" between alternatives.
bool MatchPattern(const char* name, const char* pattern);
// File part of the path, cut before its last "." if it has one.
std::string BaseName(const char* path);
// Position (1-based) of the last occurrence of find at or after start, or
// start - 1 if there is none.
int FindLast(const char* text, const char* find, int start);

struct FileRecord {
  std::string path;
  int isDirectory;
};
// Appends the files of folder matching pattern to the file list (and, with
// folder mode 2, the folders), depth first in listing order.
void CollectFiles(int folderMode, const std::string& folder, const std::string& pattern);
// The file list itself (tests).
const std::vector<FileRecord>& FileList();
void ClearFileList();

}  // namespace packer
}  // namespace kx
