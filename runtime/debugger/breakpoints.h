// Breakpoints and step modes, set by the front-ends and looked at by the
// line hook.
#pragma once

#include <cstdint>

namespace kx {

// Breakpoints (line codes).  A breakpoint is kept as given and as the first
// executable line at or after it; one past the file's last executable line
// is refused (0).
int AddBreakpoint(int32_t line);
int RemoveBreakpoint(int32_t line);
void ClearBreakpoints(int32_t file);   // -1 = all files
int BreakpointCount();
// The breakpoints as given (at most max of them); returns their count.
int32_t ListBreakpoints(int32_t* lines, int32_t max);

// Sets the thread's step mode as the front-end asks: 1 count lines, 4 step
// over (another line at the same or a smaller call depth), 5 step out (the
// call depth falls by one; at the outermost level one line).
void SetStepMode(int mode, int count);

// "CallOnStart": stop before the first line; "CallOnEnd": stop once more at
// DebuggerEnd (state 5).
void SetCallOnStart(int flag);
void SetCallOnEnd(int flag);
int CallOnStart();
int CallOnEnd();

}  // namespace kx
