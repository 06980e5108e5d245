#include "runtime/network/http.h"

#include <windows.h>
#include <winsock.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/strings.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/core/threads.h"
#include "runtime/network/network.h"

namespace kx {

namespace http {
namespace {

const char* FindText(const char* from, const char* to, const char* what) {
  size_t n = strlen(what);
  for (const char* p = from; p + n <= to; ++p) {
    if (memcmp(p, what, n) == 0) return p;
  }
  return nullptr;
}

const char* FindByte(const char* from, const char* to, char c) {
  const void* p = memchr(from, c, static_cast<size_t>(to - from));
  return static_cast<const char*>(p);
}

Span MakeSpan(const char* from, const char* to) {
  if (from == nullptr || to <= from) return Span{nullptr, 0};
  return Span{from, static_cast<int32_t>(to - from)};
}

// The stretch between "://" and the first "/" after it: user, password, host
// and port live here.  An "@" further on (in a path or query) names no user.
struct Authority {
  const char* start;  // after "://", nullptr without one
  const char* end;    // the first "/" after start, or the end of the URL
  const char* at;     // the first "@" in [start, end), or nullptr
};

Authority FindAuthority(const char* url) {
  Authority a{nullptr, nullptr, nullptr};
  const char* urlEnd = url + strlen(url);
  const char* scheme = FindText(url, urlEnd, "://");
  if (scheme == nullptr) return a;
  a.start = scheme + 3;
  a.end = FindByte(a.start, urlEnd, '/');
  if (a.end == nullptr) a.end = urlEnd;
  a.at = FindByte(a.start, a.end, '@');
  return a;
}

// Host and port start after the user part, if there is one.
const char* HostStart(const Authority& a) { return a.at ? a.at + 1 : a.start; }

int EqualNoCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return 0;
  }
  return 1;
}

int ContainsNoCase(const char* from, const char* to, const char* what) {
  size_t n = strlen(what);
  for (const char* p = from; p + n <= to; ++p) {
    if (EqualNoCase(p, what, n)) return 1;
  }
  return 0;
}

}  // namespace

Span FindUrlPart(const char* url, int32_t part) {
  if (url == nullptr) return Span{nullptr, 0};
  Authority a = FindAuthority(url);
  if (a.start == nullptr) return Span{nullptr, 0};
  const char* urlEnd = url + strlen(url);
  const char* host = HostStart(a);
  const char* colon = FindByte(host, a.end, ':');
  switch (part) {
    case HostPart:
      return MakeSpan(host, colon ? colon : a.end);
    case PortPart:
      return colon ? MakeSpan(colon + 1, a.end) : Span{nullptr, 0};
    case PathPart: {
      if (a.end == urlEnd) return Span{nullptr, 0};
      const char* query = FindByte(a.end + 1, urlEnd, '?');
      return MakeSpan(a.end + 1, query ? query : urlEnd);
    }
    case PathAndQueryPart:
      if (a.end == urlEnd) return Span{nullptr, 0};
      return MakeSpan(a.end + 1, urlEnd);
    default:
      return Span{nullptr, 0};
  }
}

Span FindUrlUser(const char* url) {
  if (url == nullptr) return Span{nullptr, 0};
  Authority a = FindAuthority(url);
  if (a.start == nullptr || a.at == nullptr) return Span{nullptr, 0};
  const char* colon = FindByte(a.start, a.at, ':');
  return MakeSpan(a.start, colon ? colon : a.at);
}

Span FindUrlPassword(const char* url) {
  if (url == nullptr) return Span{nullptr, 0};
  Authority a = FindAuthority(url);
  if (a.start == nullptr || a.at == nullptr) return Span{nullptr, 0};
  const char* colon = FindByte(a.start, a.at, ':');
  if (colon == nullptr) return Span{nullptr, 0};
  return MakeSpan(colon + 1, a.at);
}

