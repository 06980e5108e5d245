// A small program as the build would make it, run under kxdebug by the
// link tests: its own symbol tables, line hooks before every line,
// procedure hooks and debug output.  The first argument picks what it does
// besides its usual lines: "error", "fatal", "warning", "lists", "loop",
// "env", "bench", "errors2", "workerreport" (a thread reports while the
// main thread loops as in "loop").  KX_PROBE_INSTALL names the install path (the
// console's settings file lies under it).
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

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/core/debugger_seam.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"
#include "runtime/debugger/checks.h"
#include "runtime/debugger/evaluator_symbols.h"
#include "runtime/files/file.h"
#include "runtime/runtime.h"

namespace {

int32_t Line(int file, int number) { return (file << 24) | (number - 1); }

int32_t Zahl = 0;
char* Name = nullptr;         // "Velmora", a string-heap block
double Wert = 2.5;

struct Connect {
  int32_t serverid;
  char* ip;
};
Connect Verbindung = {1, nullptr};   // ip "127.0.0.1"
const kx::StructureField ConnectFields[] = {
    {kx::TypeLong, "serverid", offsetof(Connect, serverid), nullptr, 0, 0},
    {kx::TypeString, "ip$", offsetof(Connect, ip), nullptr, 0, 0},
};
const kx::StructureDescription ConnectStructure = {"Connect", sizeof(Connect), ConnectFields, 2};

int32_t FeldData[3] = {7, 8, 9};
kx::ArrayRecord Feld = {FeldData, {3}};
struct LongElement {
  kx::ListElement link;
  int32_t value;
};
LongElement ListeData[2] = {{{&ListeData[1].link, nullptr}, 100}, {{nullptr, &ListeData[0].link}, 200}};
kx::ListRecord Liste = {1, 2, 1, &ListeData[0].link, &ListeData[1].link, &ListeData[1].link};
const kx::SymbolEntry Arrays[] = {{kx::TypeLong, 0, "v_Feld", reinterpret_cast<intptr_t>(&Feld), nullptr, 0, 1}};
const kx::SymbolEntry Lists[] = {{kx::TypeLong, 0, "v_Liste", reinterpret_cast<intptr_t>(&Liste), nullptr, 0, 0}};
const kx::ProgramTables Tables = {Arrays, 1, Lists, 1, nullptr, 0, nullptr, 0};

const int32_t ProbeLines[] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13};
const int32_t IncludeLines[] = {1, 2};
const kx::ExecutableLines LineTables[] = {{0, ProbeLines, 12}, {1, IncludeLines, 2}};
const char* const SourceFiles[] = {"probe.kx", "inc.kx"};

const kx::ProcedureArgument InnerArguments[] = {{kx::TypeString, 0}};
const kx::ProcedureArgument OuterArguments[] = {{kx::TypeLong, 0}};
// The frames the procedures give their entry hook: the argument is the
// procedure's one local variable.
const kx::SymbolEntry InnerVariables[] = {{kx::TypeString, kx::ScopeLocal, "v_Text$", 0, nullptr, 0, 0},
                                          {kx::SymbolTableEnd}};
const kx::SymbolEntry OuterVariables[] = {{kx::TypeLong, kx::ScopeLocal, "v_n", 0, nullptr, 0, 0},
                                          {kx::SymbolTableEnd}};
const kx::ProcedureEntry Procedures[] = {
    {1, InnerArguments, kx::TypeLong, "Inner", nullptr, {InnerVariables, nullptr, nullptr}, 0},
    {1, OuterArguments, kx::TypeLong, "Outer", nullptr, {OuterVariables, nullptr, nullptr}, 1},
};
const kx::GlobalVariable Globals[] = {
    {kx::TypeLong, "v_Zahl", &Zahl, nullptr, 0},
    {kx::TypeString, "v_Name$", &Name, nullptr, 0},
    {kx::TypeDouble, "v_Wert", &Wert, nullptr, 0},
    {kx::TypeStructure, "v_Verbindung", &Verbindung, &ConnectStructure, 0},
};
const kx::DebugSymbols Symbols = {"C:\\probe\\", "probe.kx", SourceFiles, 2, Procedures, 2,
                                  Globals, 4, LineTables, 2, &Tables};

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
  if (!At(1, 2)) kx::Debug(frame.text);
  kx::DebuggerProcedureLeave();
}

