// The console's behaviour at reports, stops and debug output when no
// interactive command loop takes over: the error line, the error modes, the
// "ask" prompt, the debugger report and the console window of a GUI program.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "runtime/debugger/console_internal.h"
#include "runtime/debugger/debugger_internal.h"

namespace kx {
namespace debugger {


namespace {

void Print(FILE* out, const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));
void Print(FILE* out, const char* format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  int length = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0) return;
  if (size_t(length) >= sizeof text) {
    // Longer lines (a report's environment): built once more at their size.
    std::string large(size_t(length) + 1, '\0');
    va_start(args, format);
    vsnprintf(large.data(), large.size(), format, args);
    va_end(args);
    console::WriteText(out, large.data(), size_t(length));
    return;
  }
  console::WriteText(out, text, size_t(length));
}

void PrintNotTerminal(FILE* out, bool fatal) {
  if (fatal) {
    Print(out, "\n[Debugger Error]  Fatal error.\n");
  } else {
    Print(out, "[Debugger Error]  Cannot call Debugger because STDIN is not connected to ");
    Print(out, "\n[Debugger Error]  a terminal device! The program will be terminated.\n");
  }
}

// Reads one answer line; false at the end of input.
bool ReadAnswer(char* buffer, int size) { return console::ReadLine(buffer, size); }

const char* StateLine(int state) {
  switch (state) {
    case StateError: return "  Program State: error\n";
    case StateCallDebugger: return "  Program State: halted by \"CallDebugger\"\n";
    case StateProgramEnd: return "  Program State: program ended\n";
    case StateFatal: return "  Program State: fatal error\n";
    case StateBreakpoint: return "  Program State: halted by Breakpoint\n";
    case StateStep: return "  Program State: halted by User\n";
    default: return "  Program State: unknown\n";
  }
}

}  // namespace

void WriteReport(FILE* out, int32_t line, int state, void* registers) {
  Print(out, "\n==============================================\n   Korvex Debugger Report");
  Print(out, "\n==============================================\n\n");
  Print(out, "[Included source files]\n");
  const DebugSymbols* symbols = CurrentDebugSymbols();
  if (symbols && symbols->sourceFiles) {
    for (int32_t i = 0; i < symbols->sourceFileCount; ++i) {
      if (symbols->sourceFiles[i]) Print(out, "%s\n", symbols->sourceFiles[i]);
    }
  }
  Print(out, "\n[Program execution information]\n");
  time_t now = time(nullptr);
  const char* date = ctime(&now);  // ends with its own line feed
  Print(out, "%s%s\n\n", date ? date : "\n", GetCommandLineA());
  Print(out, "[Error information]\n");
  Print(out, "Current Line: %d\n", LineNumber(line));
  Print(out, "Current File: %s\n", SourceFileName(line));
  Print(out, "%s\n", StateLine(state));
  Print(out, "[Global variables]\n");
  console::Variables(out, "");
  Print(out, "[Execution history]\n");
  console::History(out, "variables");
  Print(out, "[Processor registers]");
  if (registers) {
    Print(out, "\n");
    console::Registers(out, registers);
  } else {
    Print(out, "\n  Cannot display register values at this point.\n\n\n");
  }
  Print(out, "[Stack contents]\n");
  console::Stack(out, registers);
  Print(out, "[Arrays]\n");
  console::Arrays(out);
  Print(out, "[Linked Lists]\n");
  console::LinkedLists(out);
  Print(out, "[Environment variables]\n");
  if (char* environment = GetEnvironmentStringsA()) {
    for (const char* v = environment; *v; v += strlen(v) + 1) Print(out, "%s\n", v);
    FreeEnvironmentStringsA(environment);
  }
  Print(out, "\n");
  fflush(out);
}

