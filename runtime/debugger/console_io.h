// Where the console debugger writes and reads; the console's command loop.
#pragma once

#include <cstdint>

namespace kx {

// Console output target (stdout by default); debug output and error lines go here.
void* ConsoleOutput();                 // FILE*
void SetConsoleOutput(void* file);     // FILE*, nullptr = stdout
// Console input (answers and commands): FILE*, nullptr = stdin; isTerminal
// -1 asks the system whether it is a console, 0/1 decide (tests, scripts).
void* ConsoleInputFile();
void SetConsoleInput(void* file, int isTerminal);

// Console command loop of the interactive console debugger (entered from
// "d" at the error prompt, the "console" error mode and stops).
using ConsoleLoopFunction = int (*)(int32_t line, int state, void* registers);
void SetConsoleCommandLoop(ConsoleLoopFunction loop);

}  // namespace kx
