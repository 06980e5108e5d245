// State shared by the console debugger's source files: its settings, its
// command loop and its variable commands.
#pragma once

#include <cstdio>
#include <string>

#include "runtime/debugger/debugger_internal.h"
#include "runtime/debugger/evaluator_symbols.h"

namespace kx {
namespace console {

// ---- text in and out (console_text.cpp) ----

// printf-formatted text to `out`; a console gets it as wide characters
// converted from the program's character set, a file or pipe the bytes.
int Printf(FILE* out, const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));
void WriteText(FILE* out, const char* text, size_t length);
// One line of the console's input (like fgets: the line end kept, at most
// size - 1 bytes) in the program's character set; false at the end of input.
bool ReadLine(char* buffer, int size);

// ---- settings (console_settings.cpp) ----

// Reads "Debugger\debugger.prefs" under the install path (a missing file
// changes nothing).
void ReadSettings();
// "saveconfig": writes the settings file, then reports where.
void SaveSettings(FILE* out);
// "redirect": "stdout", "stderr" or a file name (opened for writing); a file
// that cannot be created falls back to standard output with the message
// (prefix "[Debugger]" at start-up, "" from the command).
void Redirect(const std::string& target, FILE* out, bool atStart);
// The redirect file's name, "" for stdout or stderr; "stderr" selected.
const std::string& RedirectName();
bool RedirectIsStderr();
// Shell command ("cmd" by default).
const std::string& ShellCommand();

std::string Trim(const std::string& text);

// ---- the command loop (console_commands.cpp) ----

int CommandLoop(int32_t line, int state, void* registers);
// The registers/stack displays, shared with the report.
void Registers(FILE* out, void* registers);
void Stack(FILE* out, void* registers);
// The Ctrl+C handler and the loop, installed by the console's start.
void InstallConsole();

// ---- variable commands (console_variables.cpp) ----

void Variables(FILE* out, const std::string& argument);
void History(FILE* out, const std::string& argument);
void DebugExpression(FILE* out, const std::string& expression);
void SetVariable(FILE* out, const std::string& assignment);
void Arrays(FILE* out);
void ArrayShow(FILE* out, const std::string& argument);
void LinkedLists(FILE* out);
void ListShow(FILE* out, const std::string& argument);

}  // namespace console

}  // namespace kx