Span FindUrlQuery(const char* url) {
  if (url == nullptr) return Span{nullptr, 0};
  const char* urlEnd = url + strlen(url);
  const char* question = FindByte(url, urlEnd, '?');
  if (question == nullptr) return Span{nullptr, 0};
  // A "?" after the first "#" belongs to the fragment: there is no query.
  const char* hash = FindByte(url, urlEnd, '#');
  if (hash != nullptr && hash < question) return Span{nullptr, 0};
  return MakeSpan(question + 1, hash ? hash : urlEnd);
}

Span FindUrlParameter(const char* url, const char* name) {
  Span query = FindUrlQuery(url);
  if (query.start == nullptr || name == nullptr || name[0] == 0) return Span{nullptr, 0};
  size_t nameLength = strlen(name);
  const char* p = query.start;
  const char* end = query.start + query.length;
  while (p < end) {
    const char* amp = FindByte(p, end, '&');
    const char* itemEnd = amp ? amp : end;
    if (static_cast<size_t>(itemEnd - p) > nameLength && EqualNoCase(p, name, nameLength) &&
        p[nameLength] == '=') {
      return MakeSpan(p + nameLength + 1, itemEnd);
    }
    if (amp == nullptr) break;
    p = amp + 1;
  }
  return Span{nullptr, 0};
}

Span FindUrlFragment(const char* url) {
  if (url == nullptr) return Span{nullptr, 0};
  const char* urlEnd = url + strlen(url);
  const char* hash = FindByte(url, urlEnd, '#');
  if (hash == nullptr) return Span{nullptr, 0};
  return MakeSpan(hash + 1, urlEnd);
}

// ---- requests -----------------------------------------------------------

int32_t GetRequestSize(const char* host, const char* path) {
  // The fixed text of either request plus a port suffix is far below 1024.
  return static_cast<int32_t>((host ? strlen(host) : 0) + (path ? strlen(path) : 0) + 1024);
}

int32_t FormatGetRequest(char* buffer, const char* path, const char* host, int32_t port) {
  char suffix[16] = "";
  if (port != 80) sprintf(suffix, ":%d", static_cast<int>(port));
  return sprintf(buffer,
                 "GET /%s HTTP/1.1\r\nAccept: */*\r\nHost: %s%s\r\nConnection: close\r\n\r\n",
                 path ? path : "", host ? host : "", suffix);
}

int32_t FormatHeadRequest(char* buffer, const char* path, const char* host) {
  return sprintf(buffer, "HEAD /%s HTTP/1.1\r\nAccept: */*\r\nHost: %s\r\n\r\n", path ? path : "",
                 host ? host : "");
}

// ---- response head ------------------------------------------------------

