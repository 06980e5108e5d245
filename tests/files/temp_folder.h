// A fresh folder below the system's temporary folder for one test, removed
// with everything in it afterwards.
#pragma once

#include <windows.h>

#include <string>

namespace kxtest {

class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH + 1];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    path_ = std::string(base) + "velmora_files_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() { Remove(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  // Writes the bytes as they are, with the system's own calls.
  static void Write(const std::string& file, const std::string& bytes) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
  }
  static std::string Read(const std::string& file) {
    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
  }

 private:
  static void Remove(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string item = folder + "\\" + name;
        SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Remove(item);
        } else {
          DeleteFileA(item.c_str());
        }
      } while (FindNextFileA(h, &entry));
      FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
  }

  std::string path_;
};

}  // namespace kxtest
