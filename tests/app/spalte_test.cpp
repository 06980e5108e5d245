// The size column of the send list: KB up to six digits, MB beyond, a folder
// summed through ListFiles, the archive's size once an archive path is set.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/fenster.h"
#include "app/globals.h"
#include "runtime/core/strings.h"
#include "tests/support/temp_folder.h"

using namespace velmora;

namespace {

// A file of `size` bytes (sparse: only its length matters).
void Datei(const std::string& path, int64_t size) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  LARGE_INTEGER at;
  at.QuadPart = size;
  SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
}

std::string Text(const char* s) { return s ? s : ""; }

class Spalte : public ::testing::Test {
 protected:
  void SetUp() override {
    kx::ThreadStringStart();
    for (char** v : {&Upload_Datei_Pfad, &Upload_Ordner_Pfad, &Upload_Pack_Pfad, &Spalte_Name, &Spalte_Datei_Size})
      kx::AssignString(v, nullptr);
    Datei_Size = 0;
  }
  void TearDown() override { SetUp(); }
  kxtest::TempFolder ordner;
};

}  // namespace

TEST_F(Spalte, FileSizesInKilobytesUpToSixDigitsElseMegabytes) {
  struct {
    int64_t bytes;
    const char* text;
  } faelle[] = {{0, "0 KB"}, {999999, "976 KB"}, {1000000, "0 MB"}, {5000000, "4 MB"}, {1048575, "0 MB"}};
  for (const auto& fall : faelle) {
    std::string datei = ordner / "bericht.pdf";
    Datei(datei, fall.bytes);
    kx::AssignString(&Upload_Datei_Pfad, datei.c_str());
    Rechner_Hauptfenster_Spalte(0);
    EXPECT_EQ(Text(Spalte_Datei_Size), fall.text) << fall.bytes;
    EXPECT_EQ(Text(Spalte_Name), "bericht.pdf");
    // The MB case clears the count, the KB case keeps it.
    EXPECT_EQ(Datei_Size, fall.bytes > 999999 ? 0 : fall.bytes);
  }
}

TEST_F(Spalte, FolderIsSummedOverItsSubfoldersAndCountedFromNothingEachTime) {
  CreateDirectoryA((ordner / "unter").c_str(), nullptr);
  CreateDirectoryA((ordner / "unter\\tiefer").c_str(), nullptr);
  Datei(ordner / "a.txt", 1000);
  Datei(ordner / "ohne_endung", 24);
  Datei(ordner / "unter\\b.bin", 100000);
  Datei(ordner / "unter\\tiefer\\c", 300000);
  kx::AssignString(&Upload_Ordner_Pfad, ordner.path().c_str());  // no trailing "\"
  Rechner_Hauptfenster_Spalte(0);
  EXPECT_EQ(Datei_Size, 401024);
  EXPECT_EQ(Text(Spalte_Datei_Size), "391 KB");
  EXPECT_EQ(Text(Spalte_Name), ordner.path());

  // A second run counts the folder from nothing, not on top of the first.
  Rechner_Hauptfenster_Spalte(0);
  EXPECT_EQ(Datei_Size, 401024);
  EXPECT_EQ(Text(Spalte_Datei_Size), "391 KB");
}

TEST_F(Spalte, ArchiveSizeReplacesTheChosenFilesOnceSet) {
  Datei(ordner / "gross.iso", 5000000);
  Datei(ordner / "Velmora.zip", 2000);
  kx::AssignString(&Upload_Datei_Pfad, (ordner / "gross.iso").c_str());
  kx::AssignString(&Upload_Pack_Pfad, (ordner / "Velmora.zip").c_str());
  Rechner_Hauptfenster_Spalte(0);
  EXPECT_EQ(Text(Spalte_Name), "gross.iso");
  EXPECT_EQ(Text(Spalte_Datei_Size), "1 KB");
}

TEST_F(Spalte, ListFilesMatchesNameAndExtensionWithoutCase) {
  Datei(ordner / "Bild.PNG", 10);
  Datei(ordner / "bild.txt", 20);
  Datei(ordner / "other.png", 40);
  kx::ThreadStringStart();
  EXPECT_STREQ(ListFiles(ordner.path().c_str(), "bild", "png", 0, kx::GetStringMark()), "");
  EXPECT_EQ(Datei_Size, 10);
  Datei_Size = 0;
  ListFiles((ordner.path() + "\\").c_str(), "*", "png", 0, kx::GetStringMark());
  EXPECT_EQ(Datei_Size, 50);
}
