// The debugger link's transport: the two communication plugins, the reader
// thread that fills the incoming queue, sending under the send lock, and the
// kill-mutex watcher.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "runtime/debugger/link_internal.h"

namespace kx {
namespace link {

namespace {

// A communication plugin: connect with the parameter text, then send whole
// messages, receive queued ones and close.  Both plugins end with a pair of
// pipe handles, so they share everything but the connect.
struct Plugin {
  const char* name;
  bool (*connect)(const char* parameters);
  bool (*send)(const void* data, DWORD size);
  bool (*receive)();   // reads what waits in the pipe into the queue
  void (*close)();
};

// The time stamp of a message: the local wall-clock time in seconds since
// 1970-01-01 00:00:00, counted as if it were UTC (the program's date values).
// The link keeps its own rather than using the File library's dates.
int32_t LocalTimeStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME asFileTime;
  if (!SystemTimeToFileTime(&now, &asFileTime)) return -1;
  ULONGLONG hundredNs = (ULONGLONG(asFileTime.dwHighDateTime) << 32) | asFileTime.dwLowDateTime;
  const ULONGLONG epoch = 116444736000000000ull;  // 1970-01-01 in 100 ns units since 1601
  if (hundredNs < epoch) return -1;
  ULONGLONG seconds = (hundredNs - epoch) / 10000000ull;
  return seconds > 0x7FFFFFFFull ? -1 : int32_t(seconds);
}

HANDLE g_read = nullptr;
HANDLE g_write = nullptr;
volatile LONG g_active = 0;
volatile LONG g_closed = 0;
int g_width = 1;
const Plugin* g_plugin = nullptr;

CRITICAL_SECTION g_sendLock;
CRITICAL_SECTION g_queueLock;
CRITICAL_SECTION g_pluginLock;   // the reader's pass against Close
std::deque<Incoming>* g_queue = nullptr;
volatile LONG g_queued = 0;   // the queue's size, read by the line hook without the lock

HANDLE g_readerThread = nullptr;
HANDLE g_killThread = nullptr;
DWORD g_readerId = 0;
DWORD g_killId = 0;
HANDLE g_stopEvent = nullptr;     // set by Close: the threads end
char g_killMutexName[MAX_PATH];

uint32_t g_crcTable[256];

void BuildCrcTable() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    g_crcTable[n] = c;
  }
}

// Reads exactly size bytes (blocking); false when the pipe broke.
bool ReadAll(void* data, DWORD size) {
  char* at = static_cast<char*>(data);
  while (size > 0) {
    DWORD read = 0;
    if (!ReadFile(g_read, at, size, &read, nullptr) || read == 0) return false;
    at += read;
    size -= read;
  }
  return true;
}

bool PipeSend(const void* data, DWORD size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(g_write, at, size, &written, nullptr) || written == 0) return false;
    at += written;
    size -= written;
  }
  return true;
}

size_t QueuedCount() {
  EnterCriticalSection(&g_queueLock);
  size_t count = g_queue->size();
  LeaveCriticalSection(&g_queueLock);
  return count;
}

// A read failed: fatal, unless the link is being closed (which closed the pipes).
bool Broken() {
  if (!g_closed) Fatal("\n\n[Fatal Debugger Error] Broken communication pipe.");
  return false;
}

// One pass of the reader: whole messages only, at most 50 of them.
bool PipeReceive() {
  bool queued = false;
  for (int taken = 0; taken < 50 && QueuedCount() < size_t(MaxQueued); ++taken) {
    DWORD available = 0;
    if (!PeekNamedPipe(g_read, nullptr, 0, nullptr, &available, nullptr)) return Broken();
    if (available < sizeof(MessageHeader)) break;
    Incoming message;
    if (!ReadAll(&message.header, sizeof message.header)) return Broken();
    int32_t length = message.header.length;
    if (length < 0 || length > MaxDataLength) continue;   // no message of ours: the header alone is dropped
    try {
      message.data.assign(size_t(length) + 2, 0);
    } catch (...) {
      Fatal("\n\n[Fatal Debugger Error] Out of memory.");
    }
    if (length > 0 && !ReadAll(message.data.data(), DWORD(length))) return Broken();
    if (message.header.type == RequestBreakpoint) {
      ApplyBreakpoint(message.header);   // thread-safe program: at once
      continue;
    }
    EnterCriticalSection(&g_queueLock);
    g_queue->push_back(std::move(message));
    InterlockedIncrement(&g_queued);
    LeaveCriticalSection(&g_queueLock);
    queued = true;
  }
  return queued;
}

void PipeClose() {
  if (g_read) CloseHandle(g_read);
  if (g_write && g_write != g_read) CloseHandle(g_write);
  g_read = g_write = nullptr;
}

