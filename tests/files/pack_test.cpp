// The packer at the C++ level: entry names and modes, appending, dates and
// attributes, the progress callback, and unpacking of hostile or damaged
// archives.  Interplay with Info-ZIP is in pack_interplay.sh.
#include <windows.h>

#include <unzip.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/files/pack.h"
#include "tests/support/temp_folder.h"

namespace {

using kx::packer::MatchPattern;

using kxtest::TempFolder;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct Entry {
  std::string name;
  unsigned long size;
  unsigned long method;
  unsigned long flag;
};

std::vector<Entry> ListArchive(const std::string& archive) {
  std::vector<Entry> entries;
  unzFile unz = unzOpen(archive.c_str());
  if (!unz) return entries;
  for (int step = unzGoToFirstFile(unz); step == UNZ_OK; step = unzGoToNextFile(unz)) {
    unz_file_info info = {};
    char name[512] = {};
    unzGetCurrentFileInfo(unz, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0);
    entries.push_back({name, info.uncompressed_size, info.compression_method, info.flag});
  }
  unzClose(unz);
  return entries;
}

std::vector<std::string> Names(const std::string& archive) {
  std::vector<std::string> names;
  for (const Entry& e : ListArchive(archive)) names.push_back(e.name);
  return names;
}

// Archive written with minizip directly, for names and methods the packer
// would never write itself.
void WriteCraftedArchive(const std::string& archive,
                         const std::vector<std::pair<std::string, std::string>>& entries,
                         int method = Z_DEFLATED) {
  zipFile zip = zipOpen(archive.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const auto& [name, data] : entries) {
    zip_fileinfo info = {};
    info.tmz_date = {0, 0, 12, 1, 5, 2020};
    ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                  method ? 9 : 0),
              ZIP_OK);
    if (!data.empty()) zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

std::string Repeated(const std::string& piece, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s += piece;
  return s;
}

struct CallbackLog {
  static std::vector<std::pair<std::string, float>> calls;
  static void Record(const char* name, float percent) { calls.emplace_back(name, percent); }
};
std::vector<std::pair<std::string, float>> CallbackLog::calls;

class Packer : public ::testing::Test {
 protected:
  void SetUp() override {
    CallbackLog::calls.clear();
    kx::SetPackCallback(nullptr);
  }
  void TearDown() override { kx::SetPackCallback(nullptr); }
  TempFolder dir;
};

}  // namespace

TEST(MatchPattern, WildcardRules) {
  EXPECT_TRUE(MatchPattern("readme", "*.*"));  // a dot is appended to a dotless name
  EXPECT_TRUE(MatchPattern(".txt", "*.txt"));  // a star is put before a leading dot
  EXPECT_TRUE(MatchPattern("a", "a*"));
  EXPECT_TRUE(MatchPattern("Notes.TXT", "*.txt"));
  EXPECT_TRUE(MatchPattern("notes.txt", "N?TES.*"));
  EXPECT_TRUE(MatchPattern("x.txt", "*.doc|*.txt"));
  EXPECT_TRUE(MatchPattern("cd", "ab|cd"));
  EXPECT_TRUE(MatchPattern("ab", "ab|cd"));
  EXPECT_TRUE(MatchPattern("ab", "a|ab"));
  EXPECT_TRUE(MatchPattern("data1", "data?"));
  EXPECT_TRUE(MatchPattern("abc", "a*c"));
  EXPECT_TRUE(MatchPattern("\xC4rger.txt", "\xE4*.txt"));  // Latin-1 capitals lowered too
  EXPECT_FALSE(MatchPattern("ab", "a|b"));
  EXPECT_FALSE(MatchPattern("abcd", "ab|cd"));
  EXPECT_FALSE(MatchPattern("a.doc", "*.txt"));
  EXPECT_FALSE(MatchPattern("ac", "a*c*x"));
  EXPECT_TRUE(MatchPattern("a", "a?"));  // "?" takes the appended dot
  EXPECT_TRUE(MatchPattern("", "*.*"));
  EXPECT_FALSE(MatchPattern("", "*.txt"));
  EXPECT_FALSE(MatchPattern("file", ""));
}

