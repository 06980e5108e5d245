// The console debugger's command loop: the prompt, the built-in words, the
// command table with its help texts, and the breakpoint, settings,
// register, stack, memory and report commands.
#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/debugger/console_internal.h"
#include "runtime/debugger/evaluator_internal.h"

namespace kx {
namespace console {

namespace {

struct Context {
  FILE* out;              // the console, or the output target after "file"
  std::string argument;
  int32_t line;
  int state;
  void* registers;
};

using CommandFunction = void (*)(Context& c);

struct Command {
  const char* name;
  const char* help;
  const char* usage;      // "" when the command has none
  const char* details;    // long help after the usage
  CommandFunction run;    // nullptr: a built-in word of the loop
};

bool g_bannerShown = false;

// ---- breakpoints ----

int FileCount() {
  const DebugSymbols* symbols = CurrentDebugSymbols();
  return symbols ? symbols->sourceFileCount : 1;
}

bool ReadLineAndFile(const std::string& argument, int& line, int& file) {
  line = 0;
  file = 0;
  return sscanf(argument.c_str(), " %d , %d ", &line, &file) >= 1;
}

void BreakSet(Context& c) {
  int line, file;
  bool given = ReadLineAndFile(c.argument, line, file);
  if (file < 0 || file >= FileCount()) {
    Printf(c.out, "  Invalid file number.\n\n");
    return;
  }
  int32_t code = (file << 24) | ((line - 1) & 0xFFFFFF);
  if (!given || line < 1 || ExecutableLineAtOrAfter(code) == -1) {
    Printf(c.out, "  Invalid line number.\n\n");
    return;
  }
  if (!AddBreakpoint(code)) {
    Printf(c.out, "  Breakpoint allready set.\n\n");
    return;
  }
  Printf(c.out, "  Breakpoint set on line: %d (%s)\n\n", line, SourceFileName(code));
}

void BreakRemove(Context& c) {
  int line, file;
  ReadLineAndFile(c.argument, line, file);
  int32_t code = (file << 24) | ((line - 1) & 0xFFFFFF);
  Printf(c.out, RemoveBreakpoint(code) ? "  Breakpoint removed.\n\n" : "  Breakpoint not found.\n\n");
}

void BreakClear(Context& c) {
  ClearBreakpoints(-1);
  Printf(c.out, "  All Breakpoints removed.\n\n");
}

void BreakList(Context& c) {
  int32_t lines[1024];
  int32_t count = ListBreakpoints(lines, 1024);
  Printf(c.out, "[Debugger Breakpoints]\n");
  if (count == 0) {
    Printf(c.out, "  No breakpoints set. Use \"breakset\" to add a breakpoint.\n\n");
    return;
  }
  for (int32_t i = 0; i < count && i < 1024; ++i) {
    Printf(c.out, "  Line: %d\tFile: %d\t(%s)\n", debugger::LineNumber(lines[i]), int(uint32_t(lines[i]) >> 24),
            SourceFileName(lines[i]));
  }
  Printf(c.out, "\n");
}

// ---- settings ----

void Hex(Context& c) {
  SetHexMode(1);
  Printf(c.out, "  Displaying numbers in hexadecimal.\n\n");
}

void Dec(Context& c) {
  SetHexMode(0);
  Printf(c.out, "  Displaying numbers in decimal.\n\n");
}

void Errors(Context& c) {
  static const char* const Names[] = {"ask", "ignore", "console", "exit", "report"};
  static const char* const Texts[] = {
      "  You will be asked at all further errors.\n\n", "  All further errors will be ignored.\n\n",
      "  The console will be opened on all further errors.\n\n",
      "  Any further error will cause the program to quit.\n\n",
      "  A report will be generated on any further error.\n\n"};
  std::string mode = Trim(c.argument);
  for (int i = 0; i < 5; ++i) {
    if (lstrcmpiA(mode.c_str(), Names[i]) == 0) {
      SetErrorMode(i);
      Printf(c.out, "%s", Texts[i]);
      return;
    }
  }
  Printf(c.out, "  Unknown option.\n\n");
}

void Warnings(Context& c) {
  static const char* const Names[] = {"ignore", "display", "error"};
  static const char* const Texts[] = {"  All further warnings will be ignored.\n\n",
                                      "  All further warnings will be displayed only.\n\n",
                                      "  All further warnings will be treated as errors.\n\n"};
  std::string mode = Trim(c.argument);
  for (int i = 0; i < 3; ++i) {
    if (lstrcmpiA(mode.c_str(), Names[i]) == 0) {
      SetWarningMode(i);
      Printf(c.out, "%s", Texts[i]);
      return;
    }
  }
  Printf(c.out, "  Unknown option.\n\n");
}

void RedirectCommand(Context& c) {
  std::string target = c.argument;
  while (!target.empty() && (target.back() == ' ' || target.back() == '\t')) target.pop_back();
  Redirect(target, c.out, false);
}

void SaveConfig(Context& c) { SaveSettings(c.out); }

// ---- registers, stack, memory ----

void RegistersCommand(Context& c) { Registers(c.out, c.registers); }

void RegisterSet(Context& c) {
  SavedRegisters* registers = static_cast<SavedRegisters*>(c.registers);
  if (!registers) {
    Printf(c.out, "  Cannot modify register values at this point.\n\n");
    return;
  }
  size_t equals = c.argument.find('=');
  int value = 0;
  int index = equals == std::string::npos ? -1 : FindRegister(Trim(c.argument.substr(0, equals)).c_str());
  if (index < 0 || sscanf(c.argument.c_str() + equals + 1, " %d ", &value) != 1) {
    Printf(c.out, "  usage: registerset <registername>=<value>\n\n");
    return;
  }
  *RegisterAt(registers, index) = uintptr_t(intptr_t(value));
  Printf(c.out, "  Register set.\n\n");
}

void StackCommand(Context& c) { Stack(c.out, c.registers); }

bool ReadRange(const std::string& argument, uintptr_t& address, uintptr_t& length) {
  unsigned long long a = 0, l = 0;
  if (sscanf(argument.c_str(), " %llu , %llu ", &a, &l) != 2) return false;
  address = uintptr_t(a);
  length = uintptr_t(l);
  return length > 0 && evaluator::Readable(reinterpret_cast<const void*>(address), length);
}

void Memory(Context& c) {
  uintptr_t address, length;
  if (!ReadRange(c.argument, address, length)) {
    Printf(c.out, "  Invalid memory location: %s\n\n", c.argument.c_str());
    return;
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(address);
  uintptr_t end = address + length;
  Printf(c.out, "[Debugger Memory Dump]\n");
  // One write a line: the address, sixteen hex columns, the characters.
  for (uintptr_t line = address & ~uintptr_t(15); line < end; line += 16) {
    char text[96];
    int n = snprintf(text, sizeof text, "  $%.8" PRIXPTR "  ", line);
    for (uintptr_t at = line; at < line + 16; ++at) {
      if (at < address || at >= end) n += snprintf(text + n, sizeof text - n, "   ");
      else n += snprintf(text + n, sizeof text - n, "%.2X ", unsigned(bytes[at - address]));
    }
    text[n++] = ' ';
    for (uintptr_t at = line; at < line + 16; ++at) {
      if (at < address || at >= end) continue;
      uint8_t b = bytes[at - address];
      text[n++] = char(b >= 32 ? b : '.');
    }
    text[n] = '\0';
    Printf(c.out, "%s\n", text);
  }
  Printf(c.out, "\n");
}

void MemoryRaw(Context& c) {
  uintptr_t address, length;
  if (!ReadRange(c.argument, address, length)) {
    Printf(c.out, "  Invalid memory location: %s\n\n", c.argument.c_str());
    return;
  }
  FILE* target = static_cast<FILE*>(ConsoleOutput());
  if (target == stdout || target == stderr) {
    Printf(c.out, "  Cannot dump raw memory to stdout or stderr.\n\n");
    return;
  }
  fwrite(reinterpret_cast<const void*>(address), 1, length, target);
}

void ReportCommand(Context& c) { debugger::WriteReport(c.out, c.line, c.state, c.registers); }

// ---- variables ----

void VariablesCommand(Context& c) { Variables(c.out, Trim(c.argument)); }
void HistoryCommand(Context& c) { History(c.out, Trim(c.argument)); }
void DebugCommand(Context& c) { DebugExpression(c.out, Trim(c.argument)); }
void SetCommand(Context& c) { SetVariable(c.out, c.argument); }
void ArraysCommand(Context& c) { Arrays(c.out); }
void ArrayShowCommand(Context& c) { ArrayShow(c.out, c.argument); }
void ListsCommand(Context& c) { LinkedLists(c.out); }
void ListShowCommand(Context& c) { ListShow(c.out, c.argument); }

void HelpCommand(Context& c);

const Command Commands[] = {
    {"arrayshow", "print parts of arrays",
     "  Usage: arrayshow <arrayname> [, <a>[-<a2>]] [,<b>[-<b2>]] [,<c>[-<c2>]] ...",
     "  Prints the elements of an array; a range per dimension selects a part\n  of it (all elements when a range is missing).",
     ArrayShowCommand},
    {"arrays", "print all array names", "", "  Lists the program's arrays, then those of the current procedure.", ArraysCommand},
    {"breakclear", "remove all breakpoints", "", "  Removes every breakpoint.", BreakClear},
    {"breakpoints", "list all breakpoints", "", "  Lists the breakpoints with their line and file.", BreakList},
    {"breakremove", "remove a breakpoint", "  Usage: breakremove <linenumber> [, <filenumber>]",
     "  Removes the breakpoint of the line (in the main source when no file\n  number is given; see \"files\").",
     BreakRemove},
    {"breakset", "set a breakpoint", "  Usage: breakset <linenumber> [, <filenumber>]",
     "  Sets a breakpoint on the line (in the main source when no file number is\n  given; see \"files\"). A line without code stops on the next line with code.",
     BreakSet},
    {"dec", "decimal output", "", "  Displays numbers in decimal.", Dec},
    {"debug", "print variable value", "  Usage: debug <variable>",
     "  Evaluates the expression (variables, array and list elements, structure\n  fields, constants, arithmetic) and prints its value.",
     DebugCommand},
    {"exit", "end the program", "", "  Runs the program's end code and ends it.", nullptr},
    {"errors", "set error action", "  Usage: errors ask|ignore|console|exit|report",
     "  ask:     display the error and ask what to do (default)\n"
     "  ignore:  display the error and continue\n"
     "  console: display the error and open the console\n"
     "  exit:    display the error and end the program\n"
     "  report:  display a full report and end the program",
     Errors},
    {"file", "redirect console command", "  Usage: file <command> [<parameters>]",
     "  Runs the command with its output going to the redirection target\n  (see \"redirect\").", nullptr},
    {"files", "list included sources", "", "  Lists the source files with their numbers.", nullptr},
    {"help", "print available commands", "", "  Lists the commands; \"help <command>\" explains one.", HelpCommand},
    {"hex", "hexadecimal output", "", "  Displays numbers in hexadecimal.", Hex},
    {"history", "print procedure history", "  Usage: history [variables]",
     "  Prints the procedure calls that lead to the current line; with\n  \"variables\" each with its local variables.",
     HistoryCommand},
    {"line", "print current line & file", "", "  Prints the current line and its source file.", nullptr},
    {"linkedlists", "print all linkedlist names", "", "  Lists the program's linked lists, then those of the current procedure.",
     ListsCommand},
    {"listshow", "print parts of linkedlists",
     "  Usage: listshow <listname>[,<element> [- <element2>]]\n         listshow <listname>, all",
     "  Prints the current element of a linked list, a range of elements, or all.", ListShowCommand},
    {"memory", "print a memory dump", "  Usage: memory <address>,<length>",
     "  Prints the bytes of the range in hexadecimal and as characters.", Memory},
    {"memoryraw", "output raw memory", "  Usage: memoryraw <address>,<length>",
     "  Writes the bytes of the range unchanged to the redirection file.", MemoryRaw},
    {"saveconfig", "saves debugger settings", "",
     "  Saves the settings to \\debugger\\debugger.prefs in the korvex path\n  (~/.kxdebugger.prefs on other systems).",
     SaveConfig},
    {"set", "set a variable value", "  Usage: set <variable>=<value>",
     "  Assigns the value of the expression to the variable.", SetCommand},
    {"shell", "open a command shell", "", "  Runs the shell command and returns to the prompt.", nullptr},
    {"stack", "print a stack trace", "", "  Prints the stack from the current position to the program's start.",
     StackCommand},
    {"step", "execute one code step", "  Usage: step [<n>]", "  Runs one line, or n lines, and stops again.", nullptr},
    {"redirect", "redirect debugger output", "  Usage: redirect <target>",
     "  Sends debug output and error messages to stdout, stderr or a file.", RedirectCommand},
    {"report", "print a detailed report", "", "  Prints the debugger report.", ReportCommand},
    {"registers", "print processor registers", "", "  Prints the registers of the stopped line.", RegistersCommand},
    {"registerset", "set a register value", "  Usage: registerset <register>=<value>",
     "  Sets a register of the stopped line (EAX, EBX, ECX, EDX, ESI, EDI, EBP,\n  ESP, FLAGS); the line resumes with it.",
     RegisterSet},
    {"run", "continue the program", "", "  Lets the program run on.", nullptr},
    {"variables", "print variables", "  Usage: variables [nostructures]",
     "  Prints the global variables and those of the current procedure;\n  \"nostructures\" leaves the structures out.",
     VariablesCommand},
    {"warnings", "set warning action", "  Usage: warnings ignore|display|error",
     "  ignore:  warnings are not shown\n  display: warnings are shown (default)\n  error:   warnings are treated as errors",
     Warnings},
};

constexpr int CommandCount = int(sizeof Commands / sizeof Commands[0]);

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void HelpCommand(Context& c) {
  std::string name = Trim(c.argument);
  if (name.empty()) {
    for (int i = 0; i < CommandCount; i += 2) {
      if (i + 1 < CommandCount) {
        Printf(c.out, "  %-12s%-25s  %-12s%-25s\n", Commands[i].name, Commands[i].help, Commands[i + 1].name,
                Commands[i + 1].help);
      } else {
        Printf(c.out, "  %-12s%-25s\n", Commands[i].name, Commands[i].help);
      }
    }
    Printf(c.out, "Type 'help <command>' for more detailed help.\n\n");
    return;
  }
  for (char& ch : name) ch = char(tolower(uint8_t(ch)));
  const Command* command = FindCommand(name);
  if (!command) {
    Printf(c.out, "  Unknown command: %s\n  Type 'help' for a list of possible commands.\n\n", name.c_str());
    return;
  }
  Printf(c.out, "  %s - %s\n", command->name, command->help);
  if (*command->usage) Printf(c.out, "%s\n", command->usage);
  Printf(c.out, "\n%s\n\n", command->details);
}

// Splits the first word (lower-cased) from the rest of the line.
void SplitWord(const std::string& line, std::string& word, std::string& rest) {
  size_t start = line.find_first_not_of(' ');
  size_t end = start == std::string::npos ? std::string::npos : line.find(' ', start);
  word = start == std::string::npos ? "" : line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  size_t next = end == std::string::npos ? std::string::npos : line.find_first_not_of(' ', end);
  rest = next == std::string::npos ? "" : line.substr(next);
  for (char& ch : word) ch = char(tolower(uint8_t(ch)));
}

}  // namespace

void Registers(FILE* out, void* context) {
  SavedRegisters* registers = static_cast<SavedRegisters*>(context);
  if (!registers) {
    Printf(out, "  Cannot display register values at this point.\n\n");
    return;
  }
  Printf(out, "[Debugger Register Dump]");
  static const int Order[] = {0, 1, 2, 3, 4, 5, 6, 7};   // AX, DX, BX, CX, SI, DI, BP, SP
  for (int index : Order) {
    uintptr_t value = *RegisterAt(registers, index);
    if (HexMode()) Printf(out, "\n   %s = $%.8" PRIXPTR, RegisterName(index), value);
    else Printf(out, "\n   %s = %" PRIdPTR, RegisterName(index), intptr_t(value));
  }
  static const struct {
    int bit;
    const char* name;
  } Flags[] = {{0, "CF"}, {2, "PF"}, {4, "AF"}, {6, "ZF"}, {7, "SF"}, {8, "TF"}, {9, "IF"},
               {10, "DF"}, {11, "OF"}, {13, "IOPL"}, {14, "NT"}, {16, "RF"}, {17, "VM"}};
  std::string flags;
  for (const auto& flag : Flags) {
    if (registers->flags & (uintptr_t(1) << flag.bit)) flags += (flags.empty() ? "" : ",") + std::string(flag.name);
  }
  Printf(out, "\n FLAGS = %s\n\n", flags.c_str());
}

void Stack(FILE* out, void* context) {
  SavedRegisters* registers = static_cast<SavedRegisters*>(context);
  if (!registers) {
    Printf(out, "Cannot display stack content at this point.\n\n\n");
    return;
  }
  Printf(out, "[Debugger Stack Trace]\n");
  uintptr_t top = registers->sp;
  uintptr_t bottom = uintptr_t(debugger::StartStack());
  if (top > bottom) {
    Printf(out, "%s\n\n", CatalogText("Debugger", "StackLow"));
    return;
  }
  if (top == bottom) {
    Printf(out, "%s\n\n", CatalogText("Debugger", "StackEmpty"));
    return;
  }
  if (top % 4) {
    Printf(out, "%s\n", CatalogText("Debugger", "StackAlign"));
    Context dump = {out, std::to_string(top) + "," + std::to_string(bottom - top), -1, 0, nullptr};
    Memory(dump);
    return;
  }
  DebuggerRecord* record = CurrentDebuggerRecord();
  for (uintptr_t at = top; at < bottom && at - top < 64 * 1024; at += 4) {
    if (!evaluator::Readable(reinterpret_cast<const void*>(at), 4)) break;
    uint32_t value = *reinterpret_cast<const uint32_t*>(at);
    Printf(out, "  $%.8" PRIXPTR ": $%.8X", at, unsigned(value));
    // The frames the procedure hooks recorded mark where calls placed values.
    for (int32_t i = 0; i < record->depth; ++i) {
      if (uintptr_t(record->stack[i].stackPointer) == at) Printf(out, "  <- %s", debugger::CallText(record->stack[i]).c_str());
    }
    Printf(out, "\n");
  }
  Printf(out, "\n");
}

int CommandLoop(int32_t line, int state, void* registers) {
  FILE* console = stdout;
  FILE* target = static_cast<FILE*>(ConsoleOutput());
  if (!debugger::StdinIsTerminal()) {
    Printf(target, "\n[Debugger Error]  Cannot call Debugger because STDIN is not connected to ");
    Printf(target, "\n[Debugger Error]  a terminal device! File: %s (Line: %d)", SourceFileName(line),
            debugger::LineNumber(line));
    Printf(target, "\n[Debugger Error]  Program execution continues...\n");
    fflush(target);
    return StateRunning;
  }
  if (!g_bannerShown) {
    g_bannerShown = true;
    Printf(console, "\n==============================================\n Korvex Console Debugger");
    Printf(console, "\n==============================================\n\nType 'help' for command options.\n");
  }
  DebuggerRecord* record = CurrentDebuggerRecord();
  char buffer[502];
  for (;;) {
    Printf(console, "DEBUGGER:: ");
    fflush(console);
    if (!ReadLine(buffer, sizeof buffer)) {
      Printf(console, "\n\r[Debugger Error]  Input error from stdin, program is exiting.\n\n");
      fflush(console);
      record->state = StateError;
      return StateError;
    }
    std::string input = buffer;
    while (!input.empty() && (input.back() == '\n' || input.back() == '\r')) input.pop_back();
    std::string word, rest;
    SplitWord(input, word, rest);
    Context c = {console, rest, line, state, registers};
    if (word == "file") {
      FILE* out = static_cast<FILE*>(ConsoleOutput());
      SplitWord(rest, word, c.argument);
      if (out == stdout) {
        Printf(console, "  There is no redirection set.\n\n");
        word = "?";   // not run: reported unknown below
      } else {
        c.out = out;
      }
    }
    if (word.empty()) continue;
    if (word == "exit") {
      ExitProgram(1);
    } else if (word == "run") {
      record->stepMode = 0;
      return StateRunning;
    } else if (word == "step") {
      int count = 0;
      sscanf(c.argument.c_str(), "%d", &count);
      SetStepMode(1, count > 0 ? count : 1);
      return StateRunning;
    } else if (word == "line") {
      Printf(c.out, "File: %s\nLine: %d\n\n", SourceFileName(line), debugger::LineNumber(line));
    } else if (word == "files") {
      Printf(c.out, "[Included Source files]\n");
      const DebugSymbols* symbols = CurrentDebugSymbols();
      for (int32_t i = 0; symbols && symbols->sourceFiles && i < symbols->sourceFileCount; ++i) {
        Printf(c.out, "  %d - %s\n", int(i), symbols->sourceFiles[i] ? symbols->sourceFiles[i] : "");
      }
      Printf(c.out, "\n");
    } else if (word == "shell") {
      system(ShellCommand().c_str());
    } else if (const Command* command = FindCommand(word); command && command->run) {
      command->run(c);
    } else {
      Printf(console, "  Unknown command.\n\n");
    }
    fflush(c.out);
  }
}

namespace {

BOOL WINAPI ControlHandler(DWORD event) {
  if (event != CTRL_C_EVENT) return FALSE;
  debugger::RequestMainStop();
  return TRUE;
}

}  // namespace

void InstallConsole() {
  SetConsoleCommandLoop(CommandLoop);
  SetConsoleCtrlHandler(ControlHandler, TRUE);
}

}  // namespace console
}  // namespace kx
