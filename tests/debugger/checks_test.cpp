// Reports, catalogs, warning modes and the exception filter.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/debugger/checks.h"
#include "runtime/debugger/debugger_internal.h"
#include "support/report_recorder.h"

namespace {

std::string TempDirectory(const char* name) {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  std::string dir = std::string(base) + name + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

void WriteFile(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

TEST(Reports, ErrorsReachTheRecorderWithGroupKeyAndFormattedText) {
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(kx::ReportError("HighNumber", "#Window", 5000), 0);
  ASSERT_EQ(recorder.count(), 1u);
  auto r = recorder.reports()[0];
  EXPECT_EQ(r.kind, 2);
  EXPECT_EQ(r.group, "Common");
  EXPECT_EQ(r.key, "HighNumber");
  EXPECT_EQ(r.text, "#Window object number is very high (over 5000), are You sure of that ?");

  kx::ReportLibraryError(&kx::ThreadLibrary, "InvalidThread");
  EXPECT_EQ(recorder.lastKey(), "InvalidThread");
  EXPECT_EQ(recorder.reports().back().group, "Thread");
  EXPECT_EQ(recorder.lastText(), "The specified Thread does not exists.");

  kx::ReportLibraryError(&kx::MemoryLibrary, "NullAddress");
  EXPECT_EQ(recorder.lastText(), "Specified address is null.");

  kx::ReportRuntimeError(kx::ReportKindFatal, 1);
  EXPECT_EQ(recorder.reports().back().kind, 6);
  EXPECT_EQ(recorder.lastText(), "Division by zero forbidden.");

  kx::Report(kx::ReportKindError, "plain text");
  EXPECT_EQ(recorder.lastText(), "plain text");
  EXPECT_EQ(recorder.lastKey(), "");
}

TEST(Reports, TheLastErrorCodeSurvivesEveryReport) {
  kxtest::ReportRecorder recorder;
  for (int mode = 0; mode < 3; ++mode) {
    kx::SetWarningMode(mode);
    SetLastError(ERROR_FILE_NOT_FOUND);
    kx::ReportWarning("NullLength");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << mode;
  }
  kx::SetWarningMode(1);
  SetLastError(ERROR_ACCESS_DENIED);
  kx::ReportError("NoObject", "#File");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  SetLastError(ERROR_SHARING_VIOLATION);
  kx::ReportLibraryError(&kx::FileLibrary, "NegativeSeek");
  kx::ReportRuntimeError(6, 3);
  kx::Debug(int32_t(5));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
}

TEST(Reports, WarningModes) {
  kxtest::ReportRecorder recorder;
  kx::SetWarningMode(0);
  kx::ReportWarning("NoObject", "#Gadget");
  EXPECT_EQ(recorder.count(), 0u);

  kx::SetWarningMode(1);
  kx::ReportWarning("NoObject", "#Gadget");
  ASSERT_EQ(recorder.count(), 1u);
  EXPECT_EQ(recorder.reports()[0].kind, 1);
  EXPECT_EQ(recorder.lastText(), "The specified #Gadget is not initialized.");

  kx::SetWarningMode(2);
  kx::ReportWarning("NoObject", "#Gadget");
  ASSERT_EQ(recorder.count(), 2u);
  EXPECT_EQ(recorder.reports()[1].kind, 2);
  EXPECT_EQ(recorder.reports()[1].key, "NoObject");
  EXPECT_EQ(recorder.lastText(), "(Warning) The specified #Gadget is not initialized.");
  kx::SetWarningMode(1);
}

TEST(Catalogs, BuiltInTextsOfEveryGroup) {
  EXPECT_STREQ(kx::CatalogText("Common", "NullAddress"), "Procedure address is null.");
  EXPECT_STREQ(kx::CatalogText("common", "nullbuffer"), "The specified buffer is 0.");
  EXPECT_STREQ(kx::CatalogText("Gadget", "NoGadgetList"), "There is no current GadgetList.");
  EXPECT_STREQ(kx::CatalogText("Cipher", "SmallOutput"), "The OutputLength should be atleast 33% more than the InputLength.");
  EXPECT_STREQ(kx::CatalogText("Debugger", "Warning"), "Warning");
  EXPECT_STREQ(kx::CatalogText("DebuggerErrors", "9"), "Read data error: no more data.");
  EXPECT_STREQ(kx::CatalogText("SystemErrors", "ProgramAbort"), "Program aborted. (by external library)");
  EXPECT_STREQ(kx::CatalogText("External", "NoStructure"), "Invalid \"\\\". The variable is not a structure.");
  EXPECT_STREQ(kx::CatalogText("Parser", "Garbage"), "Garbage at the end of the input.");
  EXPECT_STREQ(kx::CatalogText("Parser", "IdentifierExpected?"), "An identifier is expected after '?'.");
  EXPECT_STREQ(kx::CatalogText("Common", "NoSuchKey"), "### String not found ###");
  EXPECT_STREQ(kx::CatalogText("NoSuchGroup", "HighNumber"), "### String not found ###");
}

class CatalogFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    kx::SetInstallPath("C:\\Program Files\\Korvex\\");
    kx::ResetCatalogs();
  }
};

TEST_F(CatalogFiles, LoadedTextsWinAndMissingKeysFallBack) {
  std::string root = TempDirectory("kxcat");
  CreateDirectoryA((root + "\\Catalogs").c_str(), nullptr);
  CreateDirectoryA((root + "\\Catalogs\\deep").c_str(), nullptr);
  // Wrong application: never accepted.
  WriteFile(root + "\\Catalogs\\a_other.catalog",
            "[LanguageInfo]\nLanguage =\nApplication = SomethingElse\n[Common]\nNoObject = wrong\n");
  // An accepted file of another name, found by the tree search.
  WriteFile(root + "\\Catalogs\\deep\\mine.txt",
            "; comment\r\n[ LanguageInfo ]\r\n  Language = \r\nApplication=kx_libraries\r\n\r\n"
            "[Common]\r\n\tNoObject =  Das %s ist nicht da. \r\n[Thread]\r\nInvalidThread=Kein Thread.\r\n"
            "[Common]\r\nHighNumber = %s %s %s %n\r\nNullLength = %i\r\nNullBuffer = Puffer ist 0 (100%%).\r\n"
            "[Neu]\r\nEigen = Eigener Text\r\n");
  WriteFile(root + "\\Catalogs\\Debugger.catalog",
            "[LanguageInfo]\nApplication = KX_Debugger\nLanguage=\n[Debugger]\nWarning=Warnung\n");
  kx::SetInstallPath((root + "\\").c_str());
  kx::ResetCatalogs();

  EXPECT_STREQ(kx::CatalogText("Common", "NoObject"), "Das %s ist nicht da.");
  EXPECT_STREQ(kx::CatalogText("Common", "HighNumber"),
               "%s object number is very high (over %i), are You sure of that ?");
  EXPECT_STREQ(kx::LibraryText(&kx::ThreadLibrary, "InvalidThread"), "Kein Thread.");
  EXPECT_STREQ(kx::LibraryText(&kx::ThreadLibrary, "InvalidMutex"), "The specified Mutex does not exist.");
  EXPECT_STREQ(kx::LibraryText(&kx::ThreadLibrary, "Nothing"), "### String not found ###");
  EXPECT_STREQ(kx::CatalogText("Debugger", "Warning"), "Warnung");
  EXPECT_STREQ(kx::CatalogText("Debugger", "StackEmpty"), "The Stack is empty.");
  // Replacements asking for other printf arguments than the built-in text are
  // not used; groups only a file has are found.
  EXPECT_STREQ(kx::CatalogText("Common", "HighNumber"),
               "%s object number is very high (over %i), are You sure of that ?");
  EXPECT_STREQ(kx::CatalogText("Common", "NullLength"), "The specified length is 0.");
  EXPECT_STREQ(kx::CatalogText("Common", "NullBuffer"), "Puffer ist 0 (100%%).");
  EXPECT_STREQ(kx::CatalogText("Neu", "Eigen"), "Eigener Text");

  kxtest::ReportRecorder recorder;
  kx::SetWarningMode(2);
  kx::ReportWarning("NoObject", "#File");
  kx::SetWarningMode(1);
  EXPECT_EQ(recorder.lastText(), "(Warnung) Das #File ist nicht da.");
}

TEST_F(CatalogFiles, TheLanguageFolderIsTriedFirst) {
  std::string root = TempDirectory("kxlang");
  CreateDirectoryA((root + "\\Catalogs").c_str(), nullptr);
  CreateDirectoryA((root + "\\Catalogs\\Deutsch").c_str(), nullptr);
  WriteFile(root + "\\Catalogs\\aaa.catalog",
            "[LanguageInfo]\nLanguage=Deutsch\nApplication=KX_Libraries\n[Memory]\nNullAlloc=from tree\n");
  WriteFile(root + "\\Catalogs\\Deutsch\\Libraries.catalog",
            "[LanguageInfo]\nLanguage=deutsch\nApplication=KX_Libraries\n[Memory]\nNullAlloc=from folder\n");
  kx::SetInstallPath((root + "\\").c_str());
  kx::SetCatalogLanguage("Deutsch");
  kx::ResetCatalogs();
  EXPECT_STREQ(kx::LibraryText(&kx::MemoryLibrary, "NullAlloc"), "from folder");
  kx::SetCatalogLanguage("");
  kx::ResetCatalogs();
  // No accepted file for the empty language: the built-in text stands.
  EXPECT_STREQ(kx::LibraryText(&kx::MemoryLibrary, "NullAlloc"), "Can't allocate a memory block of size 0.");
}

// ---- child processes: the console front-end and the exception filter ----

std::string SelfPath() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// Runs this test program with one test selected; returns its exit code and
// standard output.
int RunChild(const std::string& test, std::string& output) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  CreatePipe(&readEnd, &writeEnd, &sa, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  std::string command = "\"" + SelfPath() + "\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
  PROCESS_INFORMATION pi = {};
  BOOL ok = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  CloseHandle(nul);
  if (!ok) {
    CloseHandle(readEnd);
    return -1;
  }
  char buffer[4096];
  DWORD n;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) output.append(buffer, n);
  CloseHandle(readEnd);
  // The console streams write text mode: compare with plain line feeds.
  std::string plain;
  for (char c : output) if (c != '\r') plain += c;
  output.swap(plain);
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return int(code);
}