TEST(MatchPattern, PathHelpers) {
  EXPECT_EQ(kx::packer::BaseName("C:\\x.y\\archive.tar.gz"), "archive.tar");
  EXPECT_EQ(kx::packer::BaseName("C:\\x.y\\noext"), "noext");
  EXPECT_EQ(kx::packer::BaseName("*.*"), "*");
  EXPECT_EQ(kx::packer::FindLast("a\\b\\c", "\\", 1), 4);
  EXPECT_EQ(kx::packer::FindLast("abc", "\\", 3), 2);
  EXPECT_EQ(kx::packer::FindLast("aaa", "aa", 1), 2);
}

TEST_F(Packer, PackFileResultsAndAppending) {
  const std::string archive = dir / "a.zip";
  WriteText(dir / "one.txt", "first file");
  WriteText(dir / "empty.bin", "");
  WriteText(dir / "two.txt", Repeated("second ", 50000));

  EXPECT_EQ(kx::PackFile(archive.c_str(), (dir / "one.txt").c_str(), 0), 1);
  const std::string before = ReadText(archive);
  // A missing file leaves the archive byte for byte as it was.
  EXPECT_EQ(kx::PackFile(archive.c_str(), (dir / "missing.txt").c_str(), 0), 0);
  EXPECT_EQ(ReadText(archive), before);
  // An empty file gives an entry without data and the result 0.
  EXPECT_EQ(kx::PackFile(archive.c_str(), (dir / "empty.bin").c_str(), 0), 0);
  EXPECT_EQ(kx::PackFile(archive.c_str(), (dir / "two.txt").c_str(), 0), 1);

  std::vector<Entry> entries = ListArchive(archive);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "one.txt");
  EXPECT_EQ(entries[1].name, "empty.bin");
  EXPECT_EQ(entries[1].size, 0u);
  EXPECT_EQ(entries[2].name, "two.txt");
  EXPECT_EQ(entries[2].size, 350000u);
  for (const Entry& e : entries) {
    EXPECT_EQ(e.method, static_cast<unsigned long>(Z_DEFLATED));
    EXPECT_EQ(e.flag, 2u);  // maximum compression
  }
  EXPECT_EQ(kx::packer::ArchiveEntryCount(archive.c_str()), 3);
}

TEST_F(Packer, ArchivesWithoutEntriesAreReplaced) {
  WriteText(dir / "data.txt", "payload");
  const std::string broken = dir / "broken.zip";
  WriteText(broken, "this is not a zip archive at all");
  EXPECT_EQ(kx::packer::ArchiveEntryCount(broken.c_str()), -1);
  EXPECT_EQ(kx::PackFile(broken.c_str(), (dir / "data.txt").c_str(), 0), 1);
  EXPECT_EQ(Names(broken), std::vector<std::string>{"data.txt"});

  // An archive with no entries (PackFolder of nothing) is replaced as well.
  const std::string empty = dir / "empty.zip";
  EXPECT_EQ(kx::PackFolder(empty.c_str(), (dir / "nothing-here\\*.*").c_str(), 0, 0), 0);
  EXPECT_LE(kx::packer::ArchiveEntryCount(empty.c_str()), 0);
  EXPECT_EQ(kx::PackFile(empty.c_str(), (dir / "data.txt").c_str(), 0), 1);
  EXPECT_EQ(Names(empty), std::vector<std::string>{"data.txt"});
}

TEST_F(Packer, NamingModesOfPackFile) {
  CreateDirectoryA((dir / "Sub Dir").c_str(), nullptr);
  const std::string file = dir / "Sub Dir\\file.txt";
  WriteText(file, "x");
  const std::string archive = dir / "names.zip";
  ASSERT_EQ(kx::PackFile(archive.c_str(), file.c_str(), 1), 1);
  ASSERT_EQ(kx::PackFile(archive.c_str(), file.c_str(), 2), 1);
  ASSERT_EQ(kx::PackFile(archive.c_str(), file.c_str(), 7), 1);
  std::string whole = file;
  for (char& c : whole)
    if (c == '\\') c = '/';
  ASSERT_EQ(whole[1], ':');
  EXPECT_EQ(Names(archive), (std::vector<std::string>{whole, "file.txt", "file.txt"}));
}