// "NamedPipes": "write pipe|read pipe"; the read pipe is opened first.
bool NamedPipesConnect(const char* parameters) {
  const char* bar = strchr(parameters, '|');
  if (!bar) return false;
  std::string writeName(parameters, bar - parameters);
  std::string readName(bar + 1);
  g_read = CreateFileA(readName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (g_read == INVALID_HANDLE_VALUE) {
    g_read = nullptr;
    return false;
  }
  g_write = CreateFileA(writeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (g_write == INVALID_HANDLE_VALUE) {
    g_write = nullptr;
    PipeClose();
    return false;
  }
  return true;
}

// "Pipes": "process id|write handle|read handle" of the front-end's
// process, duplicated into this one.
bool PipesConnect(const char* parameters) {
  int process = 0, write = 0, read = 0;
  if (sscanf(parameters, "%d|%d|%d", &process, &write, &read) != 3) return false;
  HANDLE owner = OpenProcess(PROCESS_DUP_HANDLE, FALSE, DWORD(process));
  if (!owner) return false;
  HANDLE self = GetCurrentProcess();
  bool ok = DuplicateHandle(owner, reinterpret_cast<HANDLE>(intptr_t(read)), self, &g_read, 0, FALSE,
                            DUPLICATE_SAME_ACCESS) &&
            DuplicateHandle(owner, reinterpret_cast<HANDLE>(intptr_t(write)), self, &g_write, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
  CloseHandle(owner);
  if (!ok) PipeClose();
  return ok;
}

const Plugin Plugins[] = {
    {"NamedPipes", NamedPipesConnect, PipeSend, PipeReceive, PipeClose},
    {"Pipes", PipesConnect, PipeSend, PipeReceive, PipeClose},
};

DWORD WINAPI ReaderThread(void*) {
  while (WaitForSingleObject(g_stopEvent, 10) == WAIT_TIMEOUT) {
    EnterCriticalSection(&g_pluginLock);
    bool queued = !g_closed && g_plugin->receive();
    LeaveCriticalSection(&g_pluginLock);
    if (queued) {
      // The main thread may sleep in a message wait: wake it, unless it is
      // held by another thread's stop anyway.
      DWORD main = debugger::MainThread();
      if (main && DWORD(debugger::stoppedThread) != main) PostThreadMessageA(main, WM_NULL, 0, 0);
    }
  }
  return 0;
}

volatile LONG g_killed = 0;

// The last resort of a kill: an end code that cannot finish (a lock that a
// stopped thread holds, a window whose thread never answers) does not keep
// the program alive; the front-end was promised its end at once.
constexpr DWORD KillDeadline = 800;   // ms

DWORD WINAPI KillDeadlineThread(void*) {
  Sleep(KillDeadline);
  TerminateProcess(GetCurrentProcess(), 1);
  return 0;
}

DWORD WINAPI KillWatcher(void*) {
  HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, g_killMutexName);
  if (!mutex) return 0;
  HANDLE waits[2] = {mutex, g_stopEvent};
  DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  if (result == WAIT_OBJECT_0) {
    // The front-end released its mutex: end the program now, stopped or
    // not.  A stopped thread parks when it sees the
    // end code running here; the threads held in the line hook as well.
    InterlockedExchange(&g_killed, 1);
    HANDLE deadline = CreateThread(nullptr, 0, KillDeadlineThread, nullptr, 0, nullptr);
    if (deadline) CloseHandle(deadline);
    RunEndCode();
    ExitProcess(1);
  }
  CloseHandle(mutex);
  return 0;
}

// Value of an environment variable, removed from the environment once read.
bool TakeVariable(const char* name, std::string& value) {
  char buffer[4096];
  DWORD size = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (size == 0 || size >= sizeof buffer) {
    if (size >= sizeof buffer) SetEnvironmentVariableA(name, nullptr);
    return false;
  }
  value.assign(buffer, size);
  SetEnvironmentVariableA(name, nullptr);
  _putenv((std::string(name) + "=").c_str());   // the C runtime's copy as well
  return true;
}

void Print(const char* text) {
  fflush(stdout);
  fputs(text, stdout);
  fflush(stdout);
}

}  // namespace

// ---- data blocks ----

void Outgoing::Bytes(const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  bytes.insert(bytes.end(), at, at + size);
}

void Outgoing::Text(const char* text) {
  if (!text) text = "";
  if (g_width == 2) {
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::vector<wchar_t> wide(count > 0 ? count : 1, 0);
    if (count > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count);
    Bytes(wide.data(), wide.size() * 2);
  } else {
    Bytes(text, strlen(text) + 1);
  }
}

int32_t Incoming::Int32At(int32_t offset, int32_t fallback) const {
  if (offset < 0 || offset + 4 > header.length) return fallback;
  int32_t value;
  memcpy(&value, data.data() + offset, 4);
  return value;
}

std::string Incoming::TextAt(int32_t& offset) const {
  if (offset < 0 || offset >= header.length) return std::string();
  if (g_width == 2) {
    std::wstring wide;
    while (offset + 1 < header.length + 2) {
      wchar_t c;
      memcpy(&c, data.data() + offset, 2);
      offset += 2;
      if (c == 0) break;
      wide += c;
    }
    int count = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(count > 0 ? count : 1, '\0');
    if (count > 0) WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), count, nullptr, nullptr);
    text.resize(strlen(text.c_str()));
    return text;
  }
  std::string text(data.data() + offset);   // ends at the latest at the extra NULs
  offset += int32_t(text.size()) + 1;
  return text;
}

