// The seam between the debugger's hooks and a front-end (the console, the
// link to an external front-end, or a test's recorder).
#pragma once

#include <cstdint>

namespace kx {

struct ReportDetails {
  int kind;            // 2 error, 6 fatal, 1 warning to display
  const char* group;   // catalog group of the key, "" for a bare Report
  const char* key;     // "" for a bare Report
  const char* text;    // the formatted message
  int32_t line;        // line code of the current line
};

// Debug output value kinds (as on the debugger link).
constexpr int DebugKindLong = 5;
constexpr int DebugKindQuad = 7;
constexpr int DebugKindText = 8;
constexpr int DebugKindFloat = 9;
constexpr int DebugKindDouble = 6;

// A front-end: every pointer may be null, then the console behaviour serves.
struct DebuggerFrontEnd {
  const char* name;
  // An error report; returns the thread's new state (0 = go on).
  int (*error)(const ReportDetails& report, int state);
  // A warning in display mode.
  void (*warning)(const ReportDetails& report);
  // A stop of the line hook (state 3, 5, 7 or 8); returns the new state.
  int (*stop)(int32_t line, int state, void* registers);
  // Debug output of one value (kind as above; value points to the value or the text).
  void (*debugOutput)(int kind, const void* value);
  // DebuggerEnd.
  void (*end)();
  // Called by the line hook on the main thread, before breakpoints are
  // looked at: the place to process messages the front-end has sent.
  void (*poll)(int32_t line, void* registers);
};

// Chooses the front-end (nullptr = the console); returns the previous one.
const DebuggerFrontEnd* SetDebuggerFrontEnd(const DebuggerFrontEnd* frontEnd);
const DebuggerFrontEnd* CurrentDebuggerFrontEnd();

}  // namespace kx
