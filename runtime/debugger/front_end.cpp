// The front-end seam, the console's input and output, and the stop lock
// that serialises reports and stops of several threads.
#include <windows.h>

#include <cstdio>

#include "runtime/debugger/console_io.h"
#include "runtime/debugger/debugger_internal.h"
#include "runtime/debugger/front_end.h"

namespace kx {

namespace debugger {

volatile LONG stoppedThread = 0;

namespace {

struct StopLock {
  CRITICAL_SECTION section;
  StopLock() { InitializeCriticalSection(&section); }
};

StopLock& TheStopLock() {
  static StopLock* lock = new StopLock;  // never destroyed: reports may come late
  return *lock;
}

FILE* volatile g_input = nullptr;       // nullptr = stdin
volatile LONG g_inputTerminal = -1;     // -1 = ask the system
FILE* volatile g_output = nullptr;      // nullptr = stdout
void* volatile g_frontEnd = nullptr;    // const DebuggerFrontEnd*
ConsoleLoopFunction volatile g_consoleLoop = nullptr;

}  // namespace

void EnterStop() { EnterCriticalSection(&TheStopLock().section); }
void LeaveStop() { LeaveCriticalSection(&TheStopLock().section); }
bool TryEnterStop() { return TryEnterCriticalSection(&TheStopLock().section) != 0; }

FILE* ConsoleInput() { return g_input ? g_input : stdin; }
FILE* ConsoleOut() { return g_output ? g_output : stdout; }
ConsoleLoopFunction ConsoleLoop() { return g_consoleLoop; }

bool StdinIsTerminal() {
  if (g_inputTerminal >= 0) return g_inputTerminal != 0;
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return false;
  // NUL is a character device too; only a console answers GetConsoleMode.
  DWORD mode;
  return GetFileType(input) == FILE_TYPE_CHAR && GetConsoleMode(input, &mode);
}

}  // namespace debugger

const DebuggerFrontEnd* SetDebuggerFrontEnd(const DebuggerFrontEnd* frontEnd) {
  void* previous = InterlockedExchangePointer(&debugger::g_frontEnd, const_cast<DebuggerFrontEnd*>(frontEnd));
  return static_cast<const DebuggerFrontEnd*>(previous);
}

const DebuggerFrontEnd* CurrentDebuggerFrontEnd() {
  return static_cast<const DebuggerFrontEnd*>(debugger::g_frontEnd);
}

void SetConsoleCommandLoop(ConsoleLoopFunction loop) { debugger::g_consoleLoop = loop; }

void* ConsoleOutput() { return debugger::ConsoleOut(); }
void SetConsoleOutput(void* file) { debugger::g_output = static_cast<FILE*>(file); }
void* ConsoleInputFile() { return debugger::ConsoleInput(); }
void SetConsoleInput(void* file, int isTerminal) {
  debugger::g_input = static_cast<FILE*>(file);
  InterlockedExchange(&debugger::g_inputTerminal, isTerminal < 0 ? -1 : (isTerminal ? 1 : 0));
}

}  // namespace kx
