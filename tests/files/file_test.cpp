// File objects: the shared read/write buffer and its mode switches, the three
// open operations, line reading in the three formats, text writing, length
// and position, numbers and identities, the checks and the debugger list.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/files/directory.h"
#include "runtime/files/file.h"
#include "support/report_recorder.h"

namespace {

using kxtest::TempFolder;

std::string Line(intptr_t file, int32_t format = 0) {
  const int32_t mark = kx::GetStringMark();
  std::string line = kx::ReadFileLine(file, format, mark);
  kx::SetStringMark(mark);
  return line;
}

std::string ReadBlock(intptr_t file, int32_t length) {
  std::string bytes(static_cast<size_t>(length), '\0');
  bytes.resize(static_cast<size_t>(kx::ReadFileBlock(file, bytes.data(), length)));
  return bytes;
}

int32_t WriteBlock(intptr_t file, const std::string& bytes) {
  return kx::WriteFileBlock(file, bytes.data(), static_cast<int32_t>(bytes.size()));
}

class FileTest : public testing::Test {
 protected:
  void TearDown() override { kx::CloseAllFiles(); }
  TempFolder folder;
};

// ---- buffer and mode switches --------------------------------------------------

TEST_F(FileTest, ReadAfterWriteContinuesBehindTheWrittenBytes) {
  const std::string path = folder / "a.bin";
  TempFolder::Write(path, "0123456789abcdefghij");
  ASSERT_NE(kx::OpenFile(0, path.c_str()), 0);
  EXPECT_EQ(WriteBlock(0, "XXXXXXXXXX"), 10);
  EXPECT_EQ(ReadBlock(0, 5), "abcde");
  EXPECT_EQ(kx::Loc(0), 15);
  kx::CloseFile(0);
  EXPECT_EQ(TempFolder::Read(path), "XXXXXXXXXXabcdefghij");
}

TEST_F(FileTest, WriteAfterReadLandsAtTheLogicalPosition) {
  const std::string path = folder / "b.bin";
  TempFolder::Write(path, "0123456789");
  ASSERT_NE(kx::OpenFile(1, path.c_str()), 0);
  EXPECT_EQ(ReadBlock(1, 1), "0");
  EXPECT_EQ(kx::Loc(1), 1);
  EXPECT_EQ(WriteBlock(1, "abc"), 3);
  EXPECT_EQ(kx::Loc(1), 4);
  EXPECT_EQ(ReadBlock(1, 10), "456789");
  kx::CloseFile(1);
  EXPECT_EQ(TempFolder::Read(path), "0abc456789");
}

TEST_F(FileTest, PendingOutputCountsInLengthAndPosition) {
  const std::string path = folder / "c.bin";
  ASSERT_NE(kx::NewFile(2, path.c_str()), 0);
  EXPECT_EQ(WriteBlock(2, "12345"), 5);
  EXPECT_EQ(kx::Loc(2), 5);
  EXPECT_EQ(kx::Lof(2), 5);  // flushes
  EXPECT_EQ(TempFolder::Read(path), "12345");
}

TEST_F(FileTest, WritesAroundTheBufferSize) {
  const std::string path = folder / "d.bin";
  ASSERT_NE(kx::NewFile(3, path.c_str()), 0);
  std::string expected;
  // 4000 buffered, then exactly the free room: flushed first, then buffered.
  const std::string first(4000, 'a'), room(96, 'b');
  EXPECT_EQ(WriteBlock(3, first), 4000);
  EXPECT_EQ(TempFolder::Read(path), "");
  EXPECT_EQ(WriteBlock(3, room), 96);
  EXPECT_EQ(TempFolder::Read(path), first);
  // 4096 bytes or more go straight to the file (after the pending 96).
  const std::string large(5000, 'c');
  EXPECT_EQ(WriteBlock(3, large), 5000);
  EXPECT_EQ(TempFolder::Read(path), first + room + large);
  EXPECT_EQ(kx::Loc(3), 9096);
  kx::CloseFile(3);
  EXPECT_EQ(kx::Loc(3), -1);
  EXPECT_EQ(kx::Lof(3), -1);
}

TEST_F(FileTest, LargeAndSmallReadsAcrossRefills) {
  const std::string path = folder / "e.bin";
  std::string data;
  for (int i = 0; i < 20000; ++i) data += static_cast<char>('A' + i % 23);
  TempFolder::Write(path, data);
  ASSERT_NE(kx::OpenFileForReading(4, path.c_str()), 0);
  std::string got = ReadBlock(4, 3);
  got += ReadBlock(4, 5000);  // straight read after the read-ahead
  got += ReadBlock(4, 7);
  while (!kx::AtFileEnd(4)) got += ReadBlock(4, 1000);
  EXPECT_EQ(got, data);
  EXPECT_EQ(ReadBlock(4, 10), "");
  EXPECT_EQ(kx::Loc(4), 20000);
  EXPECT_EQ(kx::Lof(4), 20000);
}

// Mixed reads, writes, line reads and end tests against a plain model of the
// file (its bytes and one logical position).  The operation sizes straddle the
// buffer size so that refills, straight transfers, mode switches and put-backs
// meet at every kind of boundary.
TEST_F(FileTest, MixedOperationsMatchAPlainModel) {
  const std::string path = folder / "model.bin";
  std::string model;
  for (int i = 0; i < 9000; ++i) model += "ab\r\ncd\rx\n\0"[i % 11];
  TempFolder::Write(path, model);
  ASSERT_NE(kx::OpenFile(22, path.c_str()), 0);
  size_t position = 0;
  uint32_t seed = 12345;
  auto next = [&](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
  };
  const int32_t sizes[] = {1, 2, 3, 7, 100, 4095, 4096, 4097, 6000};
  for (int step = 0; step < 3000; ++step) {
    const int32_t n = sizes[next(9)];
    switch (next(6)) {
      case 0: {  // read a block
        const std::string expected = position < model.size() ? model.substr(position, n) : "";
        ASSERT_EQ(ReadBlock(22, n), expected) << "step " << step;
        position += expected.size();
        break;
      }
      case 1: {  // write a block
        std::string bytes;
        for (int32_t i = 0; i < n; ++i) bytes += static_cast<char>('A' + next(26));
        ASSERT_EQ(WriteBlock(22, bytes), n) << "step " << step;
        if (model.size() < position + bytes.size()) model.resize(position + bytes.size());
        model.replace(position, bytes.size(), bytes);
        position += bytes.size();
        break;
      }
      case 2: {  // read a line
        std::string expected;
        while (position < model.size()) {
          const char c = model[position++];
          if (c == '\n' || c == 0) break;
          if (c == '\r') {
            if (position < model.size() && model[position] == '\n') ++position;
            break;
          }
          expected += c;
        }
        ASSERT_EQ(Line(22), expected) << "step " << step;
        break;
      }
      case 3:
        ASSERT_EQ(kx::AtFileEnd(22) != 0, position >= model.size()) << "step " << step;
        break;
      case 4:
        ASSERT_EQ(kx::Loc(22), static_cast<int64_t>(position)) << "step " << step;
        break;
      case 5:
        ASSERT_EQ(kx::Lof(22), static_cast<int64_t>(model.size())) << "step " << step;
        break;
    }
    if (position >= model.size() && next(4) == 0) {
      // Start over from the beginning under the same number.
      ASSERT_NE(kx::OpenFile(22, path.c_str()), 0);
      position = 0;
    }
  }
  kx::CloseFile(22);
  EXPECT_EQ(TempFolder::Read(path), model);
}

// ---- open operations -------------------------------------------------------------

TEST_F(FileTest, OpenOperations) {
  const std::string existing = folder / "old.txt";
  TempFolder::Write(existing, "old content");
  ASSERT_NE(kx::NewFile(5, existing.c_str()), 0);
  EXPECT_EQ(kx::Lof(5), 0);  // emptied
  kx::CloseFile(5);

  const std::string created = folder / "new.txt";
  ASSERT_NE(kx::OpenFile(5, created.c_str()), 0);
  EXPECT_EQ(TempFolder::Read(created), "");
  kx::CloseFile(5);

  kxtest::ReportRecorder recorder;
  EXPECT_EQ(kx::OpenFileForReading(6, (folder / "missing.txt").c_str()), 0);
  EXPECT_EQ(kx::IsFileObject(6), 0);
  EXPECT_EQ(kx::OpenFileForReading(kx::DynamicNumber, (folder / "missing.txt").c_str()), 0);
  EXPECT_EQ(kx::NewFile(7, (folder / "no folder\\x.txt").c_str()), 0);
  EXPECT_EQ(recorder.count(), 0u);
}

TEST_F(FileTest, NamesBeyondTheLimitAreRefusedNeverCut) {
  const std::string base = folder.path() + "\\";
  const std::string longest = base + std::string(kx::LongestPath - base.size(), 'f');
  ASSERT_NE(kx::NewFile(1, longest.c_str()), 0);
  EXPECT_EQ(WriteBlock(1, "ok"), 2);
  kx::CloseFile(1);
  EXPECT_EQ(TempFolder::Read(longest), "ok");

  // One character more: refused by all three, and nothing is created.
  const std::string over = longest + "g";
  EXPECT_EQ(kx::NewFile(2, over.c_str()), 0);
  EXPECT_EQ(kx::OpenFile(kx::DynamicNumber, over.c_str()), 0);
  EXPECT_EQ(kx::OpenFileForReading(3, (longest + std::string(100, 'h')).c_str()), 0);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((base + "*g").c_str(), &entry);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(FileTest, NewFileEmptiesAHiddenFile) {
  // Re-creating a hidden file with normal attributes is refused by the
  // system; the file is then emptied in place.
  const std::string path = folder / "hidden.txt";
  TempFolder::Write(path, "secret");
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(kx::NewFile(5, path.c_str()), 0);
  EXPECT_EQ(WriteBlock(5, "new"), 3);
  kx::CloseFile(5);
  EXPECT_EQ(TempFolder::Read(path), "new");
}

TEST_F(FileTest, FixedNumberGivesTheHandleDynamicNumberTheIdentity) {
  const std::string path = folder / "f.txt";
  TempFolder::Write(path, "");
  const intptr_t handle = kx::NewFile(8, (folder / "g.txt").c_str());
  ASSERT_NE(handle, 0);
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(handle), &flags));

