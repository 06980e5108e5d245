// A small program as the build would make it, run under kxdebug by the
// link tests: its own symbol tables, line hooks before every line,
// procedure hooks and debug output.  The first argument picks what it does
// besides its usual lines: "error", "fatal", "warning", "lists", "loop",
// "env".
//
// probe.kx (file 0)                       inc.kx (file 1)
//   1  Debug "probe"                         1  Procedure Inner(Text$)
//   2  Zahl = 5                              2    Debug Text$
//   3  Outer(3)                              3  EndProcedure
//   4  For i = 1 To 10
//   5    Zahl + i
//   6  Next
//   7  ; nothing here
//   8  (the scenario's line)
//   9  Debug Zahl ...
//  10  Procedure Outer(n)
//  11    Inner("abc")
//  12  EndProcedure
//  13  Repeat : Delay(10) : ForEver    ("loop")
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/core/threads.h"
#include "runtime/debugger/checks.h"
#include "runtime/files/file.h"
#include "runtime/runtime.h"

namespace {

int32_t Line(int file, int number) { return (file << 24) | (number - 1); }

int32_t Zahl = 0;
char* Name = const_cast<char*>("Velmora");
double Wert = 2.5;

const int32_t ProbeLines[] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13};
const int32_t IncludeLines[] = {1, 2};
const kx::ExecutableLines LineTables[] = {{0, ProbeLines, 12}, {1, IncludeLines, 2}};
const char* const SourceFiles[] = {"probe.kx", "inc.kx"};

const kx::ProcedureArgument InnerArguments[] = {{kx::TypeString, 0}};
const kx::ProcedureArgument OuterArguments[] = {{kx::TypeLong, 0}};
const kx::ProcedureEntry Procedures[] = {
    {1, InnerArguments, kx::TypeLong, "Inner", nullptr, {}, 0},
    {1, OuterArguments, kx::TypeLong, "Outer", nullptr, {}, 1},
};
const kx::GlobalVariable Globals[] = {
    {kx::TypeLong, "v_Zahl", &Zahl, nullptr},
    {kx::TypeString, "v_Name$", &Name, nullptr},
    {kx::TypeDouble, "v_Wert", &Wert, nullptr},
};
const kx::DebugSymbols Symbols = {"C:\\probe\\", "probe.kx", SourceFiles, 2, Procedures, 2,
                                  Globals, 3, LineTables, 2};

std::string g_scenario;

// Returns when the line hook asks the program to end (non-zero).
bool At(int file, int number) {
  kx::SavedRegisters registers;
  kx::CaptureRegisters(&registers);
  return kx::DebuggerLine(Line(file, number), &registers) != 0;
}

void Inner(const char* text) {
  struct {
    const char* text;
  } frame = {text};
  kx::DebuggerProcedureEnter(0, &frame);
  if (!At(1, 2)) kx::Debug(text);
  kx::DebuggerProcedureLeave();
}

void Outer(int32_t n) {
  struct {
    int32_t n;
  } frame = {n};
  kx::DebuggerProcedureEnter(1, &frame);
  if (!At(0, 11)) Inner("abc");
  At(0, 12);
  kx::DebuggerProcedureLeave();
}

int32_t Worker(int32_t) {
  for (;;) Sleep(50);
}

void Scenario() {
  if (g_scenario == "error") {
    kx::ReportLibraryError(&kx::ThreadLibrary, "InvalidThread");
  } else if (g_scenario == "fatal") {
    kx::ReportRuntimeError(kx::ReportKindFatal, 1);
  } else if (g_scenario == "warning") {
    kx::ReportWarning("HighNumber", "Window", 5000);
  } else if (g_scenario == "lists") {
    kx::StartThread(Worker, 0);
    kx::NewFile(7, "probe-list.txt");
  }
}

int Program() {
  if (At(0, 1)) return 1;
  kx::Debug("probe");
  if (g_scenario == "env") {
    for (const char* name : {"KX_DEBUGGER_Communication", "KX_DEBUGGER_Options", "KX_DEBUGGER_KillMutex"}) {
      char value[512];
      bool present = GetEnvironmentVariableA(name, value, sizeof value) > 0 || getenv(name) != nullptr;
      kx::Debug((std::string(name) + (present ? " present" : " gone")).c_str());
    }
  }
  if (At(0, 2)) return 1;
  Zahl = 5;
  if (At(0, 3)) return 1;
  Outer(3);
  if (At(0, 4)) return 1;
  for (int32_t i = 1; i <= 10; ++i) {
    if (At(0, 5)) return 1;
    Zahl += i;
    if (At(0, 6)) return 1;
  }
  if (At(0, 8)) return 1;
  Scenario();
  if (At(0, 9)) return 1;
  kx::Debug(Zahl);
  kx::Debug(int64_t(1) << 40);
  kx::Debug(0.25f);
  kx::Debug(Wert);
  if (g_scenario == "loop") {
    for (;;) {
      if (At(0, 13)) return 1;
      Sleep(10);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_scenario = argc > 1 ? argv[1] : "";
  kx::SetDebugSymbols(&Symbols);
  kx::RuntimeStart();
  int code = Program();
  kx::RuntimeEnd();
  if (g_scenario == "lists") DeleteFileA("probe-list.txt");
  return code;
}
