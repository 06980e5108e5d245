// The debugger's per-thread record: current line, state, step mode and the
// call stack of the procedure hooks.
#pragma once

#include <cstdint>

namespace kx {

// Thread states of the debugger record.
constexpr int StateRunning = 0;
constexpr int StateError = 2;
constexpr int StateCallDebugger = 3;
constexpr int StateProgramEnd = 5;
constexpr int StateFatal = 6;
constexpr int StateBreakpoint = 7;
constexpr int StateStep = 8;

struct CallStackEntry {
  int32_t procedure;
  void* stackPointer;
  int32_t callingLine;
  void* arguments;     // heap snapshot of the argument values, nullptr if none
};

struct DebuggerRecord {
  int32_t line;
  int32_t state;
  int32_t stepMode;
  int32_t stepCount;
  int32_t stepLine;
  int32_t stepDepth;
  volatile int32_t waiting;   // 1 while the line hook holds the thread for another's stop
  int32_t depth;           // entries on the call stack
  int32_t stackCapacity;
  CallStackEntry* stack;
};

DebuggerRecord* CurrentDebuggerRecord();

// Argument snapshot as kept on the call stack.
struct ArgumentValue {
  uint8_t type;
  int64_t value;         // integer kinds, float bits, double bits
  const char* text;      // string arguments: copy of at most 200 characters
};
struct ArgumentSnapshot {
  int32_t count;
  ArgumentValue values[1];
};

}  // namespace kx