  const intptr_t first = kx::OpenFileForReading(kx::DynamicNumber, path.c_str());
  const intptr_t second = kx::OpenFileForReading(kx::DynamicNumber, path.c_str());
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, second);
  EXPECT_NE(kx::IsFileObject(first), 0);
  EXPECT_EQ(kx::Lof(first), 0);
  kx::CloseFile(first);
  EXPECT_EQ(kx::IsFileObject(first), 0);
  EXPECT_NE(kx::IsFileObject(second), 0);
}

TEST_F(FileTest, ReusingANumberClosesTheFirstFileWithItsOutput) {
  const std::string first = folder / "first.txt";
  const std::string second = folder / "second.txt";
  const intptr_t handle = kx::NewFile(9, first.c_str());
  ASSERT_NE(handle, 0);
  WriteBlock(9, "pending");
  const intptr_t again = kx::NewFile(9, second.c_str());
  ASSERT_NE(again, 0);
  EXPECT_EQ(TempFolder::Read(first), "pending");
  DWORD flags = 0;
  if (again != handle) {
    EXPECT_FALSE(GetHandleInformation(reinterpret_cast<HANDLE>(handle), &flags));
  }
}

TEST_F(FileTest, CloseAllFilesWritesPendingOutput) {
  const std::string a = folder / "all_a.txt", b = folder / "all_b.txt";
  ASSERT_NE(kx::NewFile(10, a.c_str()), 0);
  const intptr_t dynamic = kx::NewFile(kx::DynamicNumber, b.c_str());
  ASSERT_NE(dynamic, 0);
  WriteBlock(10, "one");
  WriteBlock(dynamic, "two");
  kx::CloseAllFiles();
  EXPECT_EQ(TempFolder::Read(a), "one");
  EXPECT_EQ(TempFolder::Read(b), "two");
  EXPECT_EQ(kx::IsFileObject(10), 0);
  EXPECT_EQ(kx::IsFileObject(dynamic), 0);
}

