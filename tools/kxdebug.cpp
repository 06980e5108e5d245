// kxdebug: a console front-end of the debugger link, for people and tests.
//
//   kxdebug [options] program [arguments...]
//     -s FILE        commands from FILE (default: standard input)
//     -p PLUGIN      "NamedPipes" (default) or "Pipes"; any other name is
//                    passed on as it stands (the program refuses it)
//     -u             declare the front-end unicode (texts in 2 bytes)
//     -b / -e        CallOnStart / CallOnEnd
//     -t SECONDS     longest wait of one command (default 60)
//     -q             do not echo the commands
//
// It creates the two pipes and the kill mutex, starts the program with the
// environment variables set, prints what arrives as readable lines and runs
// commands ("help" lists them).  At the end of the commands it waits for
// the program, prints "[exit] N" and ends with the program's exit code.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "runtime/debugger/link_protocol.h"

using namespace kx::link;

namespace {

// ---- state shared with the receiver thread ----

CRITICAL_SECTION g_lock;
HANDLE g_changed = nullptr;          // auto-reset: something arrived
HANDLE g_toProgram = nullptr;
HANDLE g_fromProgram = nullptr;
HANDLE g_killMutex = nullptr;
PROCESS_INFORMATION g_process = {};
bool g_unicode = false;
bool g_echo = true;
DWORD g_timeout = 60000;

std::vector<std::string> g_files;    // sources announced by the program
volatile bool g_stopped = false;     // a stop or an error arrived, no run since
volatile bool g_ended = false;       // the pipe closed
volatile bool g_started = false;     // the start message arrived
int g_counts[64];                    // messages received by type
std::vector<int32_t> g_profilerOffsets;

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  EnterCriticalSection(&g_lock);
  vprintf(format, args);
  fflush(stdout);
  LeaveCriticalSection(&g_lock);
  va_end(args);
}

std::string Where(int32_t line) {
  if (line == -1) return "end";
  size_t file = uint32_t(line) >> 24;
  std::string name = file < g_files.size() ? g_files[file] : "file " + std::to_string(file);
  return name + ":" + std::to_string((line & 0xFFFFFF) + 1);
}

// ---- texts of received data ----

struct Reader {
  const std::vector<char>& data;
  size_t at = 0;
  bool More() const { return at < data.size(); }
  std::string Text() {
    std::string text;
    if (g_unicode) {
      std::wstring wide;
      while (at + 1 < data.size()) {
        wchar_t c;
        memcpy(&c, &data[at], 2);
        at += 2;
        if (!c) break;
        wide += c;
      }
      int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
      text.assign(n > 0 ? n : 1, '\0');
      if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), n, nullptr, nullptr);
      text.resize(strlen(text.c_str()));
      return text;
    }
    while (at < data.size() && data[at]) text += data[at++];
    ++at;
    return text;
  }
  int32_t Int32() {
    int32_t v = 0;
    if (at + 4 <= data.size()) memcpy(&v, &data[at], 4);
    at += 4;
    return v;
  }
  uint8_t Byte() { return at < data.size() ? uint8_t(data[at++]) : 0; }
};

std::string Tabs(std::string text) {
  for (size_t i; (i = text.find('\t')) != std::string::npos;) text.replace(i, 1, " | ");
  return text;
}

void PrintVariableRows(Reader& r, int32_t count) {
  for (int32_t i = 0; i < count && r.More(); ++i) {
    uint8_t kind = r.Byte();
    uint8_t scope = r.Byte();
    uint8_t depth = r.Byte();
    std::string name = r.Text();
    std::string value = r.Text();
    Print("  %*s%s%s kind %d%s = %s\n", depth * 2, "", kind & 0x80 ? "*" : "", name.c_str(), kind & 0x7F,
          scope ? (" scope " + std::to_string(scope)).c_str() : "", value.c_str());
  }
}

