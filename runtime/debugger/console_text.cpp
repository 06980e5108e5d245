// The console debugger's text in and out.  The program's texts are
// Windows-1252 bytes, but a console hands its input over, and shows bytes
// written to it, in its own code page (an OEM one), so an umlaut typed at the
// prompt would not be the program's umlaut.  Where the handle is a console,
// lines are read as wide characters (ReadConsoleW) and converted to the
// program's character set, and output is converted to wide characters and
// written with WriteConsoleW; redirected handles (files, pipes) keep the
// byte route unchanged.
#include <windows.h>

#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/debugger/console_internal.h"

namespace kx {
namespace console {

namespace {

constexpr UINT ProgramCodePage = 1252;

// The console behind a stream, or nullptr when it is a file or a pipe.
HANDLE ConsoleOf(FILE* stream) {
  if (!stream) return nullptr;
  int descriptor = _fileno(stream);
  if (descriptor < 0) return nullptr;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  DWORD mode;
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode)) return nullptr;
  return handle;
}

// Wide text of the program's bytes, each line end as the C runtime's text
// mode writes it ("\r\n").
std::wstring Widen(const char* text, size_t length) {
  std::wstring wide;
  if (length == 0) return wide;
  int count = MultiByteToWideChar(ProgramCodePage, 0, text, int(length), nullptr, 0);
  std::vector<wchar_t> converted(count > 0 ? size_t(count) : 0);
  if (count > 0) MultiByteToWideChar(ProgramCodePage, 0, text, int(length), converted.data(), count);
  wide.reserve(converted.size() + 16);
  for (size_t i = 0; i < converted.size(); ++i) {
    if (converted[i] == L'\n' && (i == 0 || converted[i - 1] != L'\r')) wide += L'\r';
    wide += converted[i];
  }
  return wide;
}

}  // namespace

void WriteText(FILE* out, const char* text, size_t length) {
  if (length == 0) return;
  HANDLE console = ConsoleOf(out);
  if (!console) {
    fwrite(text, 1, length, out);
    fflush(out);
    return;
  }
  fflush(out);   // whatever the stream still holds goes first
  std::wstring wide = Widen(text, length);
  const wchar_t* at = wide.c_str();
  DWORD left = DWORD(wide.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(console, at, left, &written, nullptr) || written == 0) {
      // A console that refuses wide output still takes the bytes.
      fwrite(text, 1, length, out);
      fflush(out);
      return;
    }
    at += written;
    left -= written;
  }
}

int Printf(FILE* out, const char* format, ...) {
  char small[1024];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return length;
  }
  if (size_t(length) < sizeof small) {
    va_end(again);
    WriteText(out, small, size_t(length));
    return length;
  }
  std::vector<char> large(size_t(length) + 1);
  vsnprintf(large.data(), large.size(), format, again);
  va_end(again);
  WriteText(out, large.data(), size_t(length));
  return length;
}

bool ReadLine(char* buffer, int size) {
  if (size < 2) return false;
  FILE* in = debugger::ConsoleInput();
  HANDLE console = ConsoleOf(in);
  if (!console) return fgets(buffer, size, in) != nullptr;
  std::wstring line;
  for (;;) {
    wchar_t chunk[256];
    DWORD read = 0;
    if (!ReadConsoleW(console, chunk, DWORD(sizeof chunk / sizeof *chunk), &read, nullptr)) {
      // Ctrl+C breaks a read off; the line is then typed again.
      if (GetLastError() == ERROR_OPERATION_ABORTED) continue;
      return false;
    }
    if (read == 0) break;   // end of input
    line.append(chunk, read);
    if (line.back() == L'\n') break;
  }
  // End of input: nothing read, or Ctrl+Z at the start of the line (as the
  // C runtime reads a console).
  if (line.empty() || line[0] == 0x1A) return false;
  int count = WideCharToMultiByte(ProgramCodePage, 0, line.c_str(), int(line.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(count > 0 ? size_t(count) : 0, '\0');
  if (count > 0) {
    WideCharToMultiByte(ProgramCodePage, 0, line.c_str(), int(line.size()), bytes.data(), count, nullptr, nullptr);
  }
  // The rest of a line longer than the buffer is dropped; the line end stays.
  size_t keep = bytes.size() < size_t(size - 1) ? bytes.size() : size_t(size - 1);
  bool ended = !bytes.empty() && bytes.back() == '\n';
  bytes.resize(keep);
  if (ended && keep > 0 && bytes.back() != '\n') bytes.back() = '\n';
  memcpy(buffer, bytes.data(), bytes.size());
  buffer[bytes.size()] = 0;
  return true;
}

}  // namespace console
}  // namespace kx