// ---- lines ----------------------------------------------------------------------------

TEST_F(FileTest, LineEnds) {
  const std::string path = folder / "lines.txt";
  TempFolder::Write(path, std::string("a\r\nb\rc\n\nd\0e\nlast", 16));
  ASSERT_NE(kx::OpenFileForReading(11, path.c_str()), 0);
  EXPECT_EQ(Line(11), "a");
  EXPECT_EQ(Line(11), "b");
  EXPECT_EQ(Line(11), "c");
  EXPECT_EQ(Line(11), "");
  EXPECT_EQ(Line(11), "d");  // a zero byte ends the line
  EXPECT_EQ(Line(11), "e");
  EXPECT_EQ(kx::AtFileEnd(11), 0);
  EXPECT_EQ(Line(11), "last");
  EXPECT_NE(kx::AtFileEnd(11), 0);
  EXPECT_EQ(Line(11), "");
}

TEST_F(FileTest, LoneCarriageReturnAtTheEnd) {
  const std::string path = folder / "cr.txt";
  TempFolder::Write(path, "x\r");
  ASSERT_NE(kx::OpenFileForReading(12, path.c_str()), 0);
  EXPECT_EQ(Line(12), "x");
  EXPECT_NE(kx::AtFileEnd(12), 0);
}