void Show(const MessageHeader& h, const std::vector<char>& data) {
  Reader r{data};
  switch (h.type) {
    case SendSources: {
      std::string directory = r.Text();
      std::string main = r.Text();
      EnterCriticalSection(&g_lock);
      g_files.clear();
      for (int32_t i = 0; i < h.value1 && r.More(); ++i) g_files.push_back(r.Text());
      LeaveCriticalSection(&g_lock);
      std::string list;
      for (const std::string& f : g_files) list += (list.empty() ? "" : ", ") + f;
      Print("[sources] %d files (%d), directory %s, main %s: %s\n", h.value1, h.value2, directory.c_str(),
            main.c_str(), list.c_str());
      break;
    }
    case SendStart: Print("[start] flags %d, version %d\n", h.value1, h.value2); g_started = true; break;
    case SendStop: Print("[stop] state %d at %s\n", h.value2, Where(h.value1).c_str()); g_stopped = true; break;
    case SendError: {
      std::string text = r.Text();
      Print("[error] state %d at %s: %s\n", h.value2, Where(h.value1).c_str(), text.c_str());
      g_stopped = true;
      break;
    }
    case SendWarning: Print("[warning] at %s: %s\n", Where(h.value1).c_str(), r.Text().c_str()); break;
    case SendRunAnswer: Print("[running]\n"); break;
    case SendDebug:
      switch (h.value2) {
        case DebugLong: Print("[debug] %d\n", h.value1); break;
        case DebugQuad: {
          long long v = 0;
          if (data.size() >= 8) memcpy(&v, data.data(), 8);
          Print("[debug] %lld\n", v);
          break;
        }
        case DebugFloat: {
          float v = 0;
          if (data.size() >= 4) memcpy(&v, data.data(), 4);
          Print("[debug] %f\n", double(v));
          break;
        }
        default: Print("[debug] %s\n", r.Text().c_str()); break;
      }
      break;
    case SendDebugDouble: {
      double v;
      memcpy(&v, reinterpret_cast<const char*>(&h) + 4, 8);
      Print("[debug] %g\n", v);
      break;
    }
    case SendRegisterNames: {
      std::string names;
      for (int32_t i = 0; i < h.value1 && r.More(); ++i) names += " " + r.Text();
      Print("[register names]%s\n", names.c_str());
      break;
    }
    case SendRegisters: {
      if (h.value1 == 0) {
        Print("[registers] none\n");
        break;
      }
      std::string values;
      for (int32_t i = 0; i < h.value1; ++i) {
        unsigned long long v = 0;
        if (r.at + h.value2 <= data.size()) memcpy(&v, &data[r.at], size_t(h.value2));
        r.at += size_t(h.value2);
        char text[32];
        snprintf(text, sizeof text, " %llX", v);
        values += text;
      }
      Print("[registers]%s; %s\n", values.c_str(), r.Text().c_str());
      break;
    }
    case SendHexMode: Print("[hex] %d\n", h.value1); break;
    case SendMemory: {
      if (h.value1 == 0 && !data.empty()) {
        Print("[memory] error: %s\n", r.Text().c_str());
      } else if (data.empty()) {
        Print("[memory] unreadable at $%X\n", unsigned(h.value1));
      } else {
        std::string hex;
        for (char c : data) {
          char b[4];
          snprintf(b, sizeof b, "%02X ", unsigned(uint8_t(c)));
          hex += b;
        }
        Print("[memory] $%X: %s\n", unsigned(h.value1), hex.c_str());
      }
      break;
    }
    case SendVariables: {
      if (h.value1 < 0) {
        Print("[variables] error: %s\n", r.Text().c_str());
        break;
      }
      std::string procedure;
      if (h.value2 == RequestLocals || h.value2 == RequestProcedureVariables) procedure = r.Text();
      Print("[variables] %d%s%s\n", h.value1, procedure.empty() ? "" : " in ", procedure.c_str());
      PrintVariableRows(r, h.value1);
      break;
    }
    case SendArrays:
    case SendLists: {
      const char* what = h.type == SendArrays ? "arrays" : "lists";
      if (h.value1 < 0) {
        Print("[%s] error: %s\n", what, r.Text().c_str());
        break;
      }
      bool elements = (h.type == SendArrays && h.value2 == RequestArrayElements) || (h.type == SendLists && h.value2 == 1);
      if (!elements) {
        Print("[%s] %d\n", what, h.value1);
        for (int32_t i = 0; i < h.value1 && r.More(); ++i) {
          uint8_t kind = r.Byte();
          uint8_t scope = r.Byte();
          std::string name = r.Text();
          std::string size = r.Text();
          Print("  %s kind %d scope %d %s\n", name.c_str(), kind, scope, size.c_str());
        }
        break;
      }
      std::string name = r.Text();
      Print("[%s] %s: %d\n", what, name.c_str(), h.value1);
      for (int32_t i = 0; i < h.value1 && r.More(); ++i) {
        uint8_t kind = r.Byte();
        uint8_t depth = r.Byte();
        std::string index = r.Text();
        std::string value = r.Text();
        Print("  %*s%s kind %d = %s\n", depth * 2, "", index.c_str(), kind, value.c_str());
      }
      break;
    }
    case SendCallStack: {
      Print("[stack] depth %d at %s\n", h.value1, Where(h.value2).c_str());
      for (int32_t i = 0; i < h.value1 && r.More(); ++i) {
        int32_t line = r.Int32();
        std::string call = r.Text();
        Print("  %s %s\n", Where(line).c_str(), call.c_str());
      }
      break;
    }
    case SendWatchList: {
      Print("[watch] %d\n", h.value1);
      for (int32_t i = 0; i < h.value1 && i < 50 && r.More(); ++i) {   // long lists by their count only
        int32_t id = r.Int32();
        int32_t procedure = r.Int32();
        uint8_t state = r.Byte();
        uint8_t kind = r.Byte();
        std::string expression = r.Text();
        std::string value = r.Text();
        static const char* const States[] = {"", " error", " out of scope"};
        Print("  #%d %s (procedure %d)%s kind %d = %s\n", id, expression.c_str(), procedure, States[state % 3], kind,
              value.c_str());
      }
      break;
    }
    case SendWatchError: Print("[watch error] %s\n", r.Text().c_str()); break;
    case SendProcedureNames: {
      std::string names;
      for (int32_t i = 0; i < h.value1 && r.More(); ++i) names += (i ? ", " : " ") + r.Text();
      Print("[procedures] %d:%s\n", h.value1, names.c_str());
      break;
    }
    case SendCallCounts: {
      std::string counts;
      for (int32_t i = 0; i < h.value1; ++i) counts += " " + std::to_string(r.Int32());
      Print("[call counts]%s\n", counts.c_str());
      break;
    }
    case SendLibraryLists: {
      Print("[libraries] %d\n", h.value1);
      for (int32_t i = 0; i < h.value1 && r.More(); ++i) {
        std::string library = r.Text();
        std::string title = r.Text();
        std::string columns = r.Text();
        int32_t flags = r.Int32();
        Print("  %d %s \"%s\" flags %d columns %s\n", i, library.c_str(), title.c_str(), flags, Tabs(columns).c_str());
      }
      break;
    }
    case SendListRows: {
      int32_t selected = r.Int32();
      Print("[rows] list %d, %d rows, selected %d\n", h.value1, h.value2, selected);
      for (int32_t i = 0; i < h.value2 && r.More(); ++i) {
        int32_t object = r.Int32();
        std::string row = r.Text();
        Print("  %d: %s\n", object, Tabs(row).c_str());
      }
      break;
    }
    case SendListDetail: Print("[detail] list %d object %d:\n%s\n", h.value1, h.value2, r.Text().c_str()); break;
    case SendListData: Print("[data] list %d object %d: %u bytes\n", h.value1, h.value2, unsigned(data.size())); break;
    case SendProfilerOffsets: {
      EnterCriticalSection(&g_lock);
      g_profilerOffsets.clear();
      for (int32_t i = 0; i < h.value1; ++i) g_profilerOffsets.push_back(r.Int32());
      LeaveCriticalSection(&g_lock);
      std::string offsets;
      for (int32_t o : g_profilerOffsets) offsets += " " + std::to_string(o);
      Print("[profiler offsets] %d counters:%s\n", h.value2, offsets.c_str());
      break;
    }
    case SendProfilerCounters: {
      // Counters shown as file:line=count for the lines that ran.
      std::string counts;
      for (int32_t i = 0; i < h.value1; ++i) {
        int32_t count = r.Int32();
        if (!count) continue;
        size_t file = 0;
        while (file + 1 < g_profilerOffsets.size() && g_profilerOffsets[file + 1] <= i) ++file;
        int32_t line = file < g_profilerOffsets.size() ? i - g_profilerOffsets[file] : i;
        counts += " " + Where(int32_t(file << 24) | line) + "=" + std::to_string(count);
      }
      Print("[profiler]%s\n", counts.c_str());
      break;
    }
    case SendEvaluation:
    case SendAssignment: {
      const char* what = h.type == SendEvaluation ? "eval" : "set";
      std::string value;
      int32_t fields = 0;
      Reader rest{data};
      switch (h.value1) {
        case ResultInteger: {
          long long v = 0;
          if (data.size() >= 8) memcpy(&v, data.data(), 8);
          value = std::to_string(v);
          rest.at = 8;
          break;
        }
        case ResultFloat: {
          double v = 0;
          if (data.size() >= 8) memcpy(&v, data.data(), 8);
          char text[64];
          snprintf(text, sizeof text, "%g", v);
          value = text;
          rest.at = 8;
          break;
        }
        case ResultStructure: value = "structure"; fields = rest.Int32(); break;
        default: value = "\"" + rest.Text() + "\""; break;
      }
      if (h.value1 == ResultError) value = "error " + value;
      Print("[%s] kind %d: %s\n", what, h.value1, value.c_str());
      PrintVariableRows(rest, fields);
      break;
    }
    default: Print("[message] type %d, %d bytes, %d, %d\n", h.type, h.length, h.value1, h.value2); break;
  }
}