TEST(Child, DISABLED_WriteToAddress4096) {
  volatile int* p = reinterpret_cast<volatile int*>(4096);
  *p = 1;
}

TEST(Child, DISABLED_ErrorWithoutTerminal) {
  kx::ReportError("NullArgument", "Name");
  printf("still running\n");
}

TEST(Child, DISABLED_ErrorIgnored) {
  kx::SetErrorMode(1);
  kx::ReportError("NullArgument", "Name");
  kx::SetWarningMode(1);
  kx::ReportWarning("NullLength");
  kx::SetHexMode(1);
  kx::Debug(int32_t(255));
  kx::SetHexMode(0);
  kx::Debug(int32_t(-7));
  kx::Debug(int64_t(1) << 40);
  kx::Debug("text");
  kx::Debug(1.5f);
  kx::Debug(0.25);
  printf("still running\n");
}

TEST(Child, DISABLED_IntegerDivision) { RaiseException(0xC0000094, 0, 0, nullptr); }

TEST(Child, DISABLED_RedirectedOutput) {
  std::string path = std::string(getenv("KX_CHILD_FILE"));
  FILE* file = fopen(path.c_str(), "w");
  kx::SetConsoleOutput(file);
  kx::SetErrorMode(1);
  kx::ReportError("NullLength");   // ignore mode: only the target
  kx::SetErrorMode(3);
  kx::Debug("to the file");
  kx::ReportError("NullBuffer");   // exit mode: the target and stdout
}