TEST_F(FileTest, LongLineAcrossBufferRefills) {
  const std::string path = folder / "long.txt";
  std::string line;
  for (int i = 0; i < 10000; ++i) line += static_cast<char>('a' + i % 26);
  TempFolder::Write(path, line + "\r\n" + line + "\n");
  ASSERT_NE(kx::OpenFileForReading(13, path.c_str()), 0);
  EXPECT_EQ(Line(13), line);
  EXPECT_EQ(Line(13), line);
  EXPECT_NE(kx::AtFileEnd(13), 0);
}

TEST_F(FileTest, CarriageReturnOnABufferBoundary) {
  // The byte after the CR is the first of the next refill; putting it back
  // must leave it for the next line.
  const std::string path = folder / "boundary.txt";
  std::string first(4095, 'q');
  TempFolder::Write(path, first + "\rnext\n");
  ASSERT_NE(kx::OpenFileForReading(14, path.c_str()), 0);
  EXPECT_EQ(Line(14), first);
  EXPECT_EQ(Line(14), "next");
}

TEST_F(FileTest, Utf16UnitAfterACarriageReturnAcrossARefill) {
  // One odd byte first, so that the UTF-16 unit after the CR is split between
  // two fillings of the buffer; putting it back must not lose or mangle it.
  const std::string path = folder / "split16.txt";
  std::string bytes = "#";
  for (int i = 0; i < 2046; ++i) bytes += std::string("a\0", 2);
  bytes += std::string("\r\0x\0y\0\n\0", 8);
  ASSERT_EQ(bytes.size(), 4093u + 8u);
  TempFolder::Write(path, bytes);
  ASSERT_NE(kx::OpenFileForReading(19, path.c_str()), 0);
  EXPECT_EQ(ReadBlock(19, 1), "#");
  EXPECT_EQ(Line(19, 1), std::string(2046, 'a'));
  EXPECT_EQ(Line(19, 1), "xy");
  EXPECT_NE(kx::AtFileEnd(19), 0);
}

TEST_F(FileTest, Utf8Lines) {
  const std::string path = folder / "utf8.txt";
  // "Grüße", a line with the euro sign (above U+00FF), and a plain one; the
  // byte-order mark is not recognised and stays in the first line.
  TempFolder::Write(path, "\xEF\xBB\xBFok\nGr\xC3\xBC\xC3\x9F" "e\r\n5 \xE2\x82\xAC\nplain");
  ASSERT_NE(kx::OpenFileForReading(15, path.c_str()), 0);
  EXPECT_EQ(Line(15, 2), "");  // U+FEFF is above U+00FF
  EXPECT_EQ(Line(15, 2), "Gr\xFC\xDF" "e");
  EXPECT_EQ(Line(15, 2), "");
  EXPECT_EQ(Line(15, 2), "plain");
}

