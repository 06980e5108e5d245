// The string runtime: temporary buffer and marks, string variables, the
// string operations and the application-side expression idiom.
#include "runtime/core/strings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "runtime/core/kxstring.h"
#include "support/report_recorder.h"
#include "support/wait_until.h"

namespace {

// Restores the position after each test, as a procedure's end would.
class Strings : public testing::Test {
 protected:
  void SetUp() override { start_ = kx::GetStringMark(); }
  void TearDown() override { kx::SetStringMark(start_); }
  int32_t start_ = 0;
};

std::string At(int32_t mark) { return kx::GetStringBufferBase() + mark; }

TEST_F(Strings, ValueOfStringReadsSignsAndBases) {
  EXPECT_EQ(kx::ValueOfString("  -$ff"), -255);
  EXPECT_EQ(kx::ValueOfString("%101"), 5);
  EXPECT_EQ(kx::ValueOfString("12abc"), 12);
  EXPECT_EQ(kx::ValueOfString("abc"), 0);
  EXPECT_EQ(kx::ValueOfString("\t+42"), 42);
  EXPECT_EQ(kx::ValueOfString("%102"), 2);      // binary stops at the 2
  EXPECT_EQ(kx::ValueOfString("$7FfFfFfFfFfFfFfF"), INT64_MAX);
  EXPECT_EQ(kx::ValueOfString("18446744073709551617"), 1);  // wraps, no error
  EXPECT_EQ(kx::ValueOfString("- 5"), 0);
  EXPECT_EQ(kx::ValueOfString(nullptr), 0);
}

TEST_F(Strings, QuadToStringAtTheLimits) {
  int32_t mark = kx::GetStringMark();
  EXPECT_STREQ(kx::QuadToString(INT32_MIN, mark), "-2147483648");
  EXPECT_EQ(kx::GetStringMark(), mark + 11);  // unused room given back
  EXPECT_STREQ(kx::QuadToString(int64_t{1} << 40, mark), "1099511627776");
  EXPECT_STREQ(kx::QuadToString(INT64_MIN, mark), "-9223372036854775808");
  EXPECT_STREQ(kx::QuadToString(0, mark), "0");
  EXPECT_STREQ(kx::QuadToString(-7, mark), "-7");
}

TEST_F(Strings, FloatToStringDecimals) {
  int32_t mark = kx::GetStringMark();
  EXPECT_STREQ(kx::FloatToString(1.5f, -1, mark), "1.500000");
  EXPECT_STREQ(kx::FloatToString(1.5f, 2, mark), "1.50");
  EXPECT_STREQ(kx::FloatToString(-0.25f, 0, mark), "-0");
  // Capped at 512 decimals: the text is "1." and 512 digits.
  EXPECT_EQ(std::strlen(kx::FloatToString(1.0f, 100000, mark)), 514u);
  EXPECT_EQ(std::strlen(kx::FloatToString(3.4e38f, 512, mark)), 39u + 1 + 512);
}

TEST_F(Strings, PartsOfStringsClampTheirArguments) {
  int32_t m = kx::GetStringMark();
  EXPECT_STREQ(kx::MidString("Velmora", 0, 3, m), "Vel");
  EXPECT_STREQ(kx::MidString("Velmora", 4, 100, m), "mora");
  EXPECT_STREQ(kx::MidString("Velmora", 8, 1, m), "");
  EXPECT_STREQ(kx::MidString("Velmora", 2, -1, m), "");
  EXPECT_STREQ(kx::MidString("Velmora", 2, INT_MAX, m), "elmora");
  EXPECT_STREQ(kx::LeftString("Velmora", 3, m), "Vel");
  EXPECT_STREQ(kx::LeftString("Velmora", -3, m), "");
  EXPECT_STREQ(kx::LeftString("Velmora", 99, m), "Velmora");
  EXPECT_STREQ(kx::RightString("Velmora", 4, m), "mora");
  EXPECT_STREQ(kx::RightString("Velmora", 99, m), "Velmora");
  EXPECT_STREQ(kx::RightString(nullptr, 2, m), "");
  EXPECT_EQ(kx::StringLength("abc"), 3);
  EXPECT_EQ(kx::StringLength(nullptr), 0);
  EXPECT_EQ(kx::MemoryTextLength("abcd"), 4);
  EXPECT_EQ(kx::MemoryTextLength(nullptr), 0);
}

TEST_F(Strings, FindString) {
  EXPECT_EQ(kx::FindString("a.b.c", ".", 1), 2);
  EXPECT_EQ(kx::FindString("a.b.c", ".", 3), 4);
  EXPECT_EQ(kx::FindString("a.b.c", ".", -5), 2);
  EXPECT_EQ(kx::FindString("a.b.c", ".", 6), 0);   // past the end
  EXPECT_EQ(kx::FindString("a.b.c", "", 1), 0);
  EXPECT_EQ(kx::FindString("", "a", 1), 0);
  EXPECT_EQ(kx::FindString("abcabc", "cab", 1), 3);
  EXPECT_EQ(kx::FindString("abcab", "abc", 2), 0);  // match would run past the end
  EXPECT_EQ(kx::FindString("ABC", "b", 1), 0);      // case-sensitive
}

TEST_F(Strings, LowerCaseStringCoversLatin1Capitals) {
  std::string capitals;
  for (int c = 0xC0; c <= 0xDE; c++) capitals += static_cast<char>(c);
  std::string expected;
  for (int c = 0xE0; c <= 0xFE; c++) expected += static_cast<char>(c);
  int32_t m = kx::GetStringMark();
  EXPECT_EQ(std::string(kx::LowerCaseString(capitals.c_str(), m)), expected);
  EXPECT_EQ(static_cast<unsigned char>(kx::LowerCaseString("\xD7", m)[0]), 0xF7);
  EXPECT_STREQ(kx::LowerCaseString("Grosse STRASSE 1\xDF", m), "grosse strasse 1\xDF");
  EXPECT_STREQ(kx::LowerCaseString("@[`{", m), "@[`{");
}

TEST_F(Strings, ReplaceString) {
  int32_t m = kx::GetStringMark();
  EXPECT_STREQ(kx::ReplaceString("a-b-c", "", "xx", 0, 1, m), "a-b-c");
  EXPECT_STREQ(kx::ReplaceString("a-b-c", "", "xx", kx::NoCase, 1, m), "a-b-c");
  EXPECT_STREQ(kx::ReplaceString("a-b-c", "-", "--", 0, 1, m), "a--b--c");
  EXPECT_EQ(kx::GetStringMark(), m + 7);
  EXPECT_STREQ(kx::ReplaceString("a-b-c", "-", "", 0, 1, m), "abc");
  EXPECT_STREQ(kx::ReplaceString("a-b-c", "-", "+", 0, 3, m), "a-b+c");
  EXPECT_STREQ(kx::ReplaceString("a-b-c", "-", "+", 0, 99, m), "a-b-c");
  EXPECT_STREQ(kx::ReplaceString("aaaa", "aa", "b", 0, 1, m), "bb");
  EXPECT_STREQ(kx::ReplaceString("Zip.ZIP.zip", "zip", "7z", 0, 1, m), "Zip.ZIP.7z");
  EXPECT_STREQ(kx::ReplaceString("Zip.ZIP.zip", "zip", "7z", kx::NoCase, 1, m), "7z.7z.7z");
}

TEST_F(Strings, ReplaceStringInPlaceChangesTheText) {
  char path[] = "C:\\Temp\\a\\b.txt";
  int32_t m = kx::GetStringMark();
  EXPECT_STREQ(kx::ReplaceString(path, "\\", "/", kx::InPlace, 1, m), "C:/Temp/a/b.txt");
  EXPECT_STREQ(path, "C:/Temp/a/b.txt");
  char word[] = "abAB";
  kx::ReplaceString(word, "ab", "xy", kx::InPlace | kx::NoCase, 2, m);
  EXPECT_STREQ(word, "abxy");
  // A replacement of another length cannot be written over the text.
  char other[] = "a.b";
  EXPECT_STREQ(kx::ReplaceString(other, ".", "..", kx::InPlace, 1, m), "a.b");
  EXPECT_STREQ(other, "a.b");
}

TEST_F(Strings, RemoveString) {
  int32_t m = kx::GetStringMark();
  EXPECT_STREQ(kx::RemoveString("a, b, c", ", ", 0, m), "abc");
  EXPECT_STREQ(kx::RemoveString("aXbxc", "x", 0, m), "aXbc");
  EXPECT_STREQ(kx::RemoveString("aXbxc", "x", kx::NoCase, m), "abc");
  EXPECT_STREQ(kx::RemoveString("abc", "", 0, m), "abc");
  EXPECT_STREQ(kx::RemoveString(nullptr, "x", 0, m), "");
  EXPECT_EQ(kx::GetStringMark(), m);
}

TEST_F(Strings, SpaceReportsNegativeCounts) {
  kxtest::ReportRecorder recorder;
  int32_t m = kx::GetStringMark();
  EXPECT_STREQ(kx::Space(3, m), "   ");
  EXPECT_EQ(recorder.count(), 0u);
  EXPECT_STREQ(kx::Space(-2, m), "");
  EXPECT_EQ(recorder.lastKey(), "NegativeLength");
}

// Arguments that lie in the buffer, also at the very mark of the result.
TEST_F(Strings, ArgumentsFromTheBufferItself) {
  int32_t m = kx::GetStringMark();
  char* text = kx::ReturnString("one two one", -1, m);
  EXPECT_STREQ(kx::ReplaceString(text, "one", "three", 0, 1, m), "three two three");
  text = kx::GetStringBufferBase() + m;
  EXPECT_STREQ(kx::MidString(text, 7, 3, m), "two");
  text = kx::GetStringBufferBase() + m;
  EXPECT_STREQ(kx::RemoveString(text, "w", 0, m), "to");

  // Text and find string are both earlier temporaries, the result lands
  // after them and the buffer has to move for it.
  int32_t first = kx::GetStringMark();
  kx::Space(40, first);
  kx::EndStringPiece();
  int32_t second = kx::GetStringMark();
  kx::AppendString(" ");
  kx::EndStringPiece();
  int32_t result = kx::GetStringMark();
  char* base = kx::GetStringBufferBase();
  std::string replaced(kx::ReplaceString(base + first, base + second, std::string(1000, 'x').c_str(),
                                         0, 1, result));
  EXPECT_EQ(replaced, std::string(40000, 'x'));
  EXPECT_EQ(At(first), std::string(40, ' '));
  EXPECT_EQ(At(second), " ");
}

// Runs in a thread of its own, whose buffer starts small and must move.
DWORD WINAPI ConcatenateWhileMoving(void* p) {
  auto* failures = static_cast<std::string*>(p);
  auto expect = [failures](bool ok, const char* what) {
    if (!ok) *failures += std::string(what) + "; ";
  };
  kx::ThreadStringStart();
  // Blocks of the string heap next to the new buffer keep it from growing
  // where it is.
  char* neighbours[16] = {};
  for (char*& n : neighbours) kx::InitString(&n, "neighbour");
  // A temporary result first, then a piece so long that the buffer grows.
  int32_t m = kx::GetStringMark();
  int32_t offset = kx::IsInStringBuffer(kx::GetEndPointer());
  char* oldBase = kx::GetStringBufferBase();
  kx::QuadToString(-12, m);
  std::string big(100000, 'b');
  kx::AppendString(big.c_str());
  kx::AppendString("!");
  expect(kx::GetStringBufferBase() != oldBase, "the buffer did not move");
  expect(kx::GetStringBufferBase() + m == "-12" + big + "!", "joined text");
  expect(kx::StringBufferPointer(offset) == kx::GetStringBufferBase() + m, "offset after the move");

  // A piece that is itself a temporary, appended while the buffer moves.
  kx::SetStringMark(m);
  std::string piece(20000, 'p');
  kx::ReturnString(piece.c_str(), -1, m);
  kx::EndStringPiece();
  int32_t joined = kx::GetStringMark();
  // Append copies of it until one of the appends moves the buffer.
  int copies = 0;
  bool moved = false;
  while (!moved && copies < 100) {
    oldBase = kx::GetStringBufferBase();
    kx::AppendString(oldBase + m);
    copies++;
    moved = kx::GetStringBufferBase() != oldBase;
  }
  expect(moved, "the buffer did not move again");
  expect(kx::GetStringBufferBase() + joined == std::string(20000 * copies, 'p'), "joined copies");
  expect(kx::GetStringBufferBase() + m == piece, "the piece itself");
  for (char* n : neighbours) kx::FreeString(n);
  return 0;
}

TEST_F(Strings, ConcatenationThatMovesTheBuffer) {
  std::string failures;
  HANDLE thread = CreateThread(nullptr, 0, ConcatenateWhileMoving, &failures, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(failures, "");
}

TEST_F(Strings, ExpressionsInALoopReuseTheBuffer) {
  // Once the buffer is large enough, repeating an expression never grows it.
  std::string piece(3000, 'r');
  int32_t m = kx::GetStringMark();
  kx::AppendString(piece.c_str());
  kx::AppendString(piece.c_str());
  kx::SetStringMark(m);
  char* base = kx::GetStringBufferBase();
  for (int i = 0; i < 1000; i++) {
    kx::AppendString(piece.c_str());
    kx::QuadToString(i, kx::GetStringMark());
    kx::SetStringMark(m);
  }
  EXPECT_EQ(kx::GetStringBufferBase(), base);
}

TEST_F(Strings, ADroppedTemporaryStillReadsRight) {
  // A result read after its position was given back, as a source of a
  // result built below it.
  int32_t m = kx::GetStringMark();
  kx::Space(20, m);
  kx::EndStringPiece();
  char* dropped = kx::ReturnString("x-y-z", -1, kx::GetStringMark());
  kx::SetStringMark(m);
  EXPECT_STREQ(kx::ReplaceString(dropped, "-", std::string(30, '+').c_str(), 0, 1, m),
               ("x" + std::string(30, '+') + "y" + std::string(30, '+') + "z").c_str());
}

TEST_F(Strings, MarksAndPieces) {
  int32_t m = kx::GetStringMark();
  kx::AppendString("abc");
  EXPECT_EQ(kx::GetStringMark(), m + 3);
  EXPECT_EQ(*kx::GetEndPointer(), 0);
  kx::EndStringPiece();
  char* second = kx::AppendString("de");
  EXPECT_STREQ(second, "de");
  EXPECT_EQ(At(m), "abc");
  EXPECT_EQ(kx::SetMarkGetPointer(m), kx::GetStringBufferBase() + m);
  EXPECT_EQ(kx::GetStringMark(), m);
  EXPECT_EQ(kx::IsInStringBuffer("literal"), 0);
  EXPECT_EQ(kx::IsInStringBuffer(nullptr), 0);
  EXPECT_EQ(kx::CompareStrings(nullptr, ""), 1);
  EXPECT_EQ(kx::CompareStrings("a", "A"), 0);
  SetLastError(1234);
  kx::AppendString("x");
  EXPECT_EQ(GetLastError(), 1234u);  // string expressions keep the error code
}

TEST_F(Strings, StringVariables) {
  char* name = nullptr;
  kx::AssignString(&name, "Velmora");
  EXPECT_STREQ(name, "Velmora");
  EXPECT_GE(HeapSize(kx::StringHeap(), 0, name), 8u + 4);
  kx::AssignString(&name, name + 3);  // a part of its own block
  EXPECT_STREQ(name, "mora");
  kx::AssignString(&name, name);
  EXPECT_STREQ(name, "mora");

  int32_t m = kx::GetStringMark();
  kx::AppendString("from ");
  kx::AppendString("buffer");
  kx::AssignFromBuffer(&name, m);
  EXPECT_STREQ(name, "from buffer");
  EXPECT_EQ(kx::GetStringMark(), m);

  char* argument = name;
  kx::InitString(&argument, "copy");
  EXPECT_NE(argument, name);
  EXPECT_STREQ(name, "from buffer");
  char* unchanged = argument;
  kx::InitString(&unchanged, nullptr);
  EXPECT_EQ(unchanged, argument);
  kx::FreeString(argument);

  kx::AssignString(&name, nullptr);
  EXPECT_EQ(name, nullptr);
  kx::FreeString(nullptr);
}

TEST_F(Strings, AFailedAllocationGivesTheEmptyString) {
  int32_t m = kx::GetStringMark();
  kx::AppendString("keep");
  kx::EndStringPiece();
  int32_t at = kx::GetStringMark();
  // Beyond what the buffer may grow to (its offsets are 32-bit), so the
  // room is refused in a 64-bit process too, whose heap would grant 2 GiB.
  constexpr int32_t tooLarge = 0x7FFFFF00;
  EXPECT_EQ(kx::ReserveStringRoom(tooLarge, at), nullptr);
  EXPECT_EQ(kx::GetStringMark(), at);
  EXPECT_STREQ(kx::Space(tooLarge, at), "");
  EXPECT_STREQ(kx::ReplaceString("aaaa", "a", std::string(100, 'b').c_str(), 0, 1, at), std::string(400, 'b').c_str());
  EXPECT_EQ(At(m), "keep");
  // The buffer still works afterwards.
  EXPECT_STREQ(kx::QuadToString(99, at), "99");
}

struct ThreadWork {
  char letter;
  bool ok = true;
};

DWORD WINAPI BuildStrings(void* p) {
  auto* work = static_cast<ThreadWork*>(p);
  kx::ThreadStringStart();
  for (int round = 0; round < 300 && work->ok; round++) {
    int32_t m = kx::GetStringMark();
    std::string piece(1 + round * 7 % 500, work->letter);
    kx::QuadToString(round, m);
    kx::AppendString(piece.c_str());
    kx::AppendString(piece.c_str());
    std::string expected = std::to_string(round) + piece + piece;
    if (kx::GetStringBufferBase() + m != expected) work->ok = false;
    kx::SetStringMark(m);
  }
  return 0;
}

TEST_F(Strings, ThreadsNeverSeeEachOthersText) {
  ThreadWork a{'a'}, b{'b'};
  HANDLE threads[2] = {CreateThread(nullptr, 0, BuildStrings, &a, 0, nullptr),
                       CreateThread(nullptr, 0, BuildStrings, &b, 0, nullptr)};
  ASSERT_TRUE(threads[0] && threads[1]);
  int32_t m = kx::GetStringMark();
  kx::AppendString("main");
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  EXPECT_TRUE(a.ok);
  EXPECT_TRUE(b.ok);
  EXPECT_EQ(At(m), "main");
}

size_t BusyBytes(HANDLE heap) {
  size_t busy = 0;
  PROCESS_HEAP_ENTRY entry{};
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
  }
  HeapUnlock(heap);
  return busy;
}

TEST_F(Strings, AThreadsBufferIsReleasedAfterItEnds) {
  static size_t busyWhileRunning;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void*) WINAPI -> DWORD {
        kx::ThreadStringStart();
        kx::Space(200000, kx::GetStringMark());
        busyWhileRunning = BusyBytes(kx::StringHeap());
        return 0;
      },
      nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  // The watcher runs the cleanup soon after the thread's end.
  size_t after = busyWhileRunning;
  kxtest::WaitUntil([&] { return (after = BusyBytes(kx::StringHeap())) + 200000 <= busyWhileRunning; }, 3000);
  EXPECT_LE(after + 200000, busyWhileRunning);
}

