// Requesters as a user meets them: the dialog is answered from outside by
// kxprobe while the test thread sits in the requester, and the windows of
// the calling thread are disabled for exactly that time.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "gui/gui_support.h"
#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/gui/events.h"
#include "runtime/gui/requester.h"
#include "runtime/gui/window.h"

namespace {

constexpr int32_t Flags = WS_SYSMENU | WS_CAPTION;

// A string command's result, the temporary buffer given back.
std::string Text(const std::function<char*(int32_t)>& command) {
  const int32_t mark = kx::GetStringMark();
  std::string result = command(mark);
  kx::SetStringMark(mark);
  return result;
}

// ---- the dialogs' rules -------------------------------------------------------------

TEST(RequesterRules, PatternListDefaultFileAndFolderStart) {
  char filter[64];
  const int32_t used = kx::FilterList("Text|*.txt|Alle|*.*", filter, sizeof filter);
  EXPECT_EQ(std::string(filter, size_t(used)), std::string("Text\0*.txt\0Alle\0*.*\0\0", 21));
  EXPECT_EQ(kx::FilterList(nullptr, filter, sizeof filter), 2);

  char folder[MAX_PATH], name[MAX_PATH];
  kx::SplitDefaultFile("C:\\Daten\\bericht.txt", folder, MAX_PATH, name, MAX_PATH);
  EXPECT_STREQ(folder, "C:\\Daten");
  EXPECT_STREQ(name, "bericht.txt");
  kx::SplitDefaultFile("*.txt", folder, MAX_PATH, name, MAX_PATH);
  EXPECT_STREQ(folder, "");
  EXPECT_STREQ(name, "") << "a pattern is no file name";
  kx::SplitDefaultFile("C:\\Daten\\", folder, MAX_PATH, name, MAX_PATH);
  EXPECT_STREQ(folder, "C:\\Daten");
  EXPECT_STREQ(name, "");
  for (const char* bad : {"a\"b", "a:b", "a<b", "a>b", "a?b", "a|b", "a/b", "a\tb"}) {
    EXPECT_FALSE(kx::IsValidFileName(bad)) << bad;
  }
  EXPECT_TRUE(kx::IsValidFileName("Übersicht (1).txt"));

  char start[MAX_PATH];
  kx::FolderBrowserStart("C:\\Daten\\", start, MAX_PATH);
  EXPECT_STREQ(start, "C:\\Daten");
  kx::FolderBrowserStart("C:\\", start, MAX_PATH);
  EXPECT_STREQ(start, "C:\\") << "a drive root keeps its backslash";
  const std::string longPath = "C:\\" + std::string(300, 'x');
  kx::FolderBrowserStart(longPath.c_str(), start, MAX_PATH);
  EXPECT_EQ(strlen(start), 259u);
}

// ---- real dialogs ---------------------------------------------------------------------

class Requesters : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    CreateDirectoryA("C:\\Daten", nullptr);
    kxtest::WriteBytes("C:\\Daten\\bericht.txt", "Bericht");
    kxtest::WriteBytes("C:\\Daten\\anhang.txt", "Anhang");
  }
  static void TearDownTestSuite() { kxtest::RemoveTree("C:\\Daten"); }
  void SetUp() override {
    main_ = reinterpret_cast<HWND>(kx::OpenWindow(1, 50, 50, 300, 150, "Haupt", Flags));
    ASSERT_NE(main_, nullptr);
    kxtest::Activate(main_);
  }
  void TearDown() override {
    for (intptr_t n : {1, 2, 3}) {
      if (kx::FindWindowObject(n)) kx::CloseWindow(n);
    }
  }
  HWND main_ = nullptr;
};

// A window of another thread, which runs its own event loop.
class Stranger {
 public:
  Stranger() {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(ready_, 5000);
  }
  ~Stranger() {
    stop_ = 1;
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(ready_);
  }
  HWND window() const { return window_; }

 private:
  static DWORD WINAPI Run(void* value) {
    Stranger* s = static_cast<Stranger*>(value);
    s->window_ = reinterpret_cast<HWND>(kx::OpenWindow(4, 600, 50, 200, 100, "Fremd", Flags));
    SetEvent(s->ready_);
    while (!s->stop_) kx::WaitWindowEvent(10);
    kx::CloseWindow(4);
    return 0;
  }
  HANDLE ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
  HWND window_ = nullptr;
};