TEST_F(Packer, FolderModesAndNaming) {
  const std::string src = dir / "src\\";
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA((src + "deep").c_str(), nullptr);
  WriteText(src + "top.txt", "top");
  WriteText(src + "top.dat", "dat");
  WriteText(src + "deep\\inner.txt", "inner");
  WriteText(src + "deep\\zero.txt", "");

  auto pack = [&](const char* name, const std::string& pattern, int naming, int mode) {
    std::string archive = dir / name;
    int count = kx::PackFolder(archive.c_str(), (src + pattern).c_str(), naming, mode);
    std::vector<std::string> names = Names(archive);
    std::sort(names.begin(), names.end());
    return std::make_pair(count, names);
  };
  using Names_ = std::vector<std::string>;
  EXPECT_EQ(pack("m0.zip", "*.*", 2, 0), std::make_pair(2, Names_{"top.dat", "top.txt"}));
  EXPECT_EQ(pack("m1.zip", "*.txt", 2, 1),
            std::make_pair(2, Names_{"deep/inner.txt", "deep/zero.txt", "top.txt"}));
  EXPECT_EQ(pack("m1f.zip", "*.txt", 0, 1),
            std::make_pair(2, Names_{"inner.txt", "top.txt", "zero.txt"}));
  // Mode 2 adds one directory entry per folder (the packed folder itself
  // would be nameless and is left out).
  EXPECT_EQ(pack("m2.zip", "*.*", 2, 2),
            std::make_pair(3, Names_{"deep/", "deep/inner.txt", "deep/zero.txt", "top.dat",
                                     "top.txt"}));
  // A folder argument ending in "\" has an empty pattern: no files.
  EXPECT_EQ(pack("none.zip", "", 2, 1), std::make_pair(0, Names_{}));
}

TEST_F(Packer, CallbackPerBlockAndPerEntry) {
  const std::string file = dir / "big.bin";
  WriteText(file, std::string(250000, 'q'));
  kx::SetPackCallback(CallbackLog::Record);
  const std::string archive = dir / "cb.zip";
  ASSERT_EQ(kx::PackFile(archive.c_str(), file.c_str(), 0), 1);
  ASSERT_EQ(CallbackLog::calls.size(), 4u);
  EXPECT_EQ(CallbackLog::calls[0].first, file);
  EXPECT_FLOAT_EQ(CallbackLog::calls[0].second, 40.96f);
  EXPECT_FLOAT_EQ(CallbackLog::calls[1].second, 81.92f);
  EXPECT_FLOAT_EQ(CallbackLog::calls[2].second, 100.0f);
  EXPECT_EQ(CallbackLog::calls[3].first, "");
  EXPECT_FLOAT_EQ(CallbackLog::calls[3].second, 100.0f);

  CallbackLog::calls.clear();
  ASSERT_EQ(kx::UnpackArchive(archive.c_str(), "", (dir / "out").c_str(), 0), 1);
  ASSERT_EQ(CallbackLog::calls.size(), 4u);
  EXPECT_EQ(CallbackLog::calls[0].first, "big.bin");
  EXPECT_FLOAT_EQ(CallbackLog::calls[1].second, 81.92f);
  EXPECT_EQ(CallbackLog::calls[3].first, "");
  EXPECT_EQ(ReadText(dir / "out\\big.bin"), std::string(250000, 'q'));
}

