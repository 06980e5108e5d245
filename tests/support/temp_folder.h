// Files and folders for tests, made and read with the system's own calls (so
// that a fault of the runtime cannot hide in the check), and a fresh folder
// below the temporary folder that is removed with everything in it.
#pragma once

#include <windows.h>

#include <string>

namespace kxtest {

// A Unix path as the Windows side sees it (drive Z: maps the Unix root).
inline std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Writes the bytes as they are; false if the file cannot be created.
inline bool WriteBytes(const std::string& file, const std::string& bytes) {
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return written == bytes.size();
}

// The whole file, or "<missing>" if it cannot be opened.
inline std::string ReadBytes(const std::string& file) {
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  static char chunk[1 << 16];
  DWORD got = 0;
  while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(h);
  return bytes;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes the folder (with or without a trailing "\") and everything in it,
// read-only files included.
inline void RemoveTree(std::string folder) {
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  WIN32_FIND_DATAA entry;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string item = folder + "\\" + name;
      SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(item);
      } else {
        DeleteFileA(item.c_str());
      }
    } while (FindNextFileA(h, &entry));
    FindClose(h);
  }
  RemoveDirectoryA(folder.c_str());
}

// path() has no trailing "\"; folder / "name" is the path of an entry in it.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH + 1];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    path_ = std::string(base) + "velmora_test_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  static void Write(const std::string& file, const std::string& bytes) { WriteBytes(file, bytes); }
  static std::string Read(const std::string& file) { return ReadBytes(file); }

 private:
  std::string path_;
};

}  // namespace kxtest