// ---- the application-side idiom ----------------------------------------

// Stands for a library operation such as GetTempDirectory.
char* GetFolder(int32_t mark) { return kx::ReturnString("C:\\Users\\me\\Temp\\", -1, mark); }

TEST_F(Strings, TextBuildsExpressionsLeftToRight) {
  char* Tempdir = nullptr;
  const char* guid = "{1234}";
  int32_t before = kx::GetStringMark();
  kx::Assign(Tempdir, kx::Text() << GetFolder(kx::Here) << guid << '\\');
  EXPECT_STREQ(Tempdir, "C:\\Users\\me\\Temp\\{1234}\\");
  EXPECT_EQ(kx::GetStringMark(), before);

  int code = 42;
  kx::Text url;
  url << "http://" << "127.0.0.1" << "/SPLIT/" << code << "/" << int64_t{1} << ".quon";
  EXPECT_STREQ(url, "http://127.0.0.1/SPLIT/42/1.quon");
  // Results at Here in between never overwrite the Text.
  EXPECT_EQ(kx::FindString(kx::LeftString(url, 7, kx::Here), "//", 1), 6);
  url << kx::MidString(Tempdir, 4, 5, kx::Here) << kx::LowerCaseString("X", kx::Here);
  EXPECT_STREQ(url, "http://127.0.0.1/SPLIT/42/1.quonUsersx");
  EXPECT_EQ(url.length(), 38);
  kx::FreeString(Tempdir);
}

