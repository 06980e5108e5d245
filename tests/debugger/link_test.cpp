// The debugger link from the outside: the probe program run under kxdebug,
// steered by command scripts, its messages read as kxdebug prints them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A Unix path of the build as the Windows programs see it.
std::string WindowsPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path.size() > 1 && path[1] == ':' ? path : "Z:" + path;
}

struct Session {
  std::string output;
  int exitCode = -1;
  bool Has(const std::string& text) const { return output.find(text) != std::string::npos; }
  // Position of text, npos when missing.
  size_t At(const std::string& text, size_t from = 0) const { return output.find(text, from); }
};

// Runs the probe with the scenario under kxdebug, the commands as its script.
Session Debug(const std::string& options, const std::string& scenario, const std::string& commands) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  char script[MAX_PATH];
  GetTempFileNameA(folder, "kxd", 0, script);
  FILE* file = fopen(script, "wb");
  fputs(commands.c_str(), file);
  fclose(file);

  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  CreatePipe(&readEnd, &writeEnd, &sa, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  std::string command = "\"" + WindowsPath(KX_DEBUG_TOOL) + "\" -t 30 -s \"" + script + "\" " + options + " \"" +
                        WindowsPath(KX_LINK_PROBE) + "\" " + scenario;
  PROCESS_INFORMATION pi = {};
  Session session;
  BOOL ok = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  CloseHandle(nul);
  if (ok) {
    char buffer[4096];
    DWORD n;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) {
      for (DWORD i = 0; i < n; ++i) {
        if (buffer[i] != '\r') session.output += buffer[i];
      }
    }
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    session.exitCode = int(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(readEnd);
  DeleteFileA(script);
  return session;
}

// With CallOnStart the program still waits for "run" first, then stops
// before its first line.
TEST(Link, StartMessagesComeFirstAndTheProgramWaitsForTheFrontEnd) {
  // Asked while the program waits at its start, answered before any line ran.
  Session s = Debug("", "", "names\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  size_t sources = s.At("[sources] 2 files (5), directory C:\\probe\\, main probe.kx: probe.kx, inc.kx\n");
  size_t start = s.At("[start] flags 2, version 65537\n");
  size_t names = s.At("[procedures] 2: Inner, Outer\n");
  size_t first = s.At("[debug] probe\n");
  ASSERT_NE(first, std::string::npos) << s.output;
  EXPECT_LT(sources, start) << s.output;
  EXPECT_LT(start, names) << s.output;
  EXPECT_LT(names, first) << s.output;
  // The five forms of debug output.
  size_t at = s.At("[debug] abc\n", first);
  at = s.At("[debug] 60\n[debug] Velmora\n[debug] 1\n[debug] 1099511627776\n[debug] 0.250000\n[debug] 2.5\n", at);
  EXPECT_NE(at, std::string::npos) << s.output;
  EXPECT_TRUE(s.Has("[exit] 0\n")) << s.output;
}

TEST(Link, TheOtherPluginAndAUnicodeFrontEndCarryTheSameSession) {
  Session pipes = Debug("-p Pipes", "", "run\n");
  EXPECT_EQ(pipes.exitCode, 0) << pipes.output;
  EXPECT_TRUE(pipes.Has("main probe.kx: probe.kx, inc.kx\n")) << pipes.output;
  EXPECT_TRUE(pipes.Has("[debug] 60\n")) << pipes.output;

  Session unicode = Debug("-u -b", "", "run\nwait\nwhere\nrun\n");
  EXPECT_EQ(unicode.exitCode, 0) << unicode.output;
  EXPECT_TRUE(unicode.Has("main probe.kx: probe.kx, inc.kx\n")) << unicode.output;
  EXPECT_TRUE(unicode.Has("[stop] state 3 at probe.kx:1\n")) << unicode.output;
  EXPECT_TRUE(unicode.Has("[debug] abc\n")) << unicode.output;
}

TEST(Link, AnUnknownPluginEndsTheProgram) {
  Session s = Debug("-p Foo", "", "");
  EXPECT_EQ(s.exitCode, 1) << s.output;
  EXPECT_TRUE(s.Has("[Fatal Debugger Error] No communication plugin found for \"Foo\".\n\n")) << s.output;
}

TEST(Link, TheVariablesLeaveTheProgramsEnvironment) {
  Session s = Debug("", "env", "run\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  EXPECT_TRUE(s.Has("[debug] KX_DEBUGGER_Communication gone\n")) << s.output;
  EXPECT_TRUE(s.Has("[debug] KX_DEBUGGER_Options gone\n")) << s.output;
  EXPECT_TRUE(s.Has("[debug] KX_DEBUGGER_KillMutex gone\n")) << s.output;
}

TEST(Link, BreakpointsLandOnTheNextExecutableLine) {
  // Line 7 has no code: the program stops on line 8.  Past the last line
  // with code (13) nothing can be set.
  Session s = Debug("", "", "break add 7\nbreak add 14\nrun\nwait\nstep\nwait\nbreak clear\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  size_t stop = s.At("[stop] state 7 at probe.kx:8\n");
  ASSERT_NE(stop, std::string::npos) << s.output;
  EXPECT_NE(s.At("[stop] state 8 at probe.kx:9\n", stop), std::string::npos) << s.output;
  EXPECT_EQ(s.At("[stop] state 7", stop + 1), std::string::npos) << s.output;
}

// Stops must come in this order (each after the one before).
void ExpectStops(const Session& s, std::initializer_list<const char*> stops) {
  size_t at = 0;
  for (const char* stop : stops) {
    at = s.At(stop, at);
    ASSERT_NE(at, std::string::npos) << stop << " missing in\n" << s.output;
    ++at;
  }
}

TEST(Link, StepCountsStepOverAndStepOut) {
  // Into Outer and Inner line by line, then out twice, and out once more at
  // the outermost level, where it steps one line.
  Session s = Debug("-b", "", "run\nwait\nstep 2\nwait\nstep\nwait\nstep\nwait\n"
                              "out\nwait\nout\nwait\nout\nwait\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  ExpectStops(s, {"[stop] state 3 at probe.kx:1\n", "[stop] state 8 at probe.kx:3\n",
                  "[stop] state 8 at probe.kx:11\n", "[stop] state 8 at inc.kx:2\n",
                  "[stop] state 8 at probe.kx:12\n", "[stop] state 8 at probe.kx:4\n",
                  "[stop] state 8 at probe.kx:5\n"});
  // Over the call of Outer: the next line of the same level.
  Session over = Debug("-b", "", "run\nwait\nstep 2\nwait\nover\nwait\nrun\n");
  EXPECT_EQ(over.exitCode, 0) << over.output;
  ExpectStops(over, {"[stop] state 8 at probe.kx:3\n", "[debug] abc\n", "[stop] state 8 at probe.kx:4\n"});
}

TEST(Link, AnErrorReportArrivesWithItsLineAndText) {
  Session s = Debug("", "error", "run\nwait\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  EXPECT_TRUE(s.Has("[error] state 2 at probe.kx:8: The specified Thread does not exists.\n")) << s.output;
  Session fatal = Debug("", "fatal", "run\nwait\nrun\n");
  EXPECT_TRUE(fatal.Has("[error] state 6 at probe.kx:8: Division by zero forbidden.\n")) << fatal.output;
  Session warning = Debug("", "warning", "run\n");
  EXPECT_TRUE(warning.Has("[warning] at probe.kx:8: Window object number is very high (over 5000), are You "
                          "sure of that ?\n"))
      << warning.output;
  Session quiet = Debug("", "warning", "warnings 0\nrun\n");
  EXPECT_FALSE(quiet.Has("[warning]")) << quiet.output;
}

TEST(Link, CallStackRegistersAndMemory) {
  Session s = Debug("", "",
                    "break add 2,1\nrun\nwait\nwhere\nregs\nregset 0 291\nregs\nmem 0 +16\nmem nothing 4\nmem @Zahl +4\nmem @Zahl @Zahl+2\nhex 1\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  EXPECT_TRUE(s.Has("[stack] depth 2 at inc.kx:2\n  probe.kx:3 Outer(3)\n  probe.kx:11 Inner(\"abc\")\n"))
      << s.output;
  EXPECT_TRUE(s.Has(sizeof(void*) == 8 ? "[register names] RAX RDX RBX RCX RSI RDI RBP RSP FLAGS\n"
                                       : "[register names] EAX EDX EBX ECX ESI EDI EBP ESP FLAGS\n"))
      << s.output;
  EXPECT_TRUE(s.Has("; File: inc.kx (Line: 2)\n")) << s.output;
  EXPECT_TRUE(s.Has("> regs\n[register names]")) << s.output;
  EXPECT_TRUE(s.Has("[registers] 123 ")) << s.output;   // the first register, as set
  EXPECT_TRUE(s.Has("[memory] unreadable at $0\n")) << s.output;
  EXPECT_TRUE(s.Has("[memory] error: An integer expression is expected as start address.\n")) << s.output;
  EXPECT_TRUE(s.Has(": 05 00 00 00 \n")) << s.output;
  EXPECT_TRUE(s.Has(": 05 00 \n")) << s.output;
  EXPECT_TRUE(s.Has("[hex] 1\n")) << s.output;
}

TEST(Link, EvaluateAndSetGlobalsLocalsAndStructureFields) {
  // Stopped in Outer(3): its local n, the globals and a structure.
  Session s = Debug("", "",
                    "break add 11\nrun\nwait\n"
                    "eval Zahl + 1\neval Name$\neval Verbindung\\serverid\neval Verbindung\neval n * 2\neval Nirgends\n"
                    "set Zahl = 41\nset Name$ = \"Korvex\"\nset Verbindung\\serverid = 9\nset n = 4\n"
                    "vars\nstruct Verbindung\narrays\narray Feld, 1-2\nlists\nlist Liste\n"
                    "watch add Zahl\nwatch add n 1\nbreak clear\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  EXPECT_TRUE(s.Has("[eval] kind 2: 6\n")) << s.output;
  EXPECT_TRUE(s.Has("[eval] kind 4: \"Velmora\"\n")) << s.output;
  EXPECT_TRUE(s.Has("[eval] kind 2: 1\n")) << s.output;
  EXPECT_TRUE(s.Has("[eval] kind 5: structure\n    serverid kind 5 = 1\n    ip$ kind 8 = 127.0.0.1\n")) << s.output;
  EXPECT_TRUE(s.Has("[eval] kind 2: 6\n")) << s.output;
  EXPECT_TRUE(s.Has("[eval] kind 0: error \"")) << s.output;
  EXPECT_TRUE(s.Has("[set] kind 2: 41\n")) << s.output;
  EXPECT_TRUE(s.Has("[set] kind 4: \"Korvex\"\n")) << s.output;
  // The displays after the assignments.
  EXPECT_TRUE(s.Has("[variables] 6\n  Zahl kind 5 = 41\n  Name$ kind 8 = Korvex\n  Wert kind 12 = 2.5\n"
                    "  Verbindung kind 7 = \n    serverid kind 5 = 9\n    ip$ kind 8 = 127.0.0.1\n"))
      << s.output;
  EXPECT_TRUE(s.Has("[variables] 1 in Outer\n  n kind 5 scope 1 = 4\n")) << s.output;
  EXPECT_TRUE(s.Has("[arrays] 1\n  Feld kind 5 scope 0 (3)\n")) << s.output;
  EXPECT_TRUE(s.Has("[arrays] Feld: 2\n  (1) kind 5 = 8\n  (2) kind 5 = 9\n")) << s.output;
  EXPECT_TRUE(s.Has("[lists] 1\n  Liste kind 5 scope 0 count: 2, current: 1\n")) << s.output;
  EXPECT_TRUE(s.Has("[lists] Liste: 2\n  [0] kind 5 = 100\n  [1] kind 5 = 200\n")) << s.output;
  EXPECT_TRUE(s.Has("  #1 Zahl (procedure -1) kind 2 = 41\n")) << s.output;
  size_t watched = s.At("  #2 n (procedure 1) kind 2 = 4\n");
  EXPECT_NE(watched, std::string::npos) << s.output;
  // Leaving Outer takes its local out of scope: the list is sent again.
  EXPECT_NE(s.At("  #2 n (procedure 1) out of scope kind ", watched), std::string::npos) << s.output;
  // The program goes on with the new values.
  EXPECT_TRUE(s.Has("[debug] changed\n")) << s.output;
  EXPECT_TRUE(s.Has("[debug] 96\n[debug] Korvex\n[debug] 9\n")) << s.output;
}

TEST(Link, TheWatchListHoldsAThousandItems) {
  Session s = Debug("", "", "watch fill 1001 Zahl\nwatch remove -1\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  EXPECT_TRUE(s.Has("[watch] 1000\n")) << s.output;
  EXPECT_FALSE(s.Has("[watch] 1001\n")) << s.output;
  EXPECT_TRUE(s.Has("[watch error] The watchlist is too big (1000 items), please remove variables.\n")) << s.output;
  EXPECT_TRUE(s.Has("> watch remove -1\n[watch] 0\n")) << s.output;
}

TEST(Link, LibraryListsWithTheirRows) {
  Session s = Debug("", "lists", "break add 9\nrun\nwait\nlibs\nrows 0 7\nrows 4\nrows 7\ndetail 7 2\ndata 7 1\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  // In start-up order: File, Window, Gadget, Image, the thread lists (4-6),
  // then the probe's own list (7).
  EXPECT_TRUE(s.Has("  0 KX_LIBRARY_File \"File\" flags 1 columns #File | 80 | Handle | 200 | Lof() | 80 | Loc() | 80\n"))
      << s.output;
  EXPECT_TRUE(s.Has("  4 KX_LIBRARY_Thread \"Thread\" flags 1 columns Thread | 100 | Priority | 80")) << s.output;
  EXPECT_TRUE(s.Has("[rows] list 0, 1 rows, selected 7\n  7: 7 | ")) << s.output;
  size_t rows = s.At("[rows] list 4, 1 rows");
  ASSERT_NE(rows, std::string::npos) << s.output;
  EXPECT_NE(s.At(" | 16 | Running | ", rows), std::string::npos) << s.output;
  // The probe's own list, registered while the link is on, is announced
  // unasked, before the stop on line 9.
  size_t announced = s.At("  7 KX_LIBRARY_Probe \"Probe\" flags 7 columns Name | 100 | Number | 50\n");
  EXPECT_LT(announced, s.At("[stop] state 7 at probe.kx:9")) << s.output;
  EXPECT_TRUE(s.Has("[rows] list 7, 2 rows, selected -1\n  1: eins | 1\n  2: zwei | 2\n")) << s.output;
  EXPECT_TRUE(s.Has("[detail] list 7 object 2:\nProbe object 2\n")) << s.output;
  EXPECT_TRUE(s.Has("[data] list 7 object 1: 16 bytes\n")) << s.output;
}

TEST(Link, ProfilerAndCallCountersMatchTheLinesThatRan) {
  Session s = Debug("-b -e", "", "profile on\nrun\nwait\nrun\nwait\nprofile show\ncounts\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  EXPECT_TRUE(s.Has("[stop] state 5 at probe.kx:9\n")) << s.output;
  EXPECT_TRUE(s.Has("[profiler offsets] 15 counters: 0 13 15\n")) << s.output;
  EXPECT_TRUE(s.Has("[profiler] probe.kx:1=1 probe.kx:2=1 probe.kx:3=1 probe.kx:4=1 probe.kx:5=10 probe.kx:6=10 "
                    "probe.kx:8=1 probe.kx:9=1 probe.kx:11=1 probe.kx:12=1 inc.kx:2=1\n"))
      << s.output;
  EXPECT_TRUE(s.Has("[call counts] 1 1\n")) << s.output;
  // At the end the profiler's data is sent once more.
  size_t last = s.At("> run", s.At("> counts"));
  EXPECT_NE(s.At("[profiler offsets]", last), std::string::npos) << s.output;
}

TEST(Link, TheKillMutexEndsTheProgram) {
  Session s = Debug("", "loop", "run\nsleep 300\nkill\n");
  EXPECT_EQ(s.exitCode, 1) << s.output;
  EXPECT_TRUE(s.Has("[exit] 1\n")) << s.output;
}

// However the program is held (a stop, a report of this or another thread,
// the stop at its end), the kill ends it with code 1 within a second.
TEST(Link, TheKillMutexEndsAStoppedProgramAtOnce) {
  struct Case {
    const char* held;
    const char* options;
    const char* scenario;
    const char* commands;
    const char* stopped;
  };
  const Case cases[] = {
      {"at a breakpoint", "", "loop", "break add 13\nrun\nwait\nkill\n", "[stop] state 7 at probe.kx:13\n"},
      {"by a stop request", "", "loop", "run\nstop\nwait\nkill\n", "[stop] state 8 at probe.kx:"},
      {"in a report", "", "error", "run\nwait\nkill\n", "[error] state 2 at probe.kx:8: "},
      {"in a fatal report", "", "fatal", "run\nwait\nkill\n", "[error] state 6 at probe.kx:8: "},
      {"in another thread's report", "", "workerreport", "run\nwait\nkill\n", "The specified Thread does not exists."},
      {"at its end", "-e", "", "run\nwait\nkill\n", "[stop] state 5 at probe.kx:9\n"},
  };
  for (const Case& c : cases) {
    Session s = Debug(c.options, c.scenario, c.commands);
    EXPECT_EQ(s.exitCode, 1) << c.held << "\n" << s.output;
    EXPECT_TRUE(s.Has(c.stopped)) << c.held << "\n" << s.output;
    size_t at = s.At("[kill] ended after ");
    ASSERT_NE(at, std::string::npos) << c.held << "\n" << s.output;
    EXPECT_LT(atoi(s.output.c_str() + at + 19), 1000) << c.held << "\n" << s.output;
  }
}

TEST(Link, AFrontEndThatDiesEndsTheProgram) {
  Session s = Debug("", "loop", "run\nsleep 300\nhangup\n");
  EXPECT_EQ(s.exitCode, 1) << s.output;
  EXPECT_TRUE(s.Has("\n\n[Fatal Debugger Error] Broken communication pipe.")) << s.output;
}

TEST(Link, MalformedMessagesAreAnsweredOrDropped) {
  Session s = Debug("", "", "fuzz 400 7\nfuzz 300 11\nnames\nbreak clear\nwarnings 1\nrun\n");
  EXPECT_EQ(s.exitCode, 0) << s.output;
  size_t fuzz = s.At("[fuzz] 300 messages sent\n");
  ASSERT_NE(fuzz, std::string::npos) << s.output;
  EXPECT_NE(s.At("[procedures] 2: Inner, Outer\n", fuzz), std::string::npos) << s.output;
  EXPECT_NE(s.At("[debug] abc\n", fuzz), std::string::npos) << s.output;
}

}  // namespace