// ---- receiving ----

bool ReadAll(void* data, DWORD size) {
  char* at = static_cast<char*>(data);
  while (size > 0) {
    DWORD read = 0;
    if (!ReadFile(g_fromProgram, at, size, &read, nullptr) || read == 0) return false;
    at += read;
    size -= read;
  }
  return true;
}

DWORD WINAPI Receiver(void*) {
  for (;;) {
    MessageHeader h;
    if (!ReadAll(&h, sizeof h)) break;
    std::vector<char> data;
    if (h.type != SendDebugDouble && h.length > 0) {
      if (h.length > MaxDataLength) {
        Print("[broken] message of %d bytes\n", h.length);
        break;
      }
      data.resize(size_t(h.length));
      if (!ReadAll(data.data(), DWORD(h.length))) break;
    }
    Show(h, data);
    EnterCriticalSection(&g_lock);
    if (h.type >= 0 && h.type < 64) ++g_counts[h.type];
    LeaveCriticalSection(&g_lock);
    SetEvent(g_changed);
  }
  g_ended = true;
  SetEvent(g_changed);
  return 0;
}

// ---- sending ----

std::vector<char> TextBytes(const std::string& text) {
  std::vector<char> bytes;
  if (g_unicode) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(n > 0 ? n : 1, 0);
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    bytes.assign(reinterpret_cast<char*>(wide.data()), reinterpret_cast<char*>(wide.data() + wide.size()));
  } else {
    bytes.assign(text.begin(), text.end());
    bytes.push_back(0);
  }
  return bytes;
}