TEST_F(Strings, TextsNestAndGrowTheBuffer) {
  std::string big(50000, 'z');
  kx::Text outer;
  outer << "<";
  // An argument built with a Text inside another Text's chain; it moves the
  // buffer, and the next piece of the outer Text lands over it.
  outer << kx::StringLength(kx::Text() << big.c_str() << big.c_str() << "!") << ">";
  outer << kx::LeftString(kx::Text() << "abc" << big.c_str(), 4, kx::Here);
  EXPECT_STREQ(outer, "<100001>abcz");
  {
    kx::Text newer;
    newer << outer << "+";
    EXPECT_STREQ(newer, "<100001>abcz+");
  }
  outer << "-";
  EXPECT_STREQ(outer, "<100001>abcz-");
  kx::Text pieceOfItself;
  pieceOfItself << "ab";
  pieceOfItself << pieceOfItself << pieceOfItself;
  EXPECT_STREQ(pieceOfItself, "abababab");
}

TEST_F(Strings, ScopesAndAssignDropTemporaries) {
  int32_t before = kx::GetStringMark();
  char* last = nullptr;
  for (int i = 0; i < 1000; i++) {
    kx::StringScope scope;
    kx::Assign(last, kx::QuadToString(i, kx::Here));
    if (kx::Equal(kx::RightString(last, 1, kx::Here), "7")) kx::Space(100, kx::Here);
  }
  EXPECT_STREQ(last, "999");
  EXPECT_EQ(kx::GetStringMark(), before);
  kx::Assign(last, nullptr);
  EXPECT_EQ(last, nullptr);
}

}  // namespace
