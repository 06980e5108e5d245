// Directory listings, file-system operations and path parts.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>

#include "support/temp_folder.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/files/directory.h"
#include "support/report_recorder.h"

namespace {

using kxtest::TempFolder;

std::string Result(char* (*operation)(const char*, int32_t), const char* path) {
  const int32_t mark = kx::GetStringMark();
  std::string result = operation(path, mark);
  kx::SetStringMark(mark);
  return result;
}

std::string EntryName(intptr_t directory) {
  const int32_t mark = kx::GetStringMark();
  std::string name = kx::DirectoryEntryName(directory, mark);
  kx::SetStringMark(mark);
  return name;
}

// name -> type of every entry of a listing, "." and ".." included.
std::set<std::string> List(intptr_t directory) {
  std::set<std::string> entries;
  while (kx::NextDirectoryEntry(directory)) {
    entries.insert(EntryName(directory) + (kx::DirectoryEntryType(directory) == kx::EntryDirectory ? "/" : ""));
  }
  return entries;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class DirectoryTest : public testing::Test {
 protected:
  TempFolder folder;
};

TEST_F(DirectoryTest, ListsEntriesWithPatterns) {
  TempFolder::Write(folder / "a.txt", "1");
  TempFolder::Write(folder / "b.dat", "22");
  CreateDirectoryA((folder / "sub").c_str(), nullptr);

  ASSERT_NE(kx::ExamineDirectory(0, folder.path().c_str(), ""), 0);
  EXPECT_EQ(List(0), (std::set<std::string>{"./", "../", "a.txt", "b.dat", "sub/"}));
  EXPECT_EQ(kx::NextDirectoryEntry(0), 0);
  kx::FinishDirectory(0);

  // A trailing "\" is not doubled; the pattern applies.
  ASSERT_NE(kx::ExamineDirectory(0, (folder.path() + "\\").c_str(), "*.txt"), 0);
  EXPECT_EQ(List(0), (std::set<std::string>{"a.txt"}));
  kx::FinishDirectory(0);

  const intptr_t dynamic = kx::ExamineDirectory(kx::DynamicNumber, folder.path().c_str(), "*.dat");
  ASSERT_NE(dynamic, 0);
  EXPECT_EQ(List(dynamic), (std::set<std::string>{"b.dat"}));
  kx::FinishDirectory(dynamic);
}

TEST_F(DirectoryTest, EmptyFolderArgumentListsTheCurrentFolder) {
  TempFolder::Write(folder / "current.marker", "");
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA(folder.path().c_str());
  ASSERT_NE(kx::ExamineDirectory(1, "", "*.marker"), 0);
  EXPECT_EQ(List(1), (std::set<std::string>{"current.marker"}));
  kx::FinishDirectory(1);
  ASSERT_NE(kx::ExamineDirectory(1, nullptr, nullptr), 0);
  EXPECT_TRUE(List(1).count("current.marker"));
  kx::FinishDirectory(1);
  SetCurrentDirectoryA(previous);
}

TEST_F(DirectoryTest, NothingMatchingAndMissingFolders) {
  kxtest::ReportRecorder recorder;
  ASSERT_NE(kx::ExamineDirectory(2, folder.path().c_str(), "*.none"), 0);
  EXPECT_EQ(kx::NextDirectoryEntry(2), 0);
  EXPECT_EQ(recorder.count(), 0u);
  kx::FinishDirectory(2);

  EXPECT_EQ(kx::ExamineDirectory(3, (folder / "missing").c_str(), ""), 0);
  EXPECT_EQ(kx::ExamineDirectory(kx::DynamicNumber, (folder / "missing").c_str(), ""), 0);
  EXPECT_EQ(kx::NextDirectoryEntry(3), 0);
  EXPECT_TRUE(recorder.has("NoObject"));
}

TEST_F(DirectoryTest, Checks) {
  kxtest::ReportRecorder recorder;
  ASSERT_NE(kx::ExamineDirectory(10001, folder.path().c_str(), ""), 0);
  EXPECT_EQ(recorder.lastKey(), "HighNumber");
  EXPECT_EQ(recorder.lastText(), "#Directory object number is very high (over 10000), are You sure of that ?");
  kx::FinishDirectory(10001);
  recorder.clear();
  ASSERT_NE(kx::ExamineDirectory(10000, folder.path().c_str(), ""), 0);
  EXPECT_EQ(recorder.count(), 0u);

  // Entry queries before the first NextDirectoryEntry().
  EntryName(10000);
  EXPECT_EQ(recorder.lastKey(), "CallNeededAny");
  EXPECT_EQ(recorder.lastText(), "NextDirectoryEntry() must be successfully called before using this co,mmand.");
  recorder.clear();
  kx::DirectoryEntryType(10000);
  EXPECT_EQ(recorder.lastKey(), "CallNeededAny");
  recorder.clear();
  kx::NextDirectoryEntry(10000);
  EntryName(10000);
  EXPECT_EQ(recorder.count(), 0u);
  kx::FinishDirectory(10000);
  EXPECT_EQ(recorder.count(), 0u);

  // No listing under the number.
  EXPECT_EQ(EntryName(10000), "");
  EXPECT_EQ(recorder.lastKey(), "NoObject");
  EXPECT_EQ(kx::DirectoryEntryType(10000), 0);
  recorder.clear();
  kx::FinishDirectory(10000);
  EXPECT_TRUE(recorder.has("NoObject"));
  EXPECT_TRUE(recorder.has("CallNeededAny"));
  EXPECT_EQ(recorder.reports().back().text,
            "ExamineDirectory() must be successfully called before using this co,mmand.");
  EXPECT_EQ(kx::ExamineDirectory(-2, folder.path().c_str(), ""), 0);
  EXPECT_EQ(recorder.lastKey(), "HighNumber");
}

TEST_F(DirectoryTest, FileSize) {
  TempFolder::Write(folder / "five.bin", "12345");
  TempFolder::Write(folder / "empty.bin", "");
  EXPECT_EQ(kx::FileSize((folder / "five.bin").c_str()), 5);
  EXPECT_EQ(kx::FileSize((folder / "empty.bin").c_str()), 0);
  EXPECT_EQ(kx::FileSize(folder.path().c_str()), -2);
  EXPECT_EQ(kx::FileSize((folder.path() + "\\").c_str()), -2);
  EXPECT_EQ(kx::FileSize((folder.path() + "\\\\").c_str()), -2);
  EXPECT_EQ(kx::FileSize((folder / "missing").c_str()), -1);
  EXPECT_EQ(kx::FileSize((folder / "missing\\").c_str()), -1);
  EXPECT_EQ(kx::FileSize(""), -1);
  EXPECT_EQ(kx::FileSize(nullptr), -1);
  EXPECT_EQ(kx::FileSize("C:"), -2);
  EXPECT_EQ(kx::FileSize("C:\\"), -2);
  EXPECT_EQ(kx::FileSize("z:"), -2);  // Wine maps Z: to the host's root
  // A letter that names no drive.
  char missing[] = "?:";
  const DWORD drives = GetLogicalDrives();
  for (int i = 25; i >= 0; --i) {
    if (!(drives & (1u << i))) {
      missing[0] = static_cast<char>('A' + i);
      break;
    }
  }
  ASSERT_NE(missing[0], '?');
  EXPECT_EQ(kx::FileSize(missing), -1);
}

TEST_F(DirectoryTest, MakeDirectory) {
  EXPECT_NE(kx::MakeDirectory((folder / "made\\\\").c_str()), 0);
  EXPECT_EQ(kx::FileSize((folder / "made").c_str()), -2);
  EXPECT_NE(kx::MakeDirectory((folder / "blank  ").c_str()), 0);
  EXPECT_EQ(kx::FileSize((folder / "blank").c_str()), -2);
  EXPECT_EQ(kx::MakeDirectory((folder / "made").c_str()), 0);  // exists
  EXPECT_EQ(kx::MakeDirectory((folder / "no\\parent").c_str()), 0);
  EXPECT_EQ(kx::MakeDirectory(nullptr), 0);
}

TEST_F(DirectoryTest, DeleteDirectoryRemovesATreeWithReadOnlyFiles) {
  const std::string root = folder / "tree";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA((root + "\\sub").c_str(), nullptr);
  CreateDirectoryA((root + "\\sub\\deeper").c_str(), nullptr);
  TempFolder::Write(root + "\\a.txt", "a");
  TempFolder::Write(root + "\\sub\\b.txt", "b");
  TempFolder::Write(root + "\\sub\\deeper\\c.txt", "c");
  SetFileAttributesA((root + "\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((root + "\\sub\\deeper\\c.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_NE(kx::DeleteDirectory(root.c_str(), "", 3), 0);
  EXPECT_FALSE(Exists(root));
}

TEST_F(DirectoryTest, DeleteDirectoryWithoutFlags) {
  const std::string root = folder / "flat";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA((root + "\\sub").c_str(), nullptr);
  TempFolder::Write(root + "\\a.txt", "a");
  TempFolder::Write(root + "\\sub\\b.txt", "b");
  EXPECT_EQ(kx::DeleteDirectory((root + "\\").c_str(), nullptr, 0), 0);
  EXPECT_FALSE(Exists(root + "\\a.txt"));
  EXPECT_TRUE(Exists(root + "\\sub\\b.txt"));

  // Recursive without clearing attributes: the read-only file stays.
  TempFolder::Write(root + "\\ro.txt", "r");
  SetFileAttributesA((root + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(kx::DeleteDirectory(root.c_str(), "*.*", 1), 0);
  EXPECT_FALSE(Exists(root + "\\sub"));
  EXPECT_TRUE(Exists(root + "\\ro.txt"));

  EXPECT_EQ(kx::DeleteDirectory((folder / "missing").c_str(), "", 3), 0);
  EXPECT_EQ(kx::DeleteDirectory("", "", 3), 0);
  EXPECT_EQ(kx::DeleteDirectory(nullptr, "", 3), 0);
}

TEST_F(DirectoryTest, RecursiveDeleteWithAPatternEntersOnlyMatchingSubfolders) {
  // The pattern applies to subfolder names as well: "keep" is not entered,
  // "x.log" is; the folder itself stays because files remain.
  const std::string root = folder / "logs";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA((root + "\\keep").c_str(), nullptr);
  CreateDirectoryA((root + "\\x.log").c_str(), nullptr);
  TempFolder::Write(root + "\\a.log", "a");
  TempFolder::Write(root + "\\b.txt", "b");
  TempFolder::Write(root + "\\keep\\c.log", "c");
  TempFolder::Write(root + "\\x.log\\d.log", "d");
  EXPECT_EQ(kx::DeleteDirectory(root.c_str(), "*.log", 1), 0);
  EXPECT_FALSE(Exists(root + "\\a.log"));
  EXPECT_TRUE(Exists(root + "\\b.txt"));
  EXPECT_TRUE(Exists(root + "\\keep\\c.log"));
  EXPECT_FALSE(Exists(root + "\\x.log"));  // emptied and removed
}

TEST_F(DirectoryTest, RemoveAndCopyFiles) {
  const std::string source = folder / "source.txt";
  const std::string copy = folder / "copy.txt";
  TempFolder::Write(source, "content");
  TempFolder::Write(copy, "older and longer content");
  EXPECT_NE(kx::CopyFile(source.c_str(), copy.c_str()), 0);
  EXPECT_EQ(TempFolder::Read(copy), "content");
  EXPECT_EQ(kx::CopyFile((folder / "missing").c_str(), copy.c_str()), 0);
  EXPECT_NE(kx::RemoveFile(copy.c_str()), 0);
  EXPECT_FALSE(Exists(copy));
  EXPECT_EQ(kx::RemoveFile(copy.c_str()), 0);
  EXPECT_EQ(kx::RemoveFile(nullptr), 0);
}

// A path of the given total length inside the folder: a name of "n"s.
std::string PathOfLength(const TempFolder& folder, size_t length) {
  return folder / std::string(length - folder.path().size() - 1, 'n');
}

TEST_F(DirectoryTest, PathsBeyondTheLimitAreRefusedNeverCut) {
  // A file at the first 260 characters of a longer path: a cut path would
  // name it.
  const std::string longPath = PathOfLength(folder, 300);
  const std::string cutPath = longPath.substr(0, MAX_PATH);
  HANDLE made = CreateFileA(cutPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE) << "the system takes no 260-character path here";
  DWORD written = 0;
  WriteFile(made, "cut", 3, &written, nullptr);
  CloseHandle(made);
  const std::set<std::string> before = {"./", "../", cutPath.substr(folder.path().size() + 1)};

  EXPECT_EQ(kx::FileSize(longPath.c_str()), -1);
  EXPECT_EQ(kx::RemoveFile(longPath.c_str()), 0);
  EXPECT_EQ(kx::CopyFile(longPath.c_str(), (folder / "copy").c_str()), 0);
  EXPECT_EQ(kx::CopyFile((folder / "..").c_str(), longPath.c_str()), 0);
  EXPECT_EQ(kx::MakeDirectory((longPath + "\\").c_str()), 0);
  std::string longFolder = PathOfLength(folder, 280);
  longFolder[folder.path().size() + 1] = 'm';  // its first 260 characters name nothing yet
  EXPECT_EQ(kx::MakeDirectory(longFolder.c_str()), 0);
  EXPECT_EQ(kx::DeleteDirectory(longPath.c_str(), "*.*", 3), 0);
  EXPECT_EQ(kx::ExamineDirectory(kx::DynamicNumber, longPath.c_str(), "*.*"), 0);
  EXPECT_EQ(kx::ExamineDirectory(kx::DynamicNumber, folder.path().c_str(), std::string(300, '*').c_str()), 0);

  ASSERT_NE(kx::ExamineDirectory(1, folder.path().c_str(), "*.*"), 0);
  EXPECT_EQ(List(1), before);  // nothing made, nothing removed or copied
  kx::FinishDirectory(1);
  EXPECT_EQ(TempFolder::Read(cutPath), "cut");

  // The longest path the system takes still works; trailing separators do
  // not count against it.
  const std::string longest = PathOfLength(folder, kx::LongestPath - 10);
  EXPECT_EQ(kx::MakeDirectory((longest + "\\\\").c_str()), 1);
  EXPECT_EQ(kx::FileSize(longest.c_str()), -2);
  EXPECT_EQ(kx::PathFits(std::string(kx::LongestPath, 'x').c_str()), 1);
  EXPECT_EQ(kx::PathFits(std::string(kx::LongestPath + 1, 'x').c_str()), 0);
  EXPECT_EQ(kx::PathFits(nullptr), 0);
}

TEST(FileSystemPlaces, TempAndHomeDirectories) {
  const int32_t mark = kx::GetStringMark();
  std::string temp = kx::GetTempDirectory(mark);
  kx::SetStringMark(mark);
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_EQ(kx::FileSize(temp.c_str()), -2);
  EXPECT_EQ(temp.find('~'), std::string::npos) << temp;  // the long form

  std::string home = kx::GetHomeDirectory(mark);
  kx::SetStringMark(mark);
  ASSERT_FALSE(home.empty());
  EXPECT_EQ(home.back(), '\\');
  EXPECT_EQ(kx::FileSize(home.c_str()), -2);
}

TEST(PathParts, PathFileAndExtension) {
  EXPECT_EQ(Result(kx::GetPathPart, "C:\\data\\file.txt"), "C:\\data\\");
  EXPECT_EQ(Result(kx::GetPathPart, "C:/data/x/file.txt"), "C:/data/x/");
  EXPECT_EQ(Result(kx::GetPathPart, "\"C:\\data\\file.txt\""), "C:\\data\\");
  EXPECT_EQ(Result(kx::GetPathPart, "C:\\a\\b|C:\\c\\d\\e"), "C:\\a\\");
  EXPECT_EQ(Result(kx::GetPathPart, "file.txt"), "");
  EXPECT_EQ(Result(kx::GetPathPart, nullptr), "");

  EXPECT_EQ(Result(kx::GetFilePart, "C:\\data\\file.txt"), "file.txt");
  EXPECT_EQ(Result(kx::GetFilePart, "\"C:\\data\\file.txt\""), "file.txt");
  EXPECT_EQ(Result(kx::GetFilePart, "\"name.txt\" rest"), "name.txt");
  EXPECT_EQ(Result(kx::GetFilePart, "C:\\data\\"), "");
  EXPECT_EQ(Result(kx::GetFilePart, "plain"), "plain");

  EXPECT_EQ(Result(kx::GetExtensionPart, "C:\\data\\file.tar.gz"), "gz");
  EXPECT_EQ(Result(kx::GetExtensionPart, "\"C:\\data\\file.txt\""), "txt");
  EXPECT_EQ(Result(kx::GetExtensionPart, "C:\\data\\file"), "");
  EXPECT_EQ(Result(kx::GetExtensionPart, "C:\\da.ta\\file"), "");
  EXPECT_EQ(Result(kx::GetExtensionPart, "C:\\data\\.profile"), "profile");
  EXPECT_EQ(Result(kx::GetExtensionPart, ""), "");
}

TEST(PathParts, ArgumentInTheStringBuffer) {
  // The argument is a temporary string at the very mark of the result.
  const int32_t mark = kx::GetStringMark();
  kx::AppendString("C:\\some\\folder\\name.ext");
  std::string path = kx::GetPathPart(kx::GetStringBufferBase() + mark, mark);
  kx::SetStringMark(mark);
  EXPECT_EQ(path, "C:\\some\\folder\\");
  kx::AppendString("C:\\some\\folder\\name.ext");
  std::string file = kx::GetFilePart(kx::GetStringBufferBase() + mark, mark);
  kx::SetStringMark(mark);
  EXPECT_EQ(file, "name.ext");
  kx::AppendString("C:\\some\\folder\\name.ext");
  std::string extension = kx::GetExtensionPart(kx::GetStringBufferBase() + mark, mark);
  kx::SetStringMark(mark);
  EXPECT_EQ(extension, "ext");
}

}  // namespace