void Outer(int32_t n) {
  struct {
    int32_t n;
  } frame = {n};
  kx::DebuggerProcedureEnter(1, &frame);
  if (!At(0, 11)) Inner(frame.n == 3 ? "abc" : "changed");
  At(0, 12);
  kx::DebuggerProcedureLeave();
}

// A library list of the probe's own, registered while the link is on: two
// rows, a detail text and a data block per object.
void ProbeWalk(kx::DebuggerListVisitor visit, void* context) {
  visit(context, "eins\t1", 1);
  visit(context, "zwei\t2", 2);
}
void ProbeDetail(intptr_t object, char* text, int32_t size) {
  snprintf(text, size_t(size), "Probe object %d", int(object));
}
void* ProbeData(intptr_t object, int32_t* size) {
  *size = 16;
  char* block = static_cast<char*>(malloc(16));
  memset(block, int(object), 16);
  return block;
}
void ProbeRelease(void* data) { free(data); }
const kx::DebuggerList ProbeList = {sizeof(kx::DebuggerList),
                                    kx::DebuggerListRows | kx::DebuggerListDetails | kx::DebuggerListDataBlocks,
                                    "KX_LIBRARY_Probe", "Probe", "Name\t100\tNumber\t50", ProbeWalk, ProbeDetail,
                                    ProbeData, ProbeRelease};

// The workers live until the program ends, so the viewers always list them.
HANDLE const g_never = CreateEventA(nullptr, TRUE, FALSE, nullptr);

int32_t Worker(int32_t) {
  WaitForSingleObject(g_never, INFINITE);
  return 0;
}

int32_t ReportingWorker(int32_t) {
  kx::ReportLibraryError(&kx::ThreadLibrary, "InvalidThread");
  WaitForSingleObject(g_never, INFINITE);
  return 0;
}

void Scenario() {
  if (g_scenario == "error") {
    kx::ReportLibraryError(&kx::ThreadLibrary, "InvalidThread");
  } else if (g_scenario == "errors2") {
    kx::ReportLibraryError(&kx::ThreadLibrary, "InvalidThread");
    kx::ReportError("NullLength");
  } else if (g_scenario == "fatal") {
    kx::ReportRuntimeError(kx::ReportKindFatal, 1);
  } else if (g_scenario == "warning") {
    kx::ReportWarning("HighNumber", "Window", 5000);
  } else if (g_scenario == "bench") {
    // The line hook with the link on and nothing to do, per call.
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    constexpr int Rounds = 2000000;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < Rounds; ++i) kx::DebuggerLine(Line(0, 8 + (i & 1)));
    QueryPerformanceCounter(&end);
    char text[96];
    snprintf(text, sizeof text, "DebuggerLine with the link on: %.1f ns per line",
             double(end.QuadPart - start.QuadPart) * 1e9 / double(frequency.QuadPart) / Rounds);
    kx::Debug(text);
  } else if (g_scenario == "workerreport") {
    kx::StartThread(ReportingWorker, 0);
  } else if (g_scenario == "lists") {
    kx::StartThread(Worker, 0);
    kx::NewFile(7, "probe-list.txt");
    kx::RegisterDebuggerList(&ProbeList);
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
  kx::Debug(Name);
  kx::Debug(Verbindung.serverid);
  kx::Debug(int64_t(1) << 40);
  kx::Debug(0.25f);
  kx::Debug(Wert);
  if (g_scenario == "loop" || g_scenario == "workerreport") {
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
  kx::AssignString(&Name, "Velmora");
  kx::AssignString(&Verbindung.ip, "127.0.0.1");
  kx::SetDebugSymbols(&Symbols);
  if (const char* install = getenv("KX_PROBE_INSTALL")) kx::SetInstallPath(install);
  kx::RuntimeStart();
  int code = Program();
  kx::RuntimeEnd();
  if (g_scenario == "lists") DeleteFileA("probe-list.txt");
  return code;
}