// ---- link ----

void Fatal(const char* text) {
  Print(text);
  ExitProcess(1);
}

bool Connect() {
  std::string communication;
  std::string options;
  std::string killMutex;
  bool haveCommunication = TakeVariable(CommunicationVariable, communication);
  bool haveOptions = TakeVariable(OptionsVariable, options);
  bool haveKillMutex = TakeVariable(KillMutexVariable, killMutex);
  if (!haveCommunication) return false;
  size_t bar = communication.find('|');
  std::string name = communication.substr(0, bar);
  const Plugin* plugin = nullptr;
  for (const Plugin& p : Plugins) {
    if (name == p.name) plugin = &p;
  }
  if (!plugin) {
    char text[512];
    snprintf(text, sizeof text, "[Fatal Debugger Error] No communication plugin found for \"%s\".\n\n", name.c_str());
    Print(text);
    ExitProcess(1);
  }
  if (bar == std::string::npos) return false;
  if (!plugin->connect(communication.c_str() + bar + 1)) return false;
  g_plugin = plugin;
  int unicode = 0, callOnStart = 0, callOnEnd = 0;
  if (haveOptions) sscanf(options.c_str(), "%d|%d|%d", &unicode, &callOnStart, &callOnEnd);
  g_width = unicode ? 2 : 1;
  SetCallOnStart(callOnStart);
  SetCallOnEnd(callOnEnd);
  BuildCrcTable();
  InitializeCriticalSection(&g_sendLock);
  InitializeCriticalSection(&g_queueLock);
  InitializeCriticalSection(&g_pluginLock);
  g_queue = new std::deque<Incoming>;
  g_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  snprintf(g_killMutexName, sizeof g_killMutexName, "%s", haveKillMutex ? killMutex.c_str() : "");
  g_active = 1;
  if (g_killMutexName[0]) g_killThread = g_stopEvent ? CreateThread(nullptr, 0, KillWatcher, nullptr, 0, &g_killId) : nullptr;
  g_readerThread = g_stopEvent ? CreateThread(nullptr, 0, ReaderThread, nullptr, 0, &g_readerId) : nullptr;
  if (!g_readerThread || (g_killMutexName[0] && !g_killThread)) {
    Print("[Fatal Debugger Error] Cannot create communication objects.\n");
    ExitProcess(1);
  }
  return true;
}

bool Active() { return g_active != 0; }
int Width() { return g_width; }

void Send(int32_t type, int32_t value1, int32_t value2, const Outgoing* data) {
  if (!g_active || g_closed) return;
  MessageHeader header = {type, data ? int32_t(data->bytes.size()) : 0, value1, value2, LocalTimeStamp()};
  EnterCriticalSection(&g_sendLock);
  bool ok = g_plugin->send(&header, sizeof header) &&
            (header.length == 0 || g_plugin->send(data->bytes.data(), DWORD(header.length)));
  LeaveCriticalSection(&g_sendLock);
  if (!ok && !g_closed) Fatal("\n\n[Fatal Debugger Error] Broken communication pipe.");
}

void SendRaw(int32_t type, const void* after, size_t size) {
  if (!g_active || g_closed) return;
  MessageHeader header = {type, 0, 0, 0, LocalTimeStamp()};
  memcpy(reinterpret_cast<char*>(&header) + 4, after, size < 12 ? size : 12);
  EnterCriticalSection(&g_sendLock);
  bool ok = g_plugin->send(&header, sizeof header);
  LeaveCriticalSection(&g_sendLock);
  if (!ok && !g_closed) Fatal("\n\n[Fatal Debugger Error] Broken communication pipe.");
}

bool TakeMessage(Incoming& message) {
  if (!g_active || g_queued == 0) return false;
  EnterCriticalSection(&g_queueLock);
  bool taken = !g_queue->empty();
  if (taken) {
    message = std::move(g_queue->front());
    g_queue->pop_front();
    InterlockedDecrement(&g_queued);
  }
  LeaveCriticalSection(&g_queueLock);
  return taken;
}

bool MessagesQueued() { return g_queued > 0; }

void Close() {
  if (!g_active || InterlockedExchange(&g_closed, 1) != 0) return;
  SetEvent(g_stopEvent);
  // The reader may be blocked reading the rest of a message; closing the
  // pipes under the plugin lock would wait for it, so they are closed first
  // and the lock only orders the end of its pass.
  g_plugin->close();
  EnterCriticalSection(&g_pluginLock);
  LeaveCriticalSection(&g_pluginLock);
  if (g_readerThread && GetCurrentThreadId() != g_readerId) WaitForSingleObject(g_readerThread, 2000);
  if (g_killThread && GetCurrentThreadId() != g_killId) WaitForSingleObject(g_killThread, 2000);
}

uint32_t Crc32(const void* data, size_t size) {
  const uint8_t* at = static_cast<const uint8_t*>(data);
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = g_crcTable[(crc ^ at[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace link

bool debugger::KillRequested() { return link::g_killed != 0; }

}  // namespace kx
