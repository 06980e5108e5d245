// The console's behaviour at reports, stops and debug output when no
// interactive command loop takes over: the error line, the error modes, the
// "ask" prompt, the debugger report and the console window of a GUI program.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "runtime/debugger/console_internal.h"
#include "runtime/debugger/debugger_internal.h"

namespace kx {
namespace debugger {


namespace {

using console::Printf;

void PrintNotTerminal(FILE* out, bool fatal) {
  if (fatal) {
    Printf(out, "\n[Debugger Error]  Fatal error.\n");
  } else {
    Printf(out, "[Debugger Error]  Cannot call Debugger because STDIN is not connected to ");
    Printf(out, "\n[Debugger Error]  a terminal device! The program will be terminated.\n");
  }
}

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
  Printf(out, "\n==============================================\n   Korvex Debugger Report");
  Printf(out, "\n==============================================\n\n");
  Printf(out, "[Included source files]\n");
  const DebugSymbols* symbols = CurrentDebugSymbols();
  if (symbols && symbols->sourceFiles) {
    for (int32_t i = 0; i < symbols->sourceFileCount; ++i) {
      if (symbols->sourceFiles[i]) Printf(out, "%s\n", symbols->sourceFiles[i]);
    }
  }
  Printf(out, "\n[Program execution information]\n");
  time_t now = time(nullptr);
  const char* date = ctime(&now);  // ends with its own line feed
  Printf(out, "%s%s\n\n", date ? date : "\n", GetCommandLineA());
  Printf(out, "[Error information]\n");
  Printf(out, "Current Line: %d\n", LineNumber(line));
  Printf(out, "Current File: %s\n", SourceFileName(line));
  Printf(out, "%s\n", StateLine(state));
  Printf(out, "[Global variables]\n");
  console::Variables(out, "");
  Printf(out, "[Execution history]\n");
  console::History(out, "variables");
  Printf(out, "[Processor registers]");
  if (registers) {
    Printf(out, "\n");
    console::Registers(out, registers);
  } else {
    Printf(out, "\n  Cannot display register values at this point.\n\n\n");
  }
  Printf(out, "[Stack contents]\n");
  console::Stack(out, registers);
  Printf(out, "[Arrays]\n");
  console::Arrays(out);
  Printf(out, "[Linked Lists]\n");
  console::LinkedLists(out);
  Printf(out, "[Environment variables]\n");
  if (char* environment = GetEnvironmentStringsA()) {
    for (const char* v = environment; *v; v += strlen(v) + 1) Printf(out, "%s\n", v);
    FreeEnvironmentStringsA(environment);
  }
  Printf(out, "\n");
  fflush(out);
}

int ConsoleError(const ReportDetails& report, int state) {
  FILE* out = ConsoleOut();
  const char* file = SourceFileName(report.line);
  int lineNumber = LineNumber(report.line);
  int mode = ErrorMode();
  Printf(out, "\n[Debugger Error]  %s\n[Debugger Error]  File: %s (Line: %d)\n", report.text, file, lineNumber);
  if (out != stdout && mode != 1) {
    Printf(stdout, "\n[Debugger Error]  %s\n[Debugger Error]  File: %s (Line: %d)\n", report.text, file, lineNumber);
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
      Printf(stdout, "  Fatal error. Do you with to open the Debugger console? (Yes, No)\n");
      Printf(stdout, "  (y,N) ");
    } else {
      Printf(stdout, "  Do you wish to continue the program? (Yes, No, Debugger Console, Ignore all)\n");
      Printf(stdout, "  (y,N,d,i) ");
    }
    if (!console::ReadLine(answer, sizeof answer)) {
      Printf(stdout, "\n[Debugger Error]  Input error from stdin, program is exiting.\n\n");
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
  Printf(ConsoleOut(), "\n[Debugger Warning]  %s\n[Debugger Warning]  File: %s (Line: %d)\n", report.text,
        SourceFileName(report.line), LineNumber(report.line));
}

int ConsoleStop(int32_t line, int state, void* registers) {
  if (StdinIsTerminal() && ConsoleLoop()) return ConsoleLoop()(line, state, registers);
  FILE* out = ConsoleOut();
  Printf(out, "\n[Debugger Error]  Cannot call Debugger because STDIN is not connected to ");
  Printf(out, "\n[Debugger Error]  a terminal device! File: %s (Line: %d)", SourceFileName(line), LineNumber(line));
  Printf(out, "\n[Debugger Error]  Program execution continues...\n");
  return StateRunning;
}

void ConsoleDebugOutput(int kind, const void* value) {
  FILE* out = ConsoleOut();
  switch (kind) {
    case DebugKindText:
      Printf(out, "[Debugger]  %s\n", value ? static_cast<const char*>(value) : "");
      break;
    case DebugKindLong:
      if (HexMode()) Printf(out, "[Debugger]  $%X\n", unsigned(*static_cast<const int32_t*>(value)));
      else Printf(out, "[Debugger]  %d\n", int(*static_cast<const int32_t*>(value)));
      break;
    case DebugKindQuad: {
      char text[32];
      snprintf(text, sizeof text, "%lld", static_cast<long long>(*static_cast<const int64_t*>(value)));
      Printf(out, "[Debugger]  %s\n", text);
      break;
    }
    case DebugKindFloat:
      Printf(out, "[Debugger]  %f\n", double(*static_cast<const float*>(value)));
      break;
    case DebugKindDouble:
      Printf(out, "[Debugger]  %g\n", *static_cast<const double*>(value));
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
