// The hooks the application's code calls: start and end, every line, every
// procedure entry and exit, CallDebugger and the Debug output.  This is the
// one debugger header the application needs.
#pragma once

#include <cstdint>

namespace kx {

void DebuggerStart(void* stackPointer);
int DebuggerLine(int32_t line, void* registers = nullptr);
void DebuggerProcedureEnter(int32_t procedure, void* stackPointer);
void DebuggerProcedureLeave();
void CallDebugger(int32_t line);
void DebuggerEnd();

void Debug(const char* text);
void Debug(int32_t value);
void Debug(int64_t value);
void Debug(float value);
void Debug(double value);

}  // namespace kx