bool WriteAll(const void* data, DWORD size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!g_toProgram || !WriteFile(g_toProgram, at, size, &written, nullptr) || written == 0) return false;
    at += written;
    size -= written;
  }
  return true;
}

// A message; length -1 = the data's size (another value lies about it).
void Send(int32_t type, int32_t v1 = 0, int32_t v2 = 0, const std::vector<char>& data = {}, int32_t length = -1) {
  MessageHeader h = {type, length < 0 ? int32_t(data.size()) : length, v1, v2, 0};
  if (!WriteAll(&h, sizeof h) || (!data.empty() && !WriteAll(data.data(), DWORD(data.size())))) {
    Print("[send failed] type %d\n", type);
  }
}

int Count(int type) {
  EnterCriticalSection(&g_lock);
  int n = g_counts[type];
  LeaveCriticalSection(&g_lock);
  return n;
}

// Waits until the condition holds, the program ended or the time-out.
template <typename Condition>
bool WaitFor(Condition condition) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (g_ended) return condition();
    if (GetTickCount() - start > g_timeout) {
      Print("[timeout]\n");
      return false;
    }
    WaitForSingleObject(g_changed, 20);
  }
  return true;
}

// Sends a request and waits for its answer type.
void Ask(int answer, int32_t type, int32_t v1 = 0, int32_t v2 = 0, const std::vector<char>& data = {}) {
  int before = Count(answer);
  Send(type, v1, v2, data);
  WaitFor([&] { return Count(answer) > before; });
}

void Resume(int32_t type, int32_t v1) {
  g_stopped = false;
  Send(type, v1, 0);
}

// "line[,file]" as a line code.
int32_t LineCode(const std::string& text) {
  int line = 0, file = 0;
  sscanf(text.c_str(), " %d , %d", &line, &file);
  return (file << 24) | ((line - 1) & 0xFFFFFF);
}

std::vector<char> Concat(const std::vector<char>& a, const std::vector<char>& b) {
  std::vector<char> c = a;
  c.insert(c.end(), b.begin(), b.end());
  return c;
}