namespace {

// A Content-Length value: blanks around one decimal number that fits 63
// bits.  -1 for anything else.
int64_t ParseLength(const char* from, const char* to) {
  while (from < to && (*from == ' ' || *from == '\t')) ++from;
  while (to > from && (to[-1] == ' ' || to[-1] == '\t')) --to;
  if (from == to) return -1;
  int64_t value = 0;
  for (const char* p = from; p < to; ++p) {
    if (*p < '0' || *p > '9') return -1;
    int digit = *p - '0';
    if (value > (INT64_MAX - digit) / 10) return -1;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

ResponseHead ParseResponseHead(const char* text, int32_t length) {
  ResponseHead head{0, 0, 0, 0, -1, 0};
  const char* end = text + length;
  const char* line = text;
  bool first = true;
  while (line < end) {
    const char* lf = FindByte(line, end, '\n');
    if (lf == nullptr) return head;  // the line has not fully arrived
    const char* lineEnd = (lf > line && lf[-1] == '\r') ? lf - 1 : lf;
    size_t n = static_cast<size_t>(lineEnd - line);
    if (first) {
      // "HTTP/1.1 200 OK": the code follows the first blank.
      const char* blank = FindByte(line, lineEnd, ' ');
      if (blank != nullptr && lineEnd - blank >= 4) {
        char code[4] = {blank[1], blank[2], blank[3], 0};
        bool codeEnds = (lineEnd - blank == 4) || blank[4] == ' ';
        head.accepted = codeEnds && strcmp(code, "200") == 0;
      }
      first = false;
    } else if (n == 0) {
      head.complete = 1;
      head.bodyOffset = static_cast<int32_t>(lf + 1 - text);
      return head;
    } else if (n >= 18 && EqualNoCase(line, "transfer-encoding:", 18)) {
      if (ContainsNoCase(line + 18, lineEnd, "chunked")) head.chunked = 1;
    } else if (n >= 15 && EqualNoCase(line, "content-length:", 15)) {
      // Of two lengths the client cannot know which frames the body.
      int64_t value = ParseLength(line + 15, lineEnd);
      if (value < 0 || (head.contentLength >= 0 && head.contentLength != value)) head.invalid = 1;
      if (value >= 0) head.contentLength = value;
    }
    line = lf + 1;
  }
  return head;
}

// ---- chunked bodies -----------------------------------------------------

void StartChunkDecoder(ChunkDecoder* decoder) {
  memset(decoder, 0, sizeof *decoder);
  decoder->state = ChunkSizeLine;
}

namespace {

// A size line is hex digits, then optionally blanks and ";extensions".
int32_t ReadSizeLine(ChunkDecoder* d) {
  int32_t n = d->lineLength;
  if (n > 0 && d->line[n - 1] == '\r') --n;
  d->line[n] = 0;
  char* end = nullptr;
  unsigned long size = strtoul(d->line, &end, 16);
  if (end == d->line || (*end != 0 && *end != ';' && *end != ' ' && *end != '\t')) return 0;
  if (d->line[0] == '-' || d->line[0] == '+' || d->line[0] == ' ') return 0;
  if (size > 0x7FFFFFFFul) return 0;
  d->remaining = static_cast<uint32_t>(size);
  d->lineLength = 0;
  d->state = size == 0 ? ChunkDone : ChunkData;
  return 1;
}

}  // namespace

int32_t FeedChunkDecoder(ChunkDecoder* d, const char* bytes, int32_t count, BodyWriter write,
                         void* context) {
  const char* p = bytes;
  const char* end = bytes + count;
  while (p < end) {
    switch (d->state) {
      case ChunkSizeLine: {
        char c = *p++;
        if (c == '\n') {
          if (!ReadSizeLine(d)) {
            d->state = ChunkError;
            return 0;
          }
        } else if (d->lineLength < static_cast<int32_t>(sizeof d->line) - 1) {
          d->line[d->lineLength++] = c;
        } else {
          d->state = ChunkError;  // no sensible size line is this long
          return 0;
        }
        break;
      }
      case ChunkData: {
        int32_t n = static_cast<int32_t>(end - p);
        if (static_cast<uint32_t>(n) > d->remaining) n = static_cast<int32_t>(d->remaining);
        if (!write(context, p, n)) {
          d->state = ChunkError;
          return 0;
        }
        p += n;
        d->remaining -= static_cast<uint32_t>(n);
        if (d->remaining == 0) d->state = ChunkDataEnd;
        break;
      }
      case ChunkDataEnd:
      case ChunkDataEndLf: {
        // Exactly CR LF ends a chunk's data: any other byte means the size
        // line lied about the data, which then cannot be trusted.
        char c = *p++;
        if (d->state == ChunkDataEnd && c == '\r') {
          d->state = ChunkDataEndLf;
        } else if (d->state == ChunkDataEndLf && c == '\n') {
          d->state = ChunkSizeLine;
        } else {
          d->state = ChunkError;
          return 0;
        }
        break;
      }
      case ChunkDone:
        return 1;
      default:
        return 0;
    }
  }
  return d->state == ChunkError ? 0 : 1;
}

}  // namespace http

// ---- transfers ----------------------------------------------------------

namespace {

using namespace http;

// Why the calling thread's last request failed (see HttpLastFailure).
struct Failure {
  int32_t cause;
  char statusLine[StatusLineLength + 1];
};
thread_local Failure lastFailure = {HttpFailureNone, ""};

void Fail(int32_t cause) {
  // The first cause found is the one that counts: a time-out is not
  // overwritten by the broken framing it leaves behind.
  if (lastFailure.cause == HttpFailureNone) lastFailure.cause = cause;
}

int32_t Failed(int32_t cause) {
  Fail(cause);
  return 0;
}

char* CopyOf(Span span) {
  char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, span.length + 1));
  if (text == nullptr) return nullptr;
  if (span.length) memcpy(text, span.start, span.length);
  text[span.length] = 0;
  return text;
}

void Release(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

// The whole request within timeout seconds; a failed send is retried, not
// only one that would block.
int32_t SendAll(NetworkConnection* connection, const char* bytes, int32_t length, int32_t timeout) {
  if (SendWithTimeout(ConnectionSocket(connection), bytes, length, timeout, SendRetryAnyError)) return 1;
  Fail(HttpFailureTimeOut);
  return 0;
}

// The low-speed limit of every request: a server that delivers less than
// LowSpeedBytes within LowSpeedMilliseconds is given up, however steadily
// it drips.
constexpr int32_t LowSpeedBytes = 1024;
constexpr DWORD LowSpeedMilliseconds = 30000;
// How long one wait for bytes lasts (ms) before the stop request and the
// clocks are looked at again.
constexpr DWORD WaitSlice = 100;

// The receiving side of a request and its clocks.
struct Reader {
  NetworkConnection* connection;
  DWORD lastBytes;     // when bytes last came (or the request was sent)
  DWORD windowStart;   // start of the current low-speed window
  int32_t windowBytes; // bytes received in that window
};

void StartReader(Reader* reader, NetworkConnection* connection) {
  reader->connection = connection;
  reader->lastBytes = reader->windowStart = GetTickCount();
  reader->windowBytes = 0;
}

// Results of ReceiveSome besides a byte count.
constexpr int32_t ReceiveClosed = 0;   // the peer closed in an orderly way
constexpr int32_t ReceiveFailed = -1;  // reset, read error, time-out or stop

// One read of at most size bytes: the count, or one of the two results
// above.  The read blocks until bytes come, the peer closes or WaitSlice
// passes (the socket's own receive time-out); between slices the program's
// stop request, a pause longer than timeout seconds and the low-speed limit
// are looked at, so that neither a silent nor a dripping server holds the
// thread.  Waiting inside the read, rather than polling for readability
// first, is what tells a reset from an orderly close: a look at the socket
// before the read can take the reset's error away, and the read then sees a
// plain end.
int32_t ReceiveSome(Reader* reader, char* buffer, int32_t size, int32_t timeout) {
  uintptr_t socket = ConnectionSocket(reader->connection);
  for (;;) {
    if (ThreadStopRequested()) {
      Fail(HttpFailureStopped);
      return ReceiveFailed;
    }
    // Bytes are bytes here: a leading "KXMGSFLE" is body data, not the
    // connection layer's file marker.
    int32_t received = recv(socket, buffer, size, 0);
    DWORD now = GetTickCount();
    if (received > 0) {
      reader->lastBytes = now;
      reader->windowBytes += received;
      if (reader->windowBytes >= LowSpeedBytes) {
        reader->windowStart = now;
        reader->windowBytes = 0;
      }
      return received;
    }
    if (received == 0) return ReceiveClosed;
    if (WSAGetLastError() != WSAETIMEDOUT) {
      Fail(HttpFailureBroken);
      return ReceiveFailed;
    }
    if (now - reader->lastBytes >= static_cast<DWORD>(timeout) * 1000 ||
        now - reader->windowStart >= LowSpeedMilliseconds) {
      Fail(HttpFailureTimeOut);
      return ReceiveFailed;
    }
  }
}

struct Request {
  char* host;
  char* path;
  int32_t port;
  char* buffer;
  NetworkConnection* connection;
  Reader reader;
};

void EndRequest(Request* r) {
  if (r->connection) CloseConnection(r->connection);
  Release(r->buffer);
  Release(r->path);
  Release(r->host);
}

// A URL goes into the request line as it stands: a control character would
// end the line early and smuggle in header lines of the URL's choosing.
int32_t HasControlCharacter(const char* url) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(url); *p; ++p) {
    if (*p < 32) return 1;
  }
  return 0;
}