TEST_F(Requesters, MessageBoxDisablesOnlyTheCallingThreadsWindowsAndReturnsThePressedButton) {
  kx::OpenWindow(2, 400, 50, 200, 100, "Neben", Flags);
  kx::OpenWindow(3, 400, 200, 200, 100, "Schon aus", Flags);
  EnableWindow(kx::WindowID(3), FALSE);
  Stranger stranger;
  ASSERT_TRUE(kxtest::Activate(main_));

  const std::string shot = kxtest::ScreenshotDir() + "\\message_box.bmp";
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"dialog", "Frage", "--", "find", "Neben", "--", "find", "Schon aus",
                                             "--", "find", "Fremd", "--", "screenshot", "Frage", shot, "--",
                                             "dialog", "Frage", "7"})));
  const int32_t answer = kx::MessageRequester("Frage", "Möchten Sie das Programm wirklich beenden?",
                                              MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  const std::string& out = probe.output();
  EXPECT_EQ(answer, IDNO);
  EXPECT_NE(out.find("dialog text \"Möchten Sie das Programm wirklich beenden?\""), std::string::npos) << out;
  EXPECT_NE(out.find("dialog owner \"Haupt\""), std::string::npos) << "the foreground window owns it\n" << out;
  EXPECT_NE(out.find("title \"Neben\" x"), std::string::npos) << out;
  auto enabledWhileOpen = [&](const std::string& title) {
    const size_t at = out.find("title \"" + title + "\"");
    const size_t end = out.find('\n', at);
    return at == std::string::npos ? std::string("?") : out.substr(end - 1, 1);
  };
  EXPECT_EQ(enabledWhileOpen("Neben"), "0") << out;
  EXPECT_EQ(enabledWhileOpen("Schon aus"), "0") << out;
  EXPECT_EQ(enabledWhileOpen("Fremd"), "1") << "another thread's window stays usable\n" << out;

  EXPECT_TRUE(IsWindowEnabled(main_));
  EXPECT_TRUE(IsWindowEnabled(kx::WindowID(2)));
  EXPECT_FALSE(IsWindowEnabled(kx::WindowID(3))) << "a window that was disabled before stays so";
  EXPECT_TRUE(IsWindowEnabled(stranger.window()));
  EXPECT_EQ(kx::DisabledWindowCount(), 0);
}

TEST_F(Requesters, DefaultFileOpensItsFolderWithItsNameAndThePatternPositionChoosesTheFilter) {
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"filedialog", "Datei öffnen", "--", "filedialog", "Datei öffnen",
                                             "C:\\Daten\\anhang.txt"})));
  const std::string chosen = Text([](int32_t mark) {
    return kx::OpenFileRequester("Datei öffnen", "C:\\Daten\\bericht.txt", "Text|*.txt|Alle|*.*", 1, 0, mark);
  });
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_TRUE(probe.output().find("filedialog folder \"C:\\Daten\" name \"bericht.txt\"") != std::string::npos)
      << probe.output();
  EXPECT_TRUE(probe.output().find("filedialog filter index 1 text \"Alle\"") != std::string::npos) << probe.output();
  EXPECT_EQ(chosen, "C:\\Daten\\anhang.txt");
  EXPECT_EQ(kx::SelectedFilePattern(), 1);
  EXPECT_TRUE(IsWindowEnabled(main_));
}

TEST_F(Requesters, PatternAsDefaultFileLeavesTheNameEmptyAndCancelGivesTheEmptyString) {
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"filedialog", "Speichern unter", "--", "dialog", "Speichern unter",
                                             "2"})));
  const std::string chosen = Text([](int32_t mark) {
    return kx::SaveFileRequester("Speichern unter", "*.txt", "Text|*.txt", 0, mark);
  });
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_TRUE(probe.output().find(" name \"\"") != std::string::npos) << probe.output();
  EXPECT_EQ(chosen, "");
}

TEST_F(Requesters, SeveralFilesGiveTheFirstAndKeepTheFolderForTheRest) {
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"filedialog", "Mehrere", "\"anhang.txt\" \"bericht.txt\""})));
  const std::string chosen = Text([](int32_t mark) {
    return kx::OpenFileRequester("Mehrere", "C:\\Daten\\", "Alle|*.*", 0, kx::RequesterMultiSelection, mark);
  });
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_EQ(chosen, "C:\\Daten\\anhang.txt");
  EXPECT_STREQ(kx::MultiSelectionFolder(), "C:\\Daten\\");
  EXPECT_GT(kx::MultiSelectionNext(), 0);
}

TEST_F(Requesters, OneFileWhereSeveralWereAllowedIsThePathAndKeepsNothing) {
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"filedialog", "Mehrere", "C:\\Daten\\anhang.txt"})));
  // The default name is longer than the chosen path: its rest stays behind
  // the path's end in the buffer and must not read as a list.
  const std::string chosen = Text([](int32_t mark) {
    return kx::OpenFileRequester("Mehrere", "C:\\Daten\\ein_recht_langer_name_fuer_die_vorgabe.txt", "Alle|*.*", 0,
                                 kx::RequesterMultiSelection, mark);
  });
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_EQ(chosen, "C:\\Daten\\anhang.txt");
  EXPECT_EQ(kx::MultiSelectionNext(), 0);
  EXPECT_STREQ(kx::MultiSelectionFolder(), "");
}

// The folder browser's window has the system's own caption; its title text
// stands inside it.
constexpr const char* BrowserCaption = "Browse for Folder";

TEST_F(Requesters, PathRequesterStartsInTheInitialFolderAndADriveRootKeepsItsBackslash) {
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"folderdialog", BrowserCaption})));
  std::string chosen = Text([](int32_t mark) { return kx::PathRequester("Ordner wählen", "C:\\Daten\\", mark); });
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_EQ(chosen, "C:\\Daten\\");

  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"folderdialog", BrowserCaption})));
  chosen = Text([](int32_t mark) { return kx::PathRequester("Ordner wählen", "C:\\", mark); });
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_EQ(chosen, "C:\\");

  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"dialog", BrowserCaption, "2"})));
  chosen = Text([](int32_t mark) { return kx::PathRequester("Ordner wählen", "C:\\Daten", mark); });
  EXPECT_EQ(probe.finish(), 0) << probe.output();
  EXPECT_EQ(chosen, "") << "cancelled";
  EXPECT_TRUE(IsWindowEnabled(main_));
}

}  // namespace