std::vector<char> Int32Bytes(int32_t v) {
  std::vector<char> b(4);
  memcpy(b.data(), &v, 4);
  return b;
}

// Messages the program must answer or drop without harm: unknown types,
// headers that announce impossible lengths, truncated data, texts without
// an end, huge counts and indexes.  The flow requests (step, run) are left
// out, as they would let the program go on.
void Fuzz(int count, unsigned seed) {
  srand(seed);
  auto random = [] { return (rand() << 16) ^ rand(); };
  const int32_t known[] = {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                           23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34};
  for (int i = 0; i < count; ++i) {
    int kind = random() % 7;
    int32_t type = known[random() % (sizeof known / sizeof known[0])];
    std::vector<char> data(size_t(random() % 12));
    for (char& c : data) c = char(random());
    int32_t v1 = random(), v2 = random();
    switch (kind) {
      case 0: Send(1000 + random() % 100000, v1, v2, data); break;           // unknown type
      case 1: Send(-1 - random() % 1000, v1, v2, data); break;               // negative type
      case 2: Send(type, v1, v2, {}, -1 - random() % 1000); break;           // negative length, no data
      case 3: Send(type, v1, v2, {}, MaxDataLength + 1 + random() % 1000); break;  // too long to be a message
      case 4: Send(type, v1, v2, data); break;                               // short or unterminated data
      case 5: {  // a length below the bytes that follow: the rest reads as zero headers (stop requests)
        std::vector<char> zeros(size_t(random() % 8) + 20 * size_t(1 + random() % 3), 0);
        Send(type, v1, v2, zeros, int32_t(zeros.size() % 20));
        break;
      }
      default: {                                                             // huge counts and indexes
        int32_t huge[] = {0x7FFFFFFF, int32_t(0x80000000), -1, 1000000};
        if (type == 3) v1 = 3;   // the breakpoint list is cleared, not filled with noise
        Send(type, huge[random() % 4], huge[random() % 4], data);
        break;
      }
    }
  }
  Print("[fuzz] %d messages sent\n", count);
}

void Help() {
  Print(
      "commands: run | stop | step [n] | over | out | wait | break add|remove LINE[,FILE] | break clear [FILE]\n"
      "  where | eval EXPR | set TARGET=VALUE | vars | locals [LEVEL] | struct EXPR | arrays | array NAME[,RANGES]\n"
      "  lists | list NAME[,RANGE|all] | watch [add EXPR [PROCEDURE] | fill COUNT EXPR | remove ID]\n"
      "  libs | rows LIST [OBJECT] | detail LIST OBJECT | data LIST OBJECT\n"
      "  profile on|off|reset|show | names | counts | resetcounts [INDEX]\n"
      "  regs | regset INDEX VALUE | hex 0|1 | warnings 0|1|2 | mem START END | mem START +LENGTH\n"
      "  kill | hangup | raw TYPE V1 V2 [TEXT] | fuzz COUNT SEED | stepbench COUNT | sleep MS | quit\n");
}