// The URL's port for a connection, or 0 when it is no TCP port: the port
// text's leading digits (as UrlPort reads them) must name 1 to 65535.
int32_t RequestPort(const char* url) {
  Span text = FindUrlPart(url, PortPart);
  if (text.start == nullptr) return 80;
  int64_t value = 0;
  int32_t digits = 0;
  for (int32_t i = 0; i < text.length && text.start[i] >= '0' && text.start[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (text.start[i] - '0');
    if (value > 65535) return 0;
  }
  return digits > 0 ? static_cast<int32_t>(value) : UrlPort(url);
}

// Host, port, path, the connection and a buffer of bufferSize bytes (at
// least the request's size) plus a terminator.  0 on failure, before
// anything is sent.
int32_t BeginRequest(Request* r, const char* url, int32_t bufferSize) {
  memset(r, 0, sizeof *r);
  lastFailure.cause = HttpFailureNone;
  lastFailure.statusLine[0] = 0;
  Fail(HttpFailureUrl);  // until the connection stands
  if (HasControlCharacter(url)) return 0;
  Span host = FindUrlPart(url, HostPart);
  if (host.start == nullptr) return 0;
  r->port = RequestPort(url);
  if (r->port < 1 || r->port > 65535) return 0;
  r->host = CopyOf(host);
  r->path = CopyOf(FindUrlPart(url, PathAndQueryPart));
  if (r->host == nullptr || r->path == nullptr) return 0;
  int32_t size = GetRequestSize(r->host, r->path);
  if (size < bufferSize) size = bufferSize;
  r->buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
  if (r->buffer == nullptr) return 0;
  r->connection = OpenTcpConnection(r->host, r->port);
  if (r->connection == nullptr) {
    const int failure = LastConnectFailure();
    lastFailure.cause = failure == NetworkConnectRefused    ? HttpFailureRefused
                        : failure == NetworkConnectTimedOut ? HttpFailureTimeOut
                                                            : HttpFailureBroken;
    return 0;
  }
  lastFailure.cause = HttpFailureNone;
  // Reads wait in slices (ReceiveSome).
  DWORD slice = WaitSlice;
  if (setsockopt(ConnectionSocket(r->connection), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&slice),
                 sizeof slice) != 0) {
    Fail(HttpFailureBroken);
    return 0;
  }
  StartReader(&r->reader, r->connection);
  return 1;
}

