// What the window tests share: pumping the test thread's messages while it
// waits, running kxprobe against the test's own windows (inspected from
// outside, as a user's automation tool sees them) and xdotool for real input.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "support/temp_folder.h"
#include "support/wait_until.h"

namespace kxtest {

// Dispatches the thread's waiting messages (the probe's messages to our
// windows need a thread that answers them).
inline void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

inline BOOL CALLBACK UnpaintedChild(HWND child, LPARAM unpainted) {
  if (GetUpdateRect(child, nullptr, FALSE)) *reinterpret_cast<bool*>(unpainted) = true;
  return TRUE;
}

// Whether the window and its controls have painted all there is to paint.
inline bool Painted(HWND window) {
  bool unpainted = GetUpdateRect(window, nullptr, FALSE) != 0;
  EnumChildWindows(window, UnpaintedChild, reinterpret_cast<LPARAM>(&unpainted));
  return !unpainted;
}

// Answers the thread's messages until the window of this thread has painted
// (up to two seconds); true if it has.
inline bool PumpUntilPainted(HWND window) {
  return WaitUntil([&] {
    Pump();
    return Painted(window);
  }, 2000);
}

// Makes the window the foreground window (the window system may need a few
// rounds of messages for it); true when it is and the messages of the change
// have all come (none for 20 ms): only then does real input reach it.
inline bool Activate(HWND window) {
  return WaitUntil([&] {
    SetForegroundWindow(window);
    Pump();
    return GetForegroundWindow() == window &&
           MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT) == WAIT_TIMEOUT;
  }, 2000);
}

inline std::string BinaryDir() {
  const char* binary = getenv("VELMORA_BINARY_DIR");
  return binary ? WinePath(binary) : std::string(".");
}

// Where a test run keeps its screenshots (made on first use).
inline std::string ScreenshotDir() {
  std::string dir = BinaryDir() + "\\screenshots";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

// A program running in the background, its output going to a file.
class Background {
 public:
  Background() = default;
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  ~Background() { finish(); }

  // commandLine: the whole command line, program first.
  bool start(const std::string& commandLine) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    char file[MAX_PATH];
    GetTempFileNameA(folder, "kxp", 0, file);
    outputFile_ = file;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    const BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                   &process);
    CloseHandle(output);
    if (!ok) return false;
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    return true;
  }

  // Waits (answering the thread's messages meanwhile, by pump when given)
  // for the end; the exit code, -1 if it did not start or did not end within ms.
  int finish(DWORD ms = 30000, const std::function<void()>& pump = nullptr) {
    if (!process_) return exitCode_;
    const DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &process_, FALSE, 20, QS_ALLINPUT) != WAIT_OBJECT_0) {
      if (pump) {
        pump();
      } else {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
          TranslateMessage(&message);
          DispatchMessageA(&message);
        }
      }
      if (GetTickCount() - start > ms) {
        TerminateProcess(process_, 1);
        break;
      }
    }
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    process_ = nullptr;
    exitCode_ = int(code);
    output_.clear();
    // Console output comes with CR LF line ends; tests read plain lines.
    for (char c : ReadBytes(outputFile_)) {
      if (c != '\r') output_ += c;
    }
    DeleteFileA(outputFile_.c_str());
    return exitCode_;
  }

  const std::string& output() const { return output_; }

 private:
  HANDLE process_ = nullptr;
  int exitCode_ = -1;
  std::string outputFile_;
  std::string output_;
};

// One argument of a command line (quotes inside written as \").
inline std::string Quoted(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  return quoted + "\"";
}

// kxprobe's command line for the arguments (each quoted).
inline std::string ProbeLine(std::initializer_list<std::string> arguments) {
  std::string line = Quoted(BinaryDir() + "\\tools\\kxprobe.exe");
  for (const std::string& argument : arguments) line += " " + Quoted(argument);
  return line;
}

struct ProbeResult {
  int exitCode;
  std::string output;
  bool has(const std::string& line) const { return output.find(line) != std::string::npos; }
};

// Runs kxprobe to its end while the test thread keeps answering messages.
inline ProbeResult Probe(std::initializer_list<std::string> arguments) {
  Background probe;
  if (!probe.start(ProbeLine(arguments))) return {-1, "<kxprobe did not start>"};
  const int code = probe.finish();
  return {code, probe.output()};
}

// Runs xdotool with the arguments (separated by blanks) through the input
// server of the test run (tests/gui/xdo_server.sh); pump answers the
// thread's messages meanwhile (WaitWindowEvent, where the input must pass the
// runtime's accelerators).  The exit code, -1 when no server answered.
inline int XdoTool(const std::string& arguments, const std::function<void()>& pump = nullptr) {
  const char* binary = getenv("VELMORA_BINARY_DIR");
  if (!binary) return -1;
  static int counter = 0;
  const std::string base = WinePath(std::string(binary) + "/xdo/") + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++counter);
  std::string lines;
  size_t start = 0;
  while (start < arguments.size()) {
    size_t end = arguments.find(' ', start);
    if (end == std::string::npos) end = arguments.size();
    if (end > start) lines += arguments.substr(start, end - start) + "\n";
    start = end + 1;
  }
  if (!WriteBytes(base + ".write", lines) || !MoveFileA((base + ".write").c_str(), (base + ".request").c_str())) {
    return -1;
  }
  const bool done = WaitUntil([&] {
    if (pump) pump();
    else Pump();
    return Exists(base + ".done");
  }, 10000);
  if (!done) return -1;
  const std::string code = ReadBytes(base + ".done");
  DeleteFileA((base + ".done").c_str());
  DeleteFileA((base + ".output").c_str());
  return atoi(code.c_str());
}

// The X window that shows a Wine window (for xdotool's --window).
inline unsigned long XWindowOf(HWND window) {
  return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window")));
}

}  // namespace kxtest
