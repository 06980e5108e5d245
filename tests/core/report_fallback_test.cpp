// Reports of the core before a debugger exists: a program on the core alone
// shows them on its standard error with their built-in texts, goes on after
// errors and warnings, and ends at a fatal report.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct ProbeRun {
  int exitCode = -1;
  std::string output;   // standard output and standard error, in order
};

ProbeRun RunProbe(const std::string& argument) {
  ProbeRun run;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  std::string command = "\"" KX_CORE_PROBE "\" " + argument;
  PROCESS_INFORMATION pi = {};
  BOOL ok = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  if (!ok) {
    CloseHandle(readEnd);
    return run;
  }
  char buffer[4096];
  DWORD n;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    for (DWORD i = 0; i < n; ++i) {
      if (buffer[i] != '\r') run.output += buffer[i];
    }
  }
  CloseHandle(readEnd);
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  run.exitCode = int(code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return run;
}

TEST(ReportFallback, ErrorsAndWarningsReachTheUserAndTheProgramGoesOn) {
  ProbeRun run = RunProbe("");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("[Debugger Error]  The specified #Probe is not initialized.\n"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("[Debugger Error]  #Probe object number is very high (over 101), are You sure of that ?\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("[Debugger Error]  Can't allocate a memory block of size 0.\n"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("[Debugger Warning]  The specified length is 0.\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("went on\nnot ended\n"), std::string::npos) << run.output;
}

TEST(ReportFallback, AFatalReportEndsTheProgram) {
  ProbeRun run = RunProbe("fatal");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("went on\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("[Debugger Error]  The probe cannot go on.\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("not ended"), std::string::npos) << run.output;
}

}  // namespace