TEST(Child, DISABLED_StopsWithoutTerminal) {
  kx::CallDebugger((0 << 24) | 41);
  printf("after the stop\n");
  kx::SetCallOnEnd(1);
  kx::DebuggerEnd();
}

// Answers the error prompt from the file named by KX_CHILD_ANSWERS.
TEST(Child, DISABLED_PromptAnswers) {
  FILE* answers = fopen(getenv("KX_CHILD_ANSWERS"), "r");
  kx::SetConsoleInput(answers, 1);
  kx::ReportError("NullLength");
  printf("went on\n");
  kx::ReportRuntimeError(kx::ReportKindFatal, 3);
  printf("went on after fatal\n");
}

TEST(Child, DISABLED_ExitMode) {
  kx::SetErrorMode(3);
  kx::ReportError("NullLength");
  printf("still running\n");
}

TEST(ConsoleFrontEnd, AnAccessViolationIsReportedAndEndsTheProgram) {
  std::string output;
  int code = RunChild("Child.DISABLED_WriteToAddress4096", output);
  EXPECT_EQ(code, 1) << output;
  EXPECT_NE(output.find("\n[Debugger Error]  Invalid memory access. (write error at address 4096)\n"
                        "[Debugger Error]  File:  (Line: 1)\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("\n[Debugger Error]  Fatal error.\n"), std::string::npos) << output;
}

TEST(ConsoleFrontEnd, AskModeWithoutTerminalEndsTheProgram) {
  std::string output;
  int code = RunChild("Child.DISABLED_ErrorWithoutTerminal", output);
  EXPECT_EQ(code, 1) << output;
  EXPECT_NE(output.find("\n[Debugger Error]  The specified 'Name' is null.\n"
                        "[Debugger Error]  File:  (Line: 1)\n"
                        "[Debugger Error]  Cannot call Debugger because STDIN is not connected to \n"
                        "[Debugger Error]  a terminal device! The program will be terminated.\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(output.find("still running"), std::string::npos) << output;
}

TEST(ConsoleFrontEnd, IgnoreModeAndDebugOutputFormats) {
  std::string output;
  int code = RunChild("Child.DISABLED_ErrorIgnored", output);
  EXPECT_EQ(code, 0) << output;
  EXPECT_NE(output.find("\n[Debugger Error]  The specified 'Name' is null.\n"), std::string::npos) << output;
  EXPECT_NE(output.find("\n[Debugger Warning]  The specified length is 0.\n[Debugger Warning]  File:  (Line: 1)\n"),
            std::string::npos) << output;
  EXPECT_NE(output.find("[Debugger]  $FF\n[Debugger]  -7\n[Debugger]  1099511627776\n[Debugger]  text\n"
                        "[Debugger]  1.500000\n[Debugger]  0.25\n"),
            std::string::npos) << output;
  EXPECT_NE(output.find("still running"), std::string::npos) << output;
}

TEST(ConsoleFrontEnd, SystemExceptionsMapToTheirKeys) {
  EXCEPTION_RECORD read = {};
  read.ExceptionCode = 0xC0000005;
  read.NumberParameters = 2;
  EXPECT_STREQ(kx::ExceptionKey(0xC0000005, &read), "InvalidMemoryRead");
  read.ExceptionInformation[0] = 8;  // execution counts as reading
  EXPECT_STREQ(kx::ExceptionKey(0xC0000005, &read), "InvalidMemoryRead");
  read.ExceptionInformation[0] = 1;
  EXPECT_STREQ(kx::ExceptionKey(0xC0000005, &read), "InvalidMemoryWrite");
  const struct {
    DWORD code;
    const char* key;
  } table[] = {{0xC0000006, "PageError"},        {0xC000001D, "IllegalInstruction"},
               {0xC0000096, "IllegalInstruction"}, {0xC000008E, "DivisionByZero"},
               {0xC0000094, "DivisionByZero"},   {0xC000008F, "FloatInvalid"},
               {0xC0000090, "FloatInvalid"},     {0xC0000091, "FloatOverflow"},
               {0xC0000092, "StackOverflow"},    {0xC00000FD, "StackOverflow"},
               {0xC0000093, "FloatUnderflow"},   {0xC0000095, "IntegerOverflow"}};
  for (const auto& entry : table) EXPECT_STREQ(kx::ExceptionKey(entry.code, nullptr), entry.key) << entry.code;
  EXPECT_EQ(kx::ExceptionKey(0xE06D7363, nullptr), nullptr);  // C++ exceptions are passed on
  EXPECT_EQ(kx::ExceptionKey(0x80000003, nullptr), nullptr);

  std::string output;
  EXPECT_EQ(RunChild("Child.DISABLED_IntegerDivision", output), 1) << output;
  EXPECT_NE(output.find("\n[Debugger Error]  Division by zero.\n"), std::string::npos) << output;
}

TEST(ConsoleFrontEnd, ARedirectedTargetAlsoShowsErrorsOnStandardOutput) {
  std::string path = TempDirectory("kxredir") + "\\out.txt";
  SetEnvironmentVariableA("KX_CHILD_FILE", path.c_str());
  std::string output;
  EXPECT_EQ(RunChild("Child.DISABLED_RedirectedOutput", output), 1) << output;
  SetEnvironmentVariableA("KX_CHILD_FILE", nullptr);
  EXPECT_EQ(output.find("The specified length is 0."), std::string::npos) << output;
  EXPECT_NE(output.find("\n[Debugger Error]  The specified buffer is 0.\n"), std::string::npos) << output;
  std::string file;
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buffer[1024];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) file.append(buffer, n);
  fclose(f);
  std::string plain;
  for (char c : file) if (c != '\r') plain += c;
  EXPECT_NE(plain.find("\n[Debugger Error]  The specified length is 0.\n[Debugger Error]  File:  (Line: 1)\n"
                       "[Debugger]  to the file\n\n[Debugger Error]  The specified buffer is 0.\n"),
            std::string::npos) << plain;
}

TEST(Reports, ARecorderCanEndTheProgramState) {
  kxtest::ReportRecorder recorder;
  recorder.setEndOnReport(true);
  EXPECT_EQ(kx::ReportError("NullLength"), kx::StateFatal);
  EXPECT_EQ(kx::DebuggerLine(0), kx::StateFatal);
  kx::CurrentDebuggerRecord()->state = 0;
  recorder.setEndOnReport(false);
  EXPECT_EQ(kx::ReportError("NullLength"), 0);
}

TEST(ConsoleFrontEnd, AStopWithoutTerminalLetsTheProgramGoOn) {
  std::string output;
  EXPECT_EQ(RunChild("Child.DISABLED_StopsWithoutTerminal", output), 0) << output;
  std::string stop = "\n[Debugger Error]  Cannot call Debugger because STDIN is not connected to "
                     "\n[Debugger Error]  a terminal device! File:  (Line: 42)"
                     "\n[Debugger Error]  Program execution continues...\n";
  size_t first = output.find(stop);
  ASSERT_NE(first, std::string::npos) << output;
  size_t after = output.find("after the stop\n", first);
  ASSERT_NE(after, std::string::npos) << output;
  // CallOnEnd stops once more at the end.
  EXPECT_NE(output.find("\n[Debugger Error]  Cannot call Debugger because STDIN", after), std::string::npos) << output;
}

int RunWithAnswers(const std::string& answers, std::string& output) {
  std::string path = TempDirectory("kxask") + "\\answers.txt";
  WriteFile(path, answers);
  SetEnvironmentVariableA("KX_CHILD_ANSWERS", path.c_str());
  int code = RunChild("Child.DISABLED_PromptAnswers", output);
  SetEnvironmentVariableA("KX_CHILD_ANSWERS", nullptr);
  return code;
}

TEST(ConsoleFrontEnd, TheErrorPromptJudgesTheFirstCharacter) {
  const std::string ask = "  Do you wish to continue the program? (Yes, No, Debugger Console, Ignore all)\n  (y,N,d,i) ";
  const std::string askFatal = "  Fatal error. Do you with to open the Debugger console? (Yes, No)\n  (y,N) ";
  std::string output;
  // An unknown answer asks again; "yes" goes on; a fatal error asked "Y" goes on too.
  EXPECT_EQ(RunWithAnswers("x\nyes\nY\n", output), 0) << output;
  EXPECT_NE(output.find(ask + ask + "went on\n"), std::string::npos) << output;
  // "Y" at a fatal error opens the command loop; its end of input lets the
  // program go on.
  EXPECT_NE(output.find("[Debugger Error]  Pointer is null.\n[Debugger Error]  File:  (Line: 1)\n" + askFatal +
                        "\n==============================================\n Korvex Console Debugger"),
            std::string::npos) << output;
  EXPECT_NE(output.find("DEBUGGER:: \n[Debugger Error]  Input error from stdin, program is exiting.\n\n"
                        "went on after fatal"),
            std::string::npos) << output;

  output.clear();
  EXPECT_EQ(RunWithAnswers("\n", output), 1) << output;  // an empty line ends the program
  EXPECT_EQ(output.find("went on"), std::string::npos) << output;

  output.clear();
  EXPECT_EQ(RunWithAnswers("No\n", output), 1) << output;
  EXPECT_EQ(output.find("went on"), std::string::npos) << output;

  output.clear();
  EXPECT_EQ(RunWithAnswers("", output), 1) << output;  // end of input
  EXPECT_NE(output.find("\n[Debugger Error]  Input error from stdin, program is exiting.\n\n"), std::string::npos)
      << output;

  // "i" goes on and ignores every later error: the fatal one is shown without a prompt.
  output.clear();
  EXPECT_EQ(RunWithAnswers("i\n", output), 0) << output;
  EXPECT_NE(output.find("went on after fatal"), std::string::npos) << output;
  EXPECT_EQ(output.find(askFatal), std::string::npos) << output;
  EXPECT_NE(output.find("[Debugger Error]  Pointer is null."), std::string::npos) << output;
}

TEST(Child, DISABLED_ReportMode) {
  kx::SetErrorMode(4);
  kx::ReportError("NullLength");
  printf("still running\n");
}

TEST(ConsoleFrontEnd, ReportModeWritesTheReportAndEndsWithCodeOne) {
  std::string output;
  SetEnvironmentVariableA("KX_CHILD_MARK", "seen");
  EXPECT_EQ(RunChild("Child.DISABLED_ReportMode", output), 1) << output;
  SetEnvironmentVariableA("KX_CHILD_MARK", nullptr);
  size_t error = output.find("[Debugger Error]  The specified length is 0.\n[Debugger Error]  File:  (Line: 1)\n");
  size_t report = output.find("\n==============================================\n   Korvex Debugger Report"
                              "\n==============================================\n\n[Included source files]\n");
  ASSERT_NE(error, std::string::npos) << output;
  ASSERT_NE(report, std::string::npos) << output;
  EXPECT_LT(error, report);
  EXPECT_NE(output.find("[Error information]\nCurrent Line: 1\nCurrent File: \n  Program State: error\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("\n  Cannot display register values at this point.\n\n\n[Stack contents]\n"),
            std::string::npos)
      << output;
  size_t environment = output.find("[Environment variables]\n");
  ASSERT_NE(environment, std::string::npos) << output;
  EXPECT_NE(output.find("KX_CHILD_MARK=seen\n", environment), std::string::npos) << output;
  EXPECT_EQ(output.find("still running"), std::string::npos) << output;
}

TEST(ConsoleFrontEnd, ExitModeEndsWithCodeOne) {
  std::string output;
  EXPECT_EQ(RunChild("Child.DISABLED_ExitMode", output), 1) << output;
  EXPECT_NE(output.find("[Debugger Error]  The specified length is 0.\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("still running"), std::string::npos) << output;
}

}  // namespace