TEST_F(FileTest, Utf16Lines) {
  const std::string path = folder / "utf16.txt";
  const wchar_t text[] = L"one\r\ntw\x00F6\rthree\n";
  TempFolder::Write(path, std::string(reinterpret_cast<const char*>(text), (sizeof text) - 2));
  ASSERT_NE(kx::OpenFileForReading(16, path.c_str()), 0);
  EXPECT_EQ(Line(16, 1), "one");
  EXPECT_EQ(Line(16, 1), "tw\xF6");
  EXPECT_EQ(Line(16, 1), "three");
  EXPECT_NE(kx::AtFileEnd(16), 0);
}

TEST_F(FileTest, WriteTextAndLinesInTheThreeFormats) {
  const std::string path = folder / "text.txt";
  ASSERT_NE(kx::NewFile(17, path.c_str()), 0);
  EXPECT_EQ(kx::WriteFileText(17, "", 0), 0);
  EXPECT_EQ(kx::WriteFileText(17, nullptr, 2), 0);
  EXPECT_EQ(kx::WriteFileText(17, "b\xE4r", 0), 3);
  EXPECT_EQ(kx::WriteFileLine(17, "b\xE4r", 2), 2);
  EXPECT_EQ(kx::WriteFileLine(17, "ab", 1), 4);
  kx::CloseFile(17);
  EXPECT_EQ(TempFolder::Read(path), std::string("b\xE4r" "b\xC3\xA4r\r\na\0b\0\r\0\n\0", 17));

  // What was written reads back line by line.
  ASSERT_NE(kx::OpenFile(17, path.c_str()), 0);
  EXPECT_EQ(ReadBlock(17, 3), "b\xE4r");
  EXPECT_EQ(Line(17, 2), "b\xE4r");
  EXPECT_EQ(Line(17, 1), "ab");
}

TEST_F(FileTest, ManySmallWritesAndLines) {
  const std::string path = folder / "many.txt";
  ASSERT_NE(kx::NewFile(18, path.c_str()), 0);
  for (int i = 0; i < 3000; ++i) kx::WriteFileLine(18, std::to_string(i).c_str(), 0);
  kx::CloseFile(18);
  ASSERT_NE(kx::OpenFileForReading(18, path.c_str()), 0);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(Line(18), std::to_string(i));
  EXPECT_NE(kx::AtFileEnd(18), 0);
}

// ---- missing objects and checks -------------------------------------------------

TEST_F(FileTest, MissingObjectsAndChecks) {
  kxtest::ReportRecorder recorder;
  char buffer[8];
  EXPECT_EQ(kx::ReadFileBlock(20, buffer, 8), 0);
  EXPECT_EQ(recorder.lastKey(), "NoObject");
  EXPECT_EQ(recorder.lastText(), "The specified #File is not initialized.");
  recorder.clear();
  EXPECT_EQ(kx::WriteFileBlock(20, buffer, 8), 0);
  EXPECT_EQ(recorder.lastKey(), "NoObject");
  recorder.clear();
  EXPECT_EQ(Line(20), "");
  EXPECT_EQ(recorder.lastKey(), "NoObject");
  recorder.clear();
  EXPECT_EQ(kx::WriteFileText(20, "x", 0), 0);
  EXPECT_EQ(kx::WriteFileLine(20, "x", 0), 0);
  kx::CloseFile(20);
  EXPECT_EQ(recorder.count(), 3u);
  recorder.clear();
  EXPECT_EQ(kx::AtFileEnd(20), 0);
  EXPECT_EQ(kx::Lof(20), -1);
  EXPECT_EQ(kx::Loc(20), -1);
  EXPECT_EQ(kx::IsFileObject(20), 0);
  EXPECT_EQ(recorder.count(), 0u);

  const std::string path = folder / "checks.txt";
  ASSERT_NE(kx::NewFile(21, path.c_str()), 0);
  EXPECT_EQ(kx::ReadFileBlock(21, nullptr, 4), 0);
  EXPECT_EQ(recorder.lastKey(), "NullBuffer");
  recorder.clear();
  EXPECT_EQ(kx::WriteFileBlock(21, nullptr, 4), 0);
  EXPECT_EQ(recorder.lastKey(), "NullBuffer");
  recorder.clear();
  EXPECT_EQ(kx::WriteFileBlock(21, "x", 0), 0);
  EXPECT_EQ(recorder.count(), 0u);

  // Numbers above the check's limit are reported and still work.
  EXPECT_NE(kx::NewFile(1000, (folder / "high.txt").c_str()), 0);
  EXPECT_EQ(recorder.lastKey(), "HighNumber");
  EXPECT_EQ(recorder.lastText(), "#File object number is very high (over 1000), are You sure of that ?");
  EXPECT_NE(kx::IsFileObject(1000), 0);
  recorder.clear();
  EXPECT_EQ(kx::OpenFile(-2, path.c_str()), 0);
  EXPECT_EQ(recorder.lastKey(), "HighNumber");
  recorder.clear();
  EXPECT_NE(kx::OpenFile(999, (folder / "ok.txt").c_str()), 0);
  EXPECT_EQ(recorder.count(), 0u);
}