// Runs one command; false for "quit".
bool Command(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  std::string word, rest;
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] == '#') return true;
  size_t end = line.find_first_of(" \t", start);
  word = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (end != std::string::npos) {
    size_t r = line.find_first_not_of(" \t", end);
    if (r != std::string::npos) rest = line.substr(r);
  }
  while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n' || rest.back() == ' ')) rest.pop_back();
  if (g_echo) Print("> %s%s%s\n", word.c_str(), rest.empty() ? "" : " ", rest.c_str());
  int n = atoi(rest.c_str());
  if (word == "quit") return false;
  if (word == "help") Help();
  else if (word == "run") Resume(RequestRun, 0);
  else if (word == "stop") Send(RequestStop);
  else if (word == "step") Resume(RequestStep, n > 0 ? n : 1);
  else if (word == "over") Resume(RequestStep, -1);
  else if (word == "out") Resume(RequestStep, -2);
  else if (word == "wait") WaitFor([] { return g_stopped || g_ended; });
  else if (word == "stepbench") {
    // Round trips of one-line steps: the request, the line, the stop message.
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    int rounds = n > 0 ? n : 100;
    QueryPerformanceCounter(&start);
    for (int k = 0; k < rounds && !g_ended; ++k) {
      Resume(RequestStep, 1);
      if (!WaitFor([] { return g_stopped || g_ended; })) break;
    }
    QueryPerformanceCounter(&end);
    Print("[step round trip] %.1f us per step (%d steps)\n",
          double(end.QuadPart - start.QuadPart) * 1e6 / double(frequency.QuadPart) / rounds, rounds);
  }
  else if (word == "sleep") Sleep(DWORD(n));
  else if (word == "break") {
    std::string what = rest.substr(0, rest.find(' '));
    std::string where = rest.find(' ') == std::string::npos ? "" : rest.substr(rest.find(' ') + 1);
    if (what == "add") Send(RequestBreakpoint, 1, LineCode(where));
    else if (what == "remove") Send(RequestBreakpoint, 2, LineCode(where));
    else if (what == "clear") Send(RequestBreakpoint, 3, where.empty() ? -1 : atoi(where.c_str()));
    else Print("usage: break add|remove LINE[,FILE] | break clear [FILE]\n");
  } else if (word == "where") Ask(SendCallStack, RequestCallStack);
  else if (word == "eval") Ask(SendEvaluation, RequestEvaluate, 0, 0, TextBytes(rest));
  else if (word == "set") Ask(SendAssignment, RequestAssign, 0, 0, TextBytes(rest));
  else if (word == "vars") {
    Ask(SendVariables, RequestGlobals);
    Ask(SendVariables, RequestLocals, -1);
  } else if (word == "locals") Ask(SendVariables, RequestProcedureVariables, rest.empty() ? -1 : n);
  else if (word == "struct") Ask(SendVariables, RequestStructure, 0, 0, TextBytes(rest));
  else if (word == "arrays") Ask(SendArrays, RequestArrays);
  else if (word == "array") Ask(SendArrays, RequestArrayElements, 0, 0, TextBytes(rest));
  else if (word == "lists") Ask(SendLists, RequestLists, 0, 0);
  else if (word == "list") Ask(SendLists, RequestLists, 1, 0, TextBytes(rest));
  else if (word == "watch") {
    if (rest.compare(0, 4, "add ") == 0) {
      std::string expression = rest.substr(4);
      int procedure = -1;
      size_t blank = expression.rfind(' ');
      if (blank != std::string::npos && expression.find_first_not_of("-0123456789", blank + 1) == std::string::npos) {
        procedure = atoi(expression.c_str() + blank + 1);
        expression.resize(blank);
      }
      int before = Count(SendWatchList) + Count(SendWatchError);
      Send(RequestWatchAdd, procedure, 0, TextBytes(expression));
      WaitFor([&] { return Count(SendWatchList) + Count(SendWatchError) > before; });
    } else if (rest.compare(0, 5, "fill ") == 0) {
      // "watch fill N EXPR": N items at once, without waiting in between.
      int count = atoi(rest.c_str() + 5);
      size_t blank = rest.find(' ', 5);
      std::string expression = blank == std::string::npos ? "" : rest.substr(blank + 1);
      int before = Count(SendWatchList) + Count(SendWatchError);
      for (int k = 0; k < count; ++k) Send(RequestWatchAdd, -1, 0, TextBytes(expression));
      WaitFor([&] { return Count(SendWatchList) + Count(SendWatchError) >= before + count; });
    } else if (rest.compare(0, 7, "remove ") == 0) {
      Ask(SendWatchList, RequestWatchRemove, atoi(rest.c_str() + 7));
    } else {
      Ask(SendWatchList, RequestWatchList);
    }
  } else if (word == "libs") Ask(SendLibraryLists, RequestLibraryLists);
  else if (word == "rows") {
    int list = 0, object = -1;
    int fields = sscanf(rest.c_str(), "%d %d", &list, &object);
    Ask(SendListRows, RequestListRows, list, 0, fields == 2 ? Int32Bytes(object) : std::vector<char>());
  } else if (word == "detail" || word == "data") {
    int list = 0, object = 0;
    sscanf(rest.c_str(), "%d %d", &list, &object);
    if (word == "detail") Ask(SendListDetail, RequestListDetail, list, 0, Int32Bytes(object));
    else Ask(SendListData, RequestListData, list, 0, Int32Bytes(object));
  } else if (word == "profile") {
    if (rest == "on") Send(RequestProfilerOn);
    else if (rest == "off") Send(RequestProfilerOff);
    else if (rest == "reset") Send(RequestProfilerReset);
    else {
      Ask(SendProfilerOffsets, RequestProfilerOffsets);
      Ask(SendProfilerCounters, RequestProfilerCounters);
    }
  } else if (word == "names") Ask(SendProcedureNames, RequestProcedureNames);
  else if (word == "counts") Ask(SendCallCounts, RequestCallCounts);
  else if (word == "resetcounts") Send(RequestResetCallCounts, rest.empty() ? -1 : n);
  else if (word == "regs") {
    Ask(SendRegisterNames, RequestRegisterNames);
    Ask(SendRegisters, RequestRegisters);
  } else if (word == "regset") {
    int index = 0;
    long long value = 0;
    sscanf(rest.c_str(), "%d %lli", &index, &value);
    std::vector<char> bytes(sizeof(void*));
    memcpy(bytes.data(), &value, bytes.size());
    Send(RequestSetRegister, index, 0, bytes);
  } else if (word == "hex") Ask(SendHexMode, RequestHexMode, n);
  else if (word == "warnings") Send(RequestWarningMode, n);
  else if (word == "mem") {
    std::string first = rest.substr(0, rest.find(' '));
    std::string second = rest.find(' ') == std::string::npos ? "" : rest.substr(rest.find(' ') + 1);
    bool length = !second.empty() && second[0] == '+';
    if (length) second.erase(0, 1);
    Ask(SendMemory, RequestMemory, length ? 1 : 0, 0, Concat(TextBytes(first), TextBytes(second)));
  } else if (word == "kill") {
    // The program's kill watcher ends it at once, stopped or not: how long
    // that took is shown ("[kill] ended after N ms").
    DWORD start = GetTickCount();
    ReleaseMutex(g_killMutex);
    if (WaitForSingleObject(g_process.hProcess, g_timeout) == WAIT_OBJECT_0) {
      Print("[kill] ended after %lu ms\n", GetTickCount() - start);
    } else {
      Print("[kill] still running after %lu ms\n", GetTickCount() - start);
    }
  } else if (word == "hangup") {
    // As a front-end that died: the pipes close, the mutex stays owned.
    CloseHandle(g_toProgram);
    g_toProgram = nullptr;
  } else if (word == "raw") {
    int type = 0, v1 = 0, v2 = 0, used = 0;
    sscanf(rest.c_str(), "%d %d %d %n", &type, &v1, &v2, &used);
    std::string text = used ? rest.substr(size_t(used)) : "";
    Send(type, v1, v2, text.empty() ? std::vector<char>() : TextBytes(text));
  } else if (word == "fuzz") {
    int count = 0;
    unsigned seed = 1;
    sscanf(rest.c_str(), "%d %u", &count, &seed);
    Fuzz(count, seed);
  } else {
    Print("unknown command: %s (\"help\" lists them)\n", word.c_str());
  }
  return true;
}

