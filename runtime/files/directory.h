// Directory listings (#Directory objects) and single operations on files and
// folders; paths are ANSI strings of at most MAX_PATH characters.
#pragma once

#include <cstdint>

// windows.h maps these to their A/W forms; the runtime's own commands of the
// same names live in namespace kx.
#undef CopyFile
#undef RemoveDirectory

namespace kx {

// The longest path the ANSI file functions take: MAX_PATH less the
// terminator.  The file and directory commands refuse longer paths (their
// failure result) rather than cut them and act on another path.
constexpr int32_t LongestPath = 259;
// 1 when the path is not null and fits within LongestPath characters.
int32_t PathFits(const char* path);

// Kind of an entry.
constexpr int32_t EntryFile = 1;
constexpr int32_t EntryDirectory = 2;

// Nonzero (the object) when the listing started, also when nothing matched.
intptr_t ExamineDirectory(intptr_t directory, const char* folder, const char* pattern);
int32_t NextDirectoryEntry(intptr_t directory);
char* DirectoryEntryName(intptr_t directory, int32_t mark);
int32_t DirectoryEntryType(intptr_t directory);
void FinishDirectory(intptr_t directory);
void DirectoryLibraryEnd();

int32_t MakeDirectory(const char* path);
// Size in bytes; -1 when the path does not exist; -2 for a folder or a drive.
int64_t FileSize(const char* path);
// flags: 1 = also in subfolders, 2 = clear read-only and other attributes
// first.  Nonzero when the folder itself was removed.
int32_t DeleteDirectory(const char* path, const char* pattern, int32_t flags);
int32_t RemoveFile(const char* path);
int32_t CopyFile(const char* source, const char* destination);

char* GetTempDirectory(int32_t mark);
char* GetHomeDirectory(int32_t mark);
char* GetPathPart(const char* path, int32_t mark);
char* GetFilePart(const char* path, int32_t mark);
char* GetExtensionPart(const char* path, int32_t mark);

}  // namespace kx
