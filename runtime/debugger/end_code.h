// The program's end code and the debugger's way out of the process.
#pragma once

namespace kx {

// The program's end code, run once before a fatal exit; the runtime's
// start-up sets it (none before that).
using EndCodeFunction = void (*)();
void SetEndCode(EndCodeFunction code);
// Runs the end code (once); later calls do nothing.
void RunEndCode();
// Runs the end code (once), flushes the standard streams and ends the process.
[[noreturn]] void ExitProgram(int code);

}  // namespace kx