DWORD WINAPI ConnectPipe(void* pipe) {
  return ConnectNamedPipe(static_cast<HANDLE>(pipe), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
}

// Creates the pipes, the kill mutex and the program; false when it failed.
bool StartProgram(const std::string& commandLine, const std::string& plugin, const std::string& options) {
  char name[128];
  snprintf(name, sizeof name, "kxdebug-%lu-%lu", GetCurrentProcessId(), GetTickCount());
  std::string toName = std::string("\\\\.\\pipe\\") + name + "-to";
  std::string fromName = std::string("\\\\.\\pipe\\") + name + "-from";
  std::string mutexName = std::string(name) + "-kill";
  g_killMutex = CreateMutexA(nullptr, TRUE, mutexName.c_str());
  std::string communication;
  HANDLE programEnds[2] = {nullptr, nullptr};
  if (plugin == "Pipes") {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, FALSE};
    HANDLE programRead = nullptr, programWrite = nullptr;
    if (!CreatePipe(&g_fromProgram, &programWrite, &inherit, 65536) ||
        !CreatePipe(&programRead, &g_toProgram, &inherit, 65536)) {
      return false;
    }
    programEnds[0] = programRead;
    programEnds[1] = programWrite;
    char parameters[96];
    snprintf(parameters, sizeof parameters, "%lu|%d|%d", GetCurrentProcessId(), int(intptr_t(programWrite)),
             int(intptr_t(programRead)));
    communication = "Pipes|" + std::string(parameters);
  } else {
    g_fromProgram = CreateNamedPipeA(fromName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536,
                                     65536, 0, nullptr);
    g_toProgram = CreateNamedPipeA(toName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536,
                                   65536, 0, nullptr);
    if (g_fromProgram == INVALID_HANDLE_VALUE || g_toProgram == INVALID_HANDLE_VALUE) return false;
    communication = plugin + "|" + fromName + "|" + toName;
  }
  SetEnvironmentVariableA(CommunicationVariable, communication.c_str());
  SetEnvironmentVariableA(OptionsVariable, options.c_str());
  SetEnvironmentVariableA(KillMutexVariable, mutexName.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &g_process)) {
    Print("[cannot start] %s (error %lu)\n", commandLine.c_str(), GetLastError());
    return false;
  }
  SetEnvironmentVariableA(CommunicationVariable, nullptr);
  SetEnvironmentVariableA(OptionsVariable, nullptr);
  SetEnvironmentVariableA(KillMutexVariable, nullptr);
  if (plugin == "Pipes") {
    // The program duplicates its ends out of this process: keep them until
    // its start message shows it has them.
    HANDLE receiver = CreateThread(nullptr, 0, Receiver, nullptr, 0, nullptr);
    CloseHandle(receiver);
    WaitFor([] { return g_started; });
    CloseHandle(programEnds[0]);
    CloseHandle(programEnds[1]);
    return true;
  }
  // The program opens the pipe it reads first, then the one it writes.
  HANDLE connects[2] = {CreateThread(nullptr, 0, ConnectPipe, g_toProgram, 0, nullptr),
                        CreateThread(nullptr, 0, ConnectPipe, g_fromProgram, 0, nullptr)};
  HANDLE waits[2] = {nullptr, g_process.hProcess};
  for (HANDLE c : connects) {
    waits[0] = c;
    if (WaitForMultipleObjects(2, waits, FALSE, g_timeout) != WAIT_OBJECT_0) {
      Print("[not connected]\n");
      g_ended = true;
      return true;   // the program ended (or never connected): its exit code tells
    }
  }
  CloseHandle(CreateThread(nullptr, 0, Receiver, nullptr, 0, nullptr));
  return true;
}

