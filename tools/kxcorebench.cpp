// kxcorebench: cost of the paths every runtime command and every program line
// takes: object lookups by number and identity, the line hook with nothing to
// do, the procedure hooks, a reported check, a thread start.
//
//   kxcorebench [ROUNDS]     default 2000000
//
// Prints one line per measurement: name, nanoseconds per call.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/core/objects.h"
#include "runtime/core/threads.h"
#include "runtime/debugger/checks.h"
#include "runtime/runtime.h"

namespace {

struct Record {
  intptr_t handle;
  int data[6];
};

int Silent(const kx::ReportDetails&, int) { return 0; }
const kx::DebuggerFrontEnd SilentFrontEnd = {"bench", Silent, nullptr, nullptr, nullptr, nullptr, nullptr};

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(frequency.QuadPart);
}

template <typename F>
void Measure(const char* name, long rounds, F body) {
  double start = Now();
  for (long i = 0; i < rounds; ++i) body(i);
  double seconds = Now() - start;
  printf("%-34s %10.1f ns\n", name, seconds * 1e9 / double(rounds));
}

volatile intptr_t g_sink;

int32_t Nothing(int32_t) { return 0; }

}  // namespace

int main(int argc, char** argv) {
  long rounds = argc > 1 ? atol(argv[1]) : 2000000;
  if (rounds < 1) rounds = 1;
  kx::RuntimeStart();
  kx::SetDebuggerFrontEnd(&SilentFrontEnd);

  kx::ObjectTable* table = kx::CreateObjectTable(sizeof(Record), 16, nullptr);
  static_cast<Record*>(kx::AllocateObject(table, 5))->handle = 1;
  static_cast<Record*>(kx::AllocateObject(table, 1000))->handle = 1;
  Record* dynamic = static_cast<Record*>(kx::AllocateObject(table, kx::DynamicNumber));
  dynamic->handle = 1;
  intptr_t identity = kx::DynamicIdentity(table, dynamic);
  for (int i = 0; i < 100; ++i) static_cast<Record*>(kx::AllocateObject(table, kx::DynamicNumber))->handle = 1;

  Measure("FindObject number 5", rounds, [&](long) { g_sink = intptr_t(kx::FindObject(table, 5)); });
  Measure("FindObject number 1000 (62 links)", rounds, [&](long) { g_sink = intptr_t(kx::FindObject(table, 1000)); });
  Measure("FindObject dynamic identity", rounds, [&](long) { g_sink = intptr_t(kx::FindObject(table, identity)); });
  Measure("IsObject dynamic (101 records)", rounds / 10, [&](long) { g_sink = intptr_t(kx::IsObject(table, identity)); });
  Measure("AllocateObject+FreeObject dynamic", rounds / 10, [&](long) {
    void* r = kx::AllocateObject(table, kx::DynamicNumber);
    kx::FreeObject(table, kx::DynamicIdentity(table, r));
  });
  Measure("DebuggerLine (nothing to do)", rounds, [&](long i) { g_sink = kx::DebuggerLine(int32_t(i & 0xFFFF)); });
  kx::AddBreakpoint(0x7FFFFF);
  Measure("DebuggerLine (one breakpoint)", rounds, [&](long i) { g_sink = kx::DebuggerLine(int32_t(i & 0xFFFF)); });
  kx::ClearBreakpoints(-1);
  Measure("ProcedureEnter+Leave", rounds, [&](long) {
    kx::DebuggerProcedureEnter(0, nullptr);
    kx::DebuggerProcedureLeave();
  });
  Measure("GetThreadRecord", rounds, [&](long) { g_sink = intptr_t(kx::CurrentDebuggerRecord()); });
  Measure("ReportError (silent front-end)", rounds / 20, [&](long) { g_sink = kx::ReportError("NoObject", "#File"); });
  Measure("StartThread + end", 200, [&](long) {
    int32_t t = kx::StartThread(Nothing, 0);
    while (kx::ThreadRunning(t)) Sleep(0);
  });
  kx::SetDebuggerFrontEnd(nullptr);
  kx::RuntimeEnd();
  return 0;
}