// The status line of an answer, kept for the failure's cause.
void KeepStatusLine(const char* text, int32_t length) {
  int32_t n = 0;
  while (n < length && n < StatusLineLength && text[n] != '\r' && text[n] != '\n') ++n;
  memcpy(lastFailure.statusLine, text, n);
  lastFailure.statusLine[n] = 0;
}

struct Output {
  HANDLE file;
};

// Bodies go to the file in pieces of at most this size, whatever a read
// brought.
constexpr int32_t PieceSize = 1024;

int32_t WriteToFile(void* context, const char* bytes, int32_t count) {
  HANDLE file = static_cast<Output*>(context)->file;
  while (count > 0) {
    DWORD piece = static_cast<DWORD>(count < PieceSize ? count : PieceSize);
    DWORD written = 0;
    if (!WriteFile(file, bytes, piece, &written, nullptr) || written != piece) {
      Fail(HttpFailureFile);
      return 0;
    }
    bytes += piece;
    count -= static_cast<int32_t>(piece);
  }
  return 1;
}

// The longest header text a header query returns.
constexpr int32_t HeaderTextLength = 1023;

// Seconds a body may pause before the download gives up on it.
constexpr int32_t ReadTimeout = 10;

// The body after the head: complete only when its length is met (a length
// was given), its last chunk arrived (chunked, which wins over a length), or
// the server closed the connection in an orderly way (neither).  A reset, a
// time-out or a short body fails.  Every read fills the whole buffer
// (ReadBlockSize bytes) as far as the socket has bytes.
int32_t ReceiveBody(Reader* reader, const ResponseHead& head, char* buffer,
                    const char* available, int32_t availableCount, Output* out) {
  if (head.chunked) {
    ChunkDecoder decoder;
    StartChunkDecoder(&decoder);
    if (!FeedChunkDecoder(&decoder, available, availableCount, WriteToFile, out)) return Failed(HttpFailureBroken);
    while (decoder.state != ChunkDone) {
      int32_t n = ReceiveSome(reader, buffer, ReadBlockSize, ReadTimeout);
      if (n <= 0) return Failed(HttpFailureBroken);  // ended before the last chunk
      if (!FeedChunkDecoder(&decoder, buffer, n, WriteToFile, out)) return Failed(HttpFailureBroken);
    }
    return 1;
  }
  if (head.contentLength >= 0) {
    int64_t remaining = head.contentLength;
    int32_t n = availableCount < remaining ? availableCount : static_cast<int32_t>(remaining);
    if (!WriteToFile(out, available, n)) return 0;
    remaining -= n;
    while (remaining > 0) {
      n = ReceiveSome(reader, buffer,
                      remaining < ReadBlockSize ? static_cast<int32_t>(remaining) : ReadBlockSize, ReadTimeout);
      if (n <= 0) return Failed(HttpFailureBroken);  // a body cut short is not the file
      if (!WriteToFile(out, buffer, n)) return 0;
      remaining -= n;
    }
    return 1;
  }
  if (!WriteToFile(out, available, availableCount)) return 0;
  for (;;) {
    int32_t n = ReceiveSome(reader, buffer, ReadBlockSize, ReadTimeout);
    if (n == ReceiveClosed) return 1;
    if (n < 0) return 0;
    if (!WriteToFile(out, buffer, n)) return 0;
  }
}