std::string Quote(const char* argument) {
  std::string text = argument;
  if (text.find_first_of(" \t\"") == std::string::npos && !text.empty()) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  InitializeCriticalSection(&g_lock);
  g_changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::string script, plugin = "NamedPipes";
  int unicode = 0, callOnStart = 0, callOnEnd = 0;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    std::string option = argv[i];
    if (option == "-s" && i + 1 < argc) script = argv[++i];
    else if (option == "-p" && i + 1 < argc) plugin = argv[++i];
    else if (option == "-t" && i + 1 < argc) g_timeout = DWORD(atoi(argv[++i])) * 1000;
    else if (option == "-u") unicode = 1;
    else if (option == "-b") callOnStart = 1;
    else if (option == "-e") callOnEnd = 1;
    else if (option == "-q") g_echo = false;
    else {
      fprintf(stderr, "kxdebug: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  if (i >= argc) {
    fprintf(stderr, "usage: kxdebug [-s script] [-p plugin] [-u] [-b] [-e] [-t seconds] [-q] program [arguments]\n");
    return 2;
  }
  g_unicode = unicode != 0;
  std::string commandLine;
  for (int a = i; a < argc; ++a) commandLine += (commandLine.empty() ? "" : " ") + Quote(argv[a]);
  char options[32];
  snprintf(options, sizeof options, "%d|%d|%d", unicode, callOnStart, callOnEnd);
  if (!StartProgram(commandLine, plugin, options)) return 2;

  FILE* input = script.empty() ? stdin : fopen(script.c_str(), "r");
  if (!input) {
    fprintf(stderr, "kxdebug: cannot read %s\n", script.c_str());
    TerminateProcess(g_process.hProcess, 3);
    return 2;
  }
  char line[4096];
  while (fgets(line, sizeof line, input) && Command(line)) {
  }
  DWORD exitCode = 0;
  if (WaitForSingleObject(g_process.hProcess, g_timeout) != WAIT_OBJECT_0) {
    Print("[timeout] the program did not end\n");
    TerminateProcess(g_process.hProcess, 124);
    WaitForSingleObject(g_process.hProcess, 5000);
  }
  GetExitCodeProcess(g_process.hProcess, &exitCode);
  // What the program sent last is shown before the exit line.
  WaitFor([] { return g_ended; });
  Print("[exit] %lu\n", exitCode);
  return int(exitCode);
}