TEST_F(Packer, UnpackedFilesGetTimeWithoutSecondsAndAttributes) {
  const std::string file = dir / "dated.txt";
  WriteText(file, "dated content");
  SYSTEMTIME local = {2019, 7, 0, 14, 15, 26, 37, 0};
  FILETIME localTime, utc;
  SystemTimeToFileTime(&local, &localTime);
  LocalFileTimeToFileTime(&localTime, &utc);
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetFileTime(h, nullptr, nullptr, &utc);
  CloseHandle(h);
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);

  const std::string archive = dir / "dated.zip";
  ASSERT_EQ(kx::PackFile(archive.c_str(), file.c_str(), 0), 1);
  const std::string out = dir / "out\\nested\\";
  ASSERT_EQ(kx::UnpackArchive(archive.c_str(), "*.txt", out.c_str(), 0), 1);

  const std::string unpacked = out + "dated.txt";
  EXPECT_EQ(ReadText(unpacked), "dated content");
  EXPECT_TRUE(GetFileAttributesA(unpacked.c_str()) & FILE_ATTRIBUTE_READONLY);
  h = CreateFileA(unpacked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                  nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME written, back;
  GetFileTime(h, nullptr, nullptr, &written);
  CloseHandle(h);
  FileTimeToLocalFileTime(&written, &back);
  SYSTEMTIME got;
  FileTimeToSystemTime(&back, &got);
  EXPECT_EQ(got.wYear, 2019);
  EXPECT_EQ(got.wMonth, 7);
  EXPECT_EQ(got.wDay, 14);
  EXPECT_EQ(got.wHour, 15);
  EXPECT_EQ(got.wMinute, 26);
  EXPECT_EQ(got.wSecond, 0);
  // The packer's own date value round-trips through SetFileDate/GetFileDate.
  int32_t date = kx::packer::GetFileDate(unpacked.c_str());
  EXPECT_EQ(date % 60, 0);
  EXPECT_EQ(kx::packer::GetFileDate((dir / "missing").c_str()), 0);
}

TEST_F(Packer, KeepPathsWithDrivePrefixedNames) {
  const std::string src = dir / "tree\\";
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA((src + "sub").c_str(), nullptr);
  WriteText(src + "sub\\leaf.txt", "leaf");
  const std::string archive = dir / "abs.zip";
  ASSERT_EQ(kx::PackFolder(archive.c_str(), (src + "*.*").c_str(), 1, 2), 1);

  // keep-paths 1: the path without its drive, recreated below the destination.
  const std::string keep = dir / "keep";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "*.*", keep.c_str(), 1), 1);
  std::string relative = (src + "sub\\leaf.txt").substr(3);
  EXPECT_EQ(ReadText(keep + "\\" + relative), "leaf");

  // keep-paths 0: only the file part.
  const std::string flat = dir / "flat";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "", flat.c_str(), 0), 1);
  EXPECT_EQ(ReadText(flat + "\\leaf.txt"), "leaf");
}

TEST_F(Packer, HostileNamesStayInsideTheDestination) {
  const std::string archive = dir / "hostile.zip";
  WriteCraftedArchive(archive, {{"../escape1.txt", "one"},
                                {"..\\escape2.txt", "two"},
                                {"inner/../../escape3.txt", "three"},
                                {"/rooted.txt", "four"},
                                {"\\\\rooted2.txt", "five"},
                                {"C:drive.txt", "six"},
                                {"ok/./fine.txt", "seven"},
                                {"ok/...", "eight"},
                                {"ok/Aux.txt", "nine"},
                                {"nul", "ten"}});
  const std::string base = dir / "base\\";
  CreateDirectoryA(base.c_str(), nullptr);
  const std::string dest = base + "dest";

  kx::SetPackCallback(CallbackLog::Record);
  int kept = kx::UnpackArchive(archive.c_str(), "", dest.c_str(), 1);
  // Entries with ".." components, names of dots only or device names are
  // skipped; rooted
  // and drive-relative names land below the destination.
  EXPECT_EQ(kept, 4);
  EXPECT_EQ(ReadText(dest + "\\rooted.txt"), "four");
  EXPECT_EQ(ReadText(dest + "\\rooted2.txt"), "five");
  EXPECT_EQ(ReadText(dest + "\\drive.txt"), "six");
  EXPECT_EQ(ReadText(dest + "\\ok\\fine.txt"), "seven");
  int emptyCalls = 0;
  for (const auto& call : CallbackLog::calls)
    if (call.first.empty() && call.second == 100.0f) ++emptyCalls;
  EXPECT_EQ(emptyCalls, 10);

  // keep-paths 0 takes the file part, which cannot climb either.
  const std::string flat = base + "flat";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "", flat.c_str(), 0), 7);
  EXPECT_EQ(ReadText(flat + "\\escape1.txt"), "one");
  EXPECT_EQ(ReadText(flat + "\\escape3.txt"), "three");

  // Nothing was written next to the destinations, nor above the base.
  for (const char* name : {"escape1.txt", "escape2.txt", "escape3.txt", "rooted.txt",
                           "drive.txt"}) {
    EXPECT_FALSE(Exists(base + name)) << name;
    EXPECT_FALSE(Exists(dir / name)) << name;
  }
}

