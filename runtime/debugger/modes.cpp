// The debugger's modes, the program's end code and the exit through it.
#include <windows.h>

#include <cstdio>

#include "runtime/debugger/debugger_internal.h"
#include "runtime/debugger/end_code.h"
#include "runtime/debugger/modes.h"

namespace kx {

namespace {

volatile LONG g_warningMode = 1;
volatile LONG g_errorMode = 0;
volatile LONG g_hexMode = 0;
volatile LONG g_endOnError = 0;
EndCodeFunction volatile g_endCode = nullptr;
volatile LONG g_endCodeRun = 0;
volatile LONG g_endingThread = 0;   // the thread that runs the end code

}  // namespace

void SetWarningMode(int mode) { InterlockedExchange(&g_warningMode, mode); }
int WarningMode() { return g_warningMode; }
void SetErrorMode(int mode) { InterlockedExchange(&g_errorMode, mode); }
int ErrorMode() { return g_errorMode; }
void SetHexMode(int hex) { InterlockedExchange(&g_hexMode, hex ? 1 : 0); }
int HexMode() { return g_hexMode; }
void SetEndOnError(int flag) { InterlockedExchange(&g_endOnError, flag ? 1 : 0); }
int EndOnError() { return g_endOnError; }

void SetEndCode(EndCodeFunction code) { g_endCode = code; }

void RunEndCode() {
  if (InterlockedExchange(&g_endCodeRun, 1) != 0) return;
  InterlockedExchange(&g_endingThread, LONG(GetCurrentThreadId()));
  if (EndCodeFunction code = g_endCode) code();
}

namespace debugger {

// While one thread ends the program, the libraries release the objects that
// the program's other threads may still be using; what those threads then
// get wrong is a consequence of the end, not a fault to report (a report
// would stop or end the program a second time, with the wrong exit code).
bool ProgramEndingElsewhere() {
  return g_endCodeRun && DWORD(g_endingThread) != GetCurrentThreadId();
}

void ParkWhileProgramEnds() {
  // Messages other threads send to this thread's windows are still served:
  // the end destroys the windows, and a window of another thread is
  // destroyed by a message to its own thread.
  for (;;) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
  }
}

}  // namespace debugger

void ExitProgram(int code) {
  RunEndCode();
  fflush(stdout);
  fflush(stderr);
  fflush(debugger::ConsoleOut());
  ExitProcess(code);
}

}  // namespace kx
