// kxstart TEMP-FOLDER PROGRAM [ARGUMENT ...]
// Runs a program in this console with its TEMP and TMP in the given folder, so
// that it starts without the persistent files a person or an earlier run left
// in the prefix's temporary folder.  Waits for it; its exit code is ours.
// Ctrl+C belongs to the program (the console debugger stops on it): kxstart
// itself ignores it.  Wine takes TEMP from the prefix's registry, never from
// the Unix environment, hence a Windows program to set it.
#include <windows.h>

#include <cstdio>
#include <string>

// Ctrl+C and Ctrl+Break reach every process of the console: kxstart takes
// them without ending.  (A handler, not SetConsoleCtrlHandler(nullptr, TRUE):
// that flag would be inherited and the program would never see Ctrl+C.)
static BOOL WINAPI KeepRunning(DWORD) { return TRUE; }

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: kxstart TEMP-FOLDER PROGRAM [ARGUMENT ...]\n");
    return 2;
  }
  CreateDirectoryA(argv[1], nullptr);
  SetEnvironmentVariableA("TEMP", argv[1]);
  SetEnvironmentVariableA("TMP", argv[1]);
  SetConsoleCtrlHandler(KeepRunning, TRUE);

  std::string command;
  for (int i = 2; i < argc; ++i) {
    if (i > 2) command += ' ';
    command += '"';
    command += argv[i];
    command += '"';
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "kxstart: cannot start %s (error %lu)\n", argv[2], GetLastError());
    return 127;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return int(code);
}