TEST_F(Packer, DamagedEntriesAreNotKept) {
  const std::string good = std::string("intact entry data");
  const std::string text = Repeated("The quick brown fox jumps over the lazy dog. ", 2000);
  for (int method : {Z_DEFLATED, 0}) {
    SCOPED_TRACE(method);
    const std::string archive = dir / (method ? "deflated.zip" : "stored.zip");
    WriteCraftedArchive(archive, {{"damaged.txt", text}, {"good.txt", good}}, method);
    // Flip one byte in the middle of the first entry's data (its local header
    // is 30 bytes plus the name).
    std::string bytes = ReadText(archive);
    unzFile unz = unzOpen(archive.c_str());
    unzGoToFirstFile(unz);
    unz_file_info info = {};
    unzGetCurrentFileInfo(unz, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    unzClose(unz);
    size_t at = 30 + strlen("damaged.txt") + info.compressed_size / 2;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
    WriteText(archive, bytes);

    CallbackLog::calls.clear();
    kx::SetPackCallback(CallbackLog::Record);
    const std::string out = dir / (method ? "out1" : "out0");
    EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "", out.c_str(), 0), 1);
    EXPECT_FALSE(Exists(out + "\\damaged.txt"));
    EXPECT_EQ(ReadText(out + "\\good.txt"), good);
    ASSERT_GE(CallbackLog::calls.size(), 2u);
    EXPECT_EQ(CallbackLog::calls.back().first, "");
    int emptyCalls = 0;
    for (const auto& call : CallbackLog::calls)
      if (call.first.empty() && call.second == 100.0f) ++emptyCalls;
    EXPECT_EQ(emptyCalls, 2);
  }
}

TEST_F(Packer, UnpackPatternAndUncreatableFiles) {
  const std::string archive = dir / "mixed.zip";
  WriteCraftedArchive(archive, {{"docs/", ""}, {"docs/a.txt", "a"}, {"docs/b.dat", "b"},
                                {"empty.txt", ""}});
  const std::string out = dir / "pat";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "*.txt", out.c_str(), 0), 2);
  EXPECT_TRUE(Exists(out + "\\a.txt"));
  EXPECT_TRUE(Exists(out + "\\empty.txt"));
  EXPECT_FALSE(Exists(out + "\\b.dat"));
  // keep-paths 1 takes directory entries and empty files whatever the pattern.
  const std::string kept = dir / "kept";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "*.dat", kept.c_str(), 1), 2);
  EXPECT_TRUE(IsFolder(kept + "\\docs"));
  EXPECT_TRUE(Exists(kept + "\\docs\\b.dat"));
  EXPECT_TRUE(Exists(kept + "\\empty.txt"));
  EXPECT_FALSE(Exists(kept + "\\docs\\a.txt"));

  // A file that cannot be created is skipped, and the callback still gets
  // its ("", 100.0).
  CreateDirectoryA((dir / "blocked").c_str(), nullptr);
  CreateDirectoryA((dir / "blocked\\empty.txt").c_str(), nullptr);
  CallbackLog::calls.clear();
  kx::SetPackCallback(CallbackLog::Record);
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "empty.txt", (dir / "blocked").c_str(), 0), 0);
  ASSERT_EQ(CallbackLog::calls.size(), 1u);
  EXPECT_EQ(CallbackLog::calls[0].first, "");
  EXPECT_EQ(kx::UnpackArchive((dir / "missing.zip").c_str(), "", out.c_str(), 0), 0);
}

TEST_F(Packer, FolderEntriesAndSlashedDestinations) {
  const std::string archive = dir / "folders.zip";
  WriteCraftedArchive(archive, {{"empty dir/", ""}, {"sub/a.txt", "a"}});
  // Any keep-paths value other than 0 and 1 also recreates folders, the
  // empty ones of folder entries included.
  const std::string two = dir / "two";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "*.*", two.c_str(), 2), 1);
  EXPECT_TRUE(IsFolder(two + "\\empty dir"));
  EXPECT_EQ(ReadText(two + "\\sub\\a.txt"), "a");

  // A destination written with "/" is created with all its parents.
  std::string slashed = dir / "s1\\s2\\s3";
  for (char& c : slashed)
    if (c == '\\') c = '/';
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "", slashed.c_str(), 1), 1);
  EXPECT_EQ(ReadText(dir / "s1\\s2\\s3\\sub\\a.txt"), "a");
  EXPECT_TRUE(IsFolder(dir / "s1\\s2\\s3\\empty dir"));
}