// ---- debugger list ---------------------------------------------------------------------

TEST_F(FileTest, DebuggerListRows) {
  const std::string path = folder / "list.txt";
  const intptr_t handle = kx::NewFile(3, path.c_str());
  ASSERT_NE(handle, 0);
  WriteBlock(3, "hello");
  const std::string other = folder / "other.txt";
  TempFolder::Write(other, "world");
  const intptr_t dynamic = kx::OpenFileForReading(kx::DynamicNumber, other.c_str());
  ASSERT_NE(dynamic, 0);
  ReadBlock(dynamic, 2);

  // The list as the debugger finds it.
  const kx::DebuggerList* list = kx::FindDebuggerList("KX_LIBRARY_File");
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->title, "File");
  EXPECT_STREQ(list->columns, "#File\t80\tHandle\t200\tLof()\t80\tLoc()\t80");
  EXPECT_EQ(list->flags, kx::DebuggerListRows);

  std::vector<std::string> rows;
  std::vector<intptr_t> objects;
  struct Seen {
    std::vector<std::string>* rows;
    std::vector<intptr_t>* objects;
  } seen = {&rows, &objects};
  auto collect = [](void* context, const char* row, intptr_t object) {
    static_cast<Seen*>(context)->rows->push_back(row);
    static_cast<Seen*>(context)->objects->push_back(object);
  };
  list->walk(collect, &seen);
  ASSERT_EQ(rows.size(), 2u);
  char expected[128];
  snprintf(expected, sizeof expected, "3\t%i ($%X)\t5\t5", static_cast<int>(handle), static_cast<unsigned>(handle));
  EXPECT_EQ(rows[0], expected);
  EXPECT_EQ(objects[0], 3);
  EXPECT_EQ(objects[1], dynamic);
  EXPECT_EQ(rows[1].substr(rows[1].size() - 4), "\t5\t2");
  // Listing leaves pending output where it is (the owner may be suspended in
  // the middle of a write).
  EXPECT_EQ(TempFolder::Read(path), "");

  // Pending output inside an existing file does not lengthen it.
  const std::string longer = folder / "longer.txt";
  TempFolder::Write(longer, "0123456789");
  ASSERT_NE(kx::OpenFile(5, longer.c_str()), 0);
  WriteBlock(5, "abc");
  rows.clear();
  objects.clear();
  list->walk(collect, &seen);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(objects[1], 5);
  EXPECT_EQ(rows[1].substr(rows[1].size() - 5), "\t10\t3");
  EXPECT_EQ(TempFolder::Read(longer), "0123456789");
  kx::CloseFile(5);
  EXPECT_EQ(TempFolder::Read(longer), "abc3456789");
  // The iteration released the table: files can be opened again.
  EXPECT_NE(kx::OpenFile(4, (folder / "after.txt").c_str()), 0);
}

}  // namespace
