// The front-end's requests that steer the program and read its state:
// stop, step, run, breakpoints, registers, number mode, call stack,
// procedure names and counters, profiler and library lists.  The requests
// that evaluate expressions are in link_values.cpp.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/core/debugger_seam.h"
#include "runtime/debugger/link_internal.h"

namespace kx {
namespace link {

namespace {

void SetState(int state) { CurrentDebuggerRecord()->state = state; }

void Step(const Incoming& m) {
  int32_t count = m.header.value1;
  if (count == -1) SetStepMode(4, 0);
  else if (count == -2) SetStepMode(5, 0);
  else if (count > 0) SetStepMode(1, count);
  else return;   // no step of that kind
  SetState(StateRunning);
}

void Run(const Incoming& m) {
  if (m.header.value1 != 0) Send(SendRunAnswer, 0, 0);
  CurrentDebuggerRecord()->stepMode = 0;
  SetState(StateRunning);
}

void RegisterNames(const Incoming&) {
  Outgoing names;
  for (int i = 0; i < SavedRegisterCount; ++i) names.Text(RegisterName(i));
  Send(SendRegisterNames, SavedRegisterCount, SavedRegisterSize, &names);
}

void Registers(const Incoming&) {
  SavedRegisters* registers = CurrentStop().registers;
  if (!registers) {
    Send(SendRegisters, 0, SavedRegisterSize);
    return;
  }
  Outgoing values;
  for (int i = 0; i < SavedRegisterCount; ++i) values.Bytes(RegisterAt(registers, i), SavedRegisterSize);
  char position[600];
  int32_t line = CurrentStop().line;
  snprintf(position, sizeof position, "File: %s (Line: %d)", SourceFileName(line), debugger::LineNumber(line));
  values.Text(position);
  Send(SendRegisters, SavedRegisterCount, SavedRegisterSize, &values);
}

void SetRegister(const Incoming& m) {
  uintptr_t* target = RegisterAt(CurrentStop().registers, m.header.value1);
  if (!target) return;
  if (m.Length() >= 8 && SavedRegisterSize == 8) {
    memcpy(target, m.data.data(), 8);
  } else if (m.Length() >= 4) {
    *target = uintptr_t(intptr_t(m.Int32At(0, 0)));
  }
}

void HexMode(const Incoming& m) {
  SetHexMode(m.header.value1);
  Send(SendHexMode, kx::HexMode(), 0);
}

void CallStack(const Incoming&) {
  DebuggerRecord* record = CurrentDebuggerRecord();
  Outgoing levels;
  for (int32_t i = 0; i < record->depth; ++i) {
    levels.Int32(record->stack[i].callingLine);
    levels.Text(debugger::CallText(record->stack[i]));
  }
  Send(SendCallStack, record->depth, record->line, &levels);
}

void ProcedureNames(const Incoming&) {
  Outgoing names;
  int32_t count = ProcedureCount();
  for (int32_t i = 0; i < count; ++i) {
    const ProcedureEntry* procedure = FindProcedureByIndex(i);
    names.Text(procedure && procedure->name ? procedure->name : "");
  }
  Send(SendProcedureNames, count, 0, &names);
}

void CallCounts(const Incoming&) {
  Outgoing counts;
  int32_t count = ProcedureCount();
  for (int32_t i = 0; i < count; ++i) counts.Int32(ProcedureCallCount(i));
  Send(SendCallCounts, count, 0, &counts);
}

void ProfilerOffsets(const Incoming&) {
  Outgoing offsets;
  int32_t files = ProfilerFileCount();
  if (files > 0) offsets.Bytes(kx::ProfilerOffsets(), size_t(files + 1) * 4);
  Send(SendProfilerOffsets, files > 0 ? files + 1 : 0, ProfilerCounterCount(), &offsets);
}

void ProfilerCounters(const Incoming&) {
  Outgoing counters;
  int32_t count = ProfilerCounterCount();
  if (count > 0) counters.Bytes(kx::ProfilerCounters(), size_t(count) * 4);
  Send(SendProfilerCounters, count, 0, &counters);
}

void ListRows(const Incoming& m) {
  const DebuggerList* list = DebuggerListAt(m.header.value1);
  if (!list) return;
  Outgoing rows;
  rows.Int32(m.Int32At(0, -1));
  int32_t count = 0;
  struct Walk {
    Outgoing* rows;
    int32_t* count;
  } walk = {&rows, &count};
  if ((list->flags & DebuggerListRows) && list->walk) {
    list->walk([](void* context, const char* row, intptr_t object) {
      Walk* w = static_cast<Walk*>(context);
      if (w->rows->bytes.size() > size_t(MaxDataLength) - 2 * DebuggerListRowSize) return;
      w->rows->Int32(int32_t(object));
      w->rows->Text(row);
      ++*w->count;
    }, &walk);
  }
  Send(SendListRows, m.header.value1, count, &rows);
}

void ListDetail(const Incoming& m) {
  const DebuggerList* list = DebuggerListAt(m.header.value1);
  if (!list || !(list->flags & DebuggerListDetails) || !list->detail || m.Length() < 4) return;
  int32_t object = m.Int32At(0, 0);
  static char text[8192];
  text[0] = 0;
  list->detail(object, text, sizeof text);
  text[sizeof text - 1] = 0;
  Outgoing data;
  data.Text(text);
  Send(SendListDetail, m.header.value1, object, &data);
}

void ListData(const Incoming& m) {
  const DebuggerList* list = DebuggerListAt(m.header.value1);
  if (!list || !(list->flags & DebuggerListDataBlocks) || !list->data || m.Length() < 4) return;
  int32_t object = m.Int32At(0, 0);
  int32_t size = 0;
  void* block = list->data(object, &size);
  Outgoing data;
  if (block && size > 0 && size <= MaxDataLength) data.Bytes(block, size_t(size));
  if (block && list->release) list->release(block);
  Send(SendListData, m.header.value1, object, &data);
}

}  // namespace

void AnnounceLibraryLists() {
  Outgoing lists;
  int32_t count = DebuggerListCount();
  for (int32_t i = 0; i < count; ++i) {
    const DebuggerList* list = DebuggerListAt(i);
    lists.Text(list->library);
    lists.Text(list->title);
    lists.Text(list->flags & DebuggerListRows ? list->columns : "");
    lists.Int32(list->flags);
  }
  Send(SendLibraryLists, count, 0, &lists);
}

void ApplyBreakpoint(const MessageHeader& header) {
  switch (header.value1) {
    case 1: AddBreakpoint(header.value2); break;
    case 2: RemoveBreakpoint(header.value2); break;
    case 3: ClearBreakpoints(header.value2 < 0 ? -1 : header.value2); break;
    default: break;
  }
}

void Dispatch(const Incoming& m) {
  switch (m.header.type) {
    case RequestStop: SetState(StateStep); return;
    case RequestStep: Step(m); return;
    case RequestRun: Run(m); return;
    case RequestWarningMode:
      if (m.header.value1 >= 0 && m.header.value1 <= 2) SetWarningMode(m.header.value1);
      return;
    case RequestBreakpoint: ApplyBreakpoint(m.header); return;
    case RequestRegisterNames: RegisterNames(m); return;
    case RequestRegisters: Registers(m); return;
    case RequestSetRegister: SetRegister(m); return;
    case RequestHexMode: HexMode(m); return;
    case RequestCallStack: CallStack(m); return;
    case RequestProcedureNames: ProcedureNames(m); return;
    case RequestCallCounts: CallCounts(m); return;
    case RequestResetCallCounts: ResetProcedureCallCounts(m.header.value1); return;
    case RequestProfilerOn: SetProfiling(1); return;
    case RequestProfilerOff: SetProfiling(0); return;
    case RequestProfilerReset: ResetProfiler(); return;
    case RequestProfilerOffsets: ProfilerOffsets(m); return;
    case RequestProfilerCounters: ProfilerCounters(m); return;
    case RequestLibraryLists: AnnounceLibraryLists(); return;
    case RequestListRows: ListRows(m); return;
    case RequestListDetail: ListDetail(m); return;
    case RequestListData: ListData(m); return;
    default:
      DispatchValues(m);   // or dropped: a type this link does not know
      return;
  }
}

}  // namespace link
}  // namespace kx