TEST_F(Packer, OverlongEntryNamesAreSkipped) {
  // Folders longer than the ANSI path limit: creating them used to overrun
  // the system routine's path buffer.
  const std::string deep = "d/" + std::string(200, 'x') + "/" + std::string(200, 'y') + "/";
  const std::string archive = dir / "long.zip";
  WriteCraftedArchive(archive, {{deep, ""}, {deep + "file.txt", "long"}, {"short.txt", "s"}});
  kx::SetPackCallback(CallbackLog::Record);
  const std::string out = dir / "long";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "", out.c_str(), 1), 1);
  EXPECT_EQ(ReadText(out + "\\short.txt"), "s");
  EXPECT_EQ(CallbackLog::calls.back().first, "");
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "", out.c_str(), 2), 1);
  // keep-paths 0 flattens the long entry into a short name.
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "", (dir / "flat").c_str(), 0), 2);
  EXPECT_EQ(ReadText(dir / "flat\\file.txt"), "long");
}

TEST_F(Packer, EntryNamesInTheOemCodePage) {
  // ANSI (Windows-1252) u-umlaut and sharp s are 0x81 and 0xE1 in the OEM
  // code pages; the euro sign has no OEM letter and is stored as the
  // conversion maps it.
  const std::string umlauts = "Gr\xFC\xDF" "e.txt";
  const std::string euro = "Preis \x80.txt";
  WriteText(dir / umlauts, "oem");
  WriteText(dir / euro, "euro");
  const std::string archive = dir / "oem.zip";
  ASSERT_EQ(kx::PackFile(archive.c_str(), (dir / umlauts).c_str(), 0), 1);
  ASSERT_EQ(kx::PackFile(archive.c_str(), (dir / euro).c_str(), 0), 1);
  std::string euroOem = euro;
  CharToOemA(euroOem.data(), euroOem.data());
  EXPECT_EQ(Names(archive), (std::vector<std::string>{"Gr\x81\xE1" "e.txt", euroOem}));

  // Unpacking maps the name back.
  const std::string out = dir / "oem";
  EXPECT_EQ(kx::UnpackArchive(archive.c_str(), "gr*.txt", out.c_str(), 0), 1);
  EXPECT_EQ(ReadText(out + "\\" + umlauts), "oem");
}

TEST_F(Packer, PackFolderCallsBackOnlyForFilesWithData) {
  const std::string src = dir / "cbsrc\\";
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA((src + "sub").c_str(), nullptr);
  WriteText(src + "a.txt", std::string(150000, 'a'));
  WriteText(src + "empty.txt", "");
  WriteText(src + "sub\\b.txt", "b");
  kx::SetPackCallback(CallbackLog::Record);
  ASSERT_EQ(kx::PackFolder((dir / "cb.zip").c_str(), (src + "*.*").c_str(), 2, 2), 2);
  // Per file with data: one call per block with the source path, then ("", 100).
  std::vector<std::pair<std::string, float>> a = {
      {src + "a.txt", static_cast<float>(102400.0 / 150000.0 * 100.0)}, {src + "a.txt", 100.0f}, {"", 100.0f}};
  std::vector<std::pair<std::string, float>> b = {{src + "sub\\b.txt", 100.0f}, {"", 100.0f}};
  std::vector<std::pair<std::string, float>> ab = a, ba = b;
  ab.insert(ab.end(), b.begin(), b.end());
  ba.insert(ba.end(), a.begin(), a.end());
  std::string seen;
  for (const auto& [name, percent] : CallbackLog::calls)
    seen += name + " " + std::to_string(percent) + "\n";
  EXPECT_TRUE(CallbackLog::calls == ab || CallbackLog::calls == ba) << seen;
}