// The temporary file a download writes before it becomes the target: the
// target's name with a suffix of the thread, so that two threads fetching
// into one folder never share one.
void TemporaryName(const char* fileName, char* name, size_t size) {
  snprintf(name, size, "%s.~%lx", fileName, static_cast<unsigned long>(GetCurrentThreadId()));
}

// The body of an accepted answer into fileName, through the temporary file.
int32_t SaveBody(Request* r, const ResponseHead& head, int32_t received, const char* fileName) {
  size_t size = strlen(fileName) + 16;
  char* temporary = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (temporary == nullptr) return Failed(HttpFailureFile);
  TemporaryName(fileName, temporary, size);
  int32_t result = 0;
  HANDLE file = CreateFileA(temporary, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    Output out{file};
    // The body bytes that came with the head are written before the buffer
    // is reused for receiving.
    result = ReceiveBody(&r->reader, head, r->buffer, r->buffer + head.bodyOffset, received - head.bodyOffset,
                         &out);
    if (!CloseHandle(file)) result = 0;
    if (result && !MoveFileExA(temporary, fileName, MOVEFILE_REPLACE_EXISTING)) result = 0;
    if (!result) {
      Fail(HttpFailureFile);
      DeleteFileA(temporary);
    }
  } else {
    Fail(HttpFailureFile);
  }
  Release(temporary);
  return result;
}

// Reads the response head into r->buffer (it may come in pieces) until the
// empty line that ends it; the head parsed, with the bytes received in
// *received.  A head longer than MaxHeadLength, a silent or dripping server
// and a close before the end give a head that is not complete, with the
// cause kept; *closed tells the close.
ResponseHead ReadHead(Request* r, int32_t* received, int32_t timeout, int32_t* closed) {
  ResponseHead head{};
  *received = 0;
  *closed = 0;
  for (;;) {
    int32_t room = MaxHeadLength - *received;
    if (room <= 0) {
      Fail(HttpFailureBroken);
      break;
    }
    int32_t n = ReceiveSome(&r->reader, r->buffer + *received, room, timeout);
    if (n == ReceiveClosed) {
      *closed = 1;
      Fail(HttpFailureBroken);
    }
    if (n <= 0) break;
    *received += n;
    r->buffer[*received] = 0;
    head = ParseResponseHead(r->buffer, *received);
    if (head.complete) break;
  }
  if (*received > 0) KeepStatusLine(r->buffer, *received);
  return head;
}

