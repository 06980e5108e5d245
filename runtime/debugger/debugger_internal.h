// State shared by the debugger's own source files.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "runtime/debugger/checks.h"

namespace kx {

void RegisterDebuggerCatalog();
void InstallExceptionFilter();

namespace debugger {

// Thread that holds the debugger stopped (a report or a stop is being
// handled); other threads wait in the line hook meanwhile.  0 = none.
extern volatile LONG stoppedThread;

// Serialises reports and stops from several threads.
void EnterStop();
void LeaveStop();

// Console behaviour of the front-end seam (used when the front-end has no
// routine of its own).
int ConsoleError(const ReportDetails& report, int state);
void ConsoleWarning(const ReportDetails& report);
int ConsoleStop(int32_t line, int state, void* registers);
void ConsoleDebugOutput(int kind, const void* value);
// The debugger report ("report" error mode) for the current line and state.
void WriteReport(FILE* out, int32_t line, int state, void* registers = nullptr);
void ConsoleStart();
void ConsoleEnd();
// The console's command loop, nullptr until one is set.
ConsoleLoopFunction ConsoleLoop();

bool StdinIsTerminal();
FILE* ConsoleInput();
FILE* ConsoleOut();

// Report with the group and key known (for the recorder and the link).
int ReportKeyed(int kind, const char* group, const char* key, const char* text);

// Line code shown as a line number (from 1; 0 for no line).
inline int LineNumber(int32_t line) { return line == -1 ? 0 : (line & 0xFFFFFF) + 1; }

// Symbols changed: the breakpoints' executable lines and the profiler's
// tables follow.
void RebuildBreakpointLines();
void BuildProfiler();
// Line hook's parts.
bool IsBreakpoint(int32_t line);
void ProfileLine(int32_t line);
void CountCall(int32_t procedure);
void ResizeCallCounts(int32_t count);

// Opens the link when the environment asks for it (DebuggerStart); true when
// the link is on and chosen as the front-end.
bool LinkStart();
// Waits until the front-end lets the program run (DebuggerStart, link on).
void LinkWaitForRun();

// Set while watched items belong to procedures: the procedure hooks call it
// with the procedure entered or left (the link refreshes those items).
using ProcedureWatchFunction = void (*)(int32_t procedure);
extern ProcedureWatchFunction volatile procedureWatch;

// "Name(arguments)" of a call-stack entry, the arguments as copied at entry.
std::string CallText(const CallStackEntry& entry);

// Stack pointer DebuggerStart was given (the bottom of the stack displays).
void* StartStack();

// Asks the main thread to stop at its next line (state 8) and wakes it.
void RequestMainStop();

// Main thread (the one that ran DebuggerStart); 0 before the start.
DWORD MainThread();

// True while another thread runs the program's end code (modes.cpp).
bool ProgramEndingElsewhere();
// For a thread that waits for a stop to end (held in the line hook, or the
// stopped thread itself) once another thread ends the program: it runs no
// further program code and only serves the messages sent to its windows,
// until the process ends.  Never returns.
[[noreturn]] void ParkWhileProgramEnds();

// The stop lock without waiting: false while another thread holds it.
bool TryEnterStop();

// True once the front-end's kill mutex was released (the link's watcher
// runs the end code): the end then stops nowhere.
bool KillRequested();

// Makes the debugger the sink of the core's reports and thread checks
// (DebuggerStart).
void InstallSink();
// The sink's thread checks: StartThread's procedure against the procedure
// tables (symbols.cpp), and whether the line hook holds a thread (hooks.cpp).
void CheckThreadProcedure(const void* code);
bool ThreadWaiting(uint32_t threadId);

}  // namespace debugger

// Key of group "SystemErrors" for an exception code; nullptr = not ours.
const char* ExceptionKey(DWORD code, const EXCEPTION_RECORD* record);

}  // namespace kx