int ConsoleError(const ReportDetails& report, int state) {
  FILE* out = ConsoleOut();
  const char* file = SourceFileName(report.line);
  int lineNumber = LineNumber(report.line);
  int mode = ErrorMode();
  Print(out, "\n[Debugger Error]  %s\n[Debugger Error]  File: %s (Line: %d)\n", report.text, file, lineNumber);
  if (out != stdout && mode != 1) {
    Print(stdout, "\n[Debugger Error]  %s\n[Debugger Error]  File: %s (Line: %d)\n", report.text, file, lineNumber);
  }
  bool fatal = state == StateFatal;
  switch (mode) {
    case 1:  // ignore
      return StateRunning;
    case 2:  // console
      if (StdinIsTerminal()) return ConsoleLoop() ? ConsoleLoop()(report.line, state, nullptr) : StateRunning;
      PrintNotTerminal(out, false);
      ExitProgram(1);
    case 3:  // exit
      ExitProgram(1);
    case 4:  // report
      WriteReport(out, report.line, state);
      ExitProgram(1);
    default:
      break;
  }
  // ask
  if (!StdinIsTerminal()) {
    PrintNotTerminal(out, fatal);
    ExitProgram(1);
  }
  char answer[502];
  for (;;) {
    if (fatal) {
      Print(stdout, "  Fatal error. Do you with to open the Debugger console? (Yes, No)\n");
      Print(stdout, "  (y,N) ");
    } else {
      Print(stdout, "  Do you wish to continue the program? (Yes, No, Debugger Console, Ignore all)\n");
      Print(stdout, "  (y,N,d,i) ");
    }
    if (!ReadAnswer(answer, sizeof answer)) {
      Print(stdout, "\n[Debugger Error]  Input error from stdin, program is exiting.\n\n");
      ExitProgram(1);
    }
    char c = answer[0];
    if (c == 'n' || c == 'N' || c == ' ' || c == '\n' || c == '\r' || c == 0) ExitProgram(1);
    if (c == 'y' || c == 'Y') {
      if (!fatal) return StateRunning;
      return ConsoleLoop() ? ConsoleLoop()(report.line, state, nullptr) : StateRunning;
    }
    if (!fatal && (c == 'd' || c == 'D')) {
      return ConsoleLoop() ? ConsoleLoop()(report.line, state, nullptr) : StateRunning;
    }
    if (!fatal && (c == 'i' || c == 'I')) {
      SetErrorMode(1);
      return StateRunning;
    }
  }
}

void ConsoleWarning(const ReportDetails& report) {
  Print(ConsoleOut(), "\n[Debugger Warning]  %s\n[Debugger Warning]  File: %s (Line: %d)\n", report.text,
        SourceFileName(report.line), LineNumber(report.line));
}

int ConsoleStop(int32_t line, int state, void* registers) {
  if (StdinIsTerminal() && ConsoleLoop()) return ConsoleLoop()(line, state, registers);
  FILE* out = ConsoleOut();
  Print(out, "\n[Debugger Error]  Cannot call Debugger because STDIN is not connected to ");
  Print(out, "\n[Debugger Error]  a terminal device! File: %s (Line: %d)", SourceFileName(line), LineNumber(line));
  Print(out, "\n[Debugger Error]  Program execution continues...\n");
  return StateRunning;
}

void ConsoleDebugOutput(int kind, const void* value) {
  FILE* out = ConsoleOut();
  switch (kind) {
    case DebugKindText:
      Print(out, "[Debugger]  %s\n", value ? static_cast<const char*>(value) : "");
      break;
    case DebugKindLong:
      if (HexMode()) Print(out, "[Debugger]  $%X\n", unsigned(*static_cast<const int32_t*>(value)));
      else Print(out, "[Debugger]  %d\n", int(*static_cast<const int32_t*>(value)));
      break;
    case DebugKindQuad: {
      char text[32];
      snprintf(text, sizeof text, "%lld", static_cast<long long>(*static_cast<const int64_t*>(value)));
      Print(out, "[Debugger]  %s\n", text);
      break;
    }
    case DebugKindFloat:
      Print(out, "[Debugger]  %f\n", double(*static_cast<const float*>(value)));
      break;
    case DebugKindDouble:
      Print(out, "[Debugger]  %g\n", *static_cast<const double*>(value));
      break;
    default:
      break;
  }
}

void ConsoleStart() {
  // A GUI program has no console yet: give it one, as the console debugger
  // prints there and reads its answers from it.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    if (AllocConsole()) {
      COORD size = {80, 500};
      SetConsoleScreenBufferSize(GetStdHandle(STD_OUTPUT_HANDLE), size);
      freopen("CONOUT$", "w", stdout);
      freopen("CONOUT$", "w", stderr);
      freopen("CONIN$", "r", stdin);
    }
  }
  SetConsoleTitleA("Korvex Console Debugger (press Ctrl+C to stop program)");
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stderr, nullptr, _IONBF, 0);
  console::InstallConsole();
  console::ReadSettings();
}

void ConsoleEnd() {
  FILE* out = ConsoleOut();
  if (out != stdout && out != stderr) {
    SetConsoleOutput(nullptr);
    fclose(out);
  }
}

}  // namespace debugger
}  // namespace kx