int32_t Download(const char* url, const char* fileName) {
  Request r;
  int32_t result = 0;
  // The head is read into the same buffer as the body's blocks.
  if (BeginRequest(&r, url, MaxHeadLength > ReadBlockSize ? MaxHeadLength : ReadBlockSize)) {
    int32_t length = FormatGetRequest(r.buffer, r.path, r.host, r.port);
    if (SendAll(r.connection, r.buffer, length, ReadTimeout)) {
      int32_t received = 0, closed = 0;
      ResponseHead head = ReadHead(&r, &received, ReadTimeout, &closed);
      if (head.complete && !head.accepted) Fail(HttpFailureStatus);
      if (head.complete && head.invalid) Fail(HttpFailureBroken);
      if (head.complete && head.accepted && !head.invalid) result = SaveBody(&r, head, received, fileName);
    }
  }
  EndRequest(&r);
  if (result) lastFailure.cause = HttpFailureNone;
  return result;
}

// The header text of a HEAD request, terminated, in header; its length or 0.
int32_t QueryHeader(const char* url, char* header) {
  Request r;
  int32_t length = 0;
  if (BeginRequest(&r, url, MaxHeadLength)) {
    if (SendAll(r.connection, r.buffer, FormatHeadRequest(r.buffer, r.path, r.host), 30)) {
      // Up to the empty line (the server keeps the connection open); a
      // close before it leaves what came.
      int32_t received = 0, closed = 0;
      ResponseHead head = ReadHead(&r, &received, 30, &closed);
      if (head.complete || (closed && received > 0)) {
        length = received < HeaderTextLength ? received : HeaderTextLength;
        memcpy(header, r.buffer, length);
        lastFailure.cause = HttpFailureNone;
      }
    }
  }
  header[length] = 0;
  EndRequest(&r);
  return length;
}

// Argument check of the two requests.
void CheckRequest() {
  if (!NetworkInitialized()) ReportError("InitNeeded", "InitNetwork", "HTTP");
}

// A missing part is the empty string.
char* ReturnSpan(Span span, int32_t mark) {
  return ReturnString(span.start ? span.start : "", span.start ? span.length : 0, mark);
}

}  // namespace

int32_t HttpDownloadFile(const char* url, const char* fileName) {
  CheckRequest();
  if (url == nullptr || fileName == nullptr) return 0;
  return Download(url, fileName);
}

char* HttpQueryHeader(const char* url, int32_t mark) {
  CheckRequest();
  char header[HeaderTextLength + 1];
  int32_t length = url ? QueryHeader(url, header) : 0;
  return ReturnSpan(Span{header, length}, mark);
}

int32_t HttpLastFailure() { return lastFailure.cause; }

char* HttpLastStatusLine(int32_t mark) {
  return ReturnString(lastFailure.statusLine, static_cast<int32_t>(strlen(lastFailure.statusLine)), mark);
}

char* UrlPart(const char* url, int32_t part, int32_t mark) {
  return ReturnSpan(FindUrlPart(url, part), mark);
}

int32_t UrlPort(const char* url) {
  Span port = FindUrlPart(url, PortPart);
  if (port.start == nullptr) return 80;
  char text[32] = {};
  memcpy(text, port.start, port.length < 31 ? port.length : 31);
  return atoi(text);
}

char* UrlUser(const char* url, int32_t mark) { return ReturnSpan(FindUrlUser(url), mark); }

char* UrlPassword(const char* url, int32_t mark) {
  return ReturnSpan(FindUrlPassword(url), mark);
}

char* UrlQuery(const char* url, int32_t mark) { return ReturnSpan(FindUrlQuery(url), mark); }

char* UrlParameter(const char* url, const char* name, int32_t mark) {
  return ReturnSpan(FindUrlParameter(url, name), mark);
}

char* UrlFragment(const char* url, int32_t mark) {
  return ReturnSpan(FindUrlFragment(url), mark);
}

}  // namespace kx
