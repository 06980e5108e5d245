#include "runtime/network/http.h"

#include <windows.h>
#include <winsock.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/strings.h"
#include "runtime/debugger/reports.h"
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

ResponseHead ParseResponseHead(const char* text, int32_t length) {
  ResponseHead head{0, 0, -1, 0, 0};
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
        head.accepted = codeEnds && (strcmp(code, "200") == 0 || strcmp(code, "302") == 0);
      }
      first = false;
    } else if (n == 0) {
      head.complete = 1;
      head.bodyOffset = static_cast<int32_t>(lf + 1 - text);
      return head;
    } else if (n >= 18 && EqualNoCase(line, "transfer-encoding:", 18)) {
      if (ContainsNoCase(line + 18, lineEnd, "chunked")) head.chunked = 1;
    } else if (n >= 15 && EqualNoCase(line, "content-length:", 15)) {
      char value[32] = {};
      size_t valueLength = n - 15 < 31 ? n - 15 : 31;
      memcpy(value, line + 15, valueLength);
      int v = atoi(value);  // skips the blank(s) after the colon
      head.contentLength = v < 0 ? -1 : v;
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
      case ChunkDataEnd: {
        char c = *p++;
        if (c == '\n') {
          d->state = ChunkSizeLine;
        } else if (c != '\r') {
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

int32_t SendAll(NetworkConnection* connection, const char* bytes, int32_t length,
                int32_t timeout) {
  // Time-outs run on the network layer's whole-second clock: one of N ends
  // after N to N+1 real seconds, so a short pause at a second's edge is never
  // taken for the end of a body.
  int32_t start = NetworkSeconds();
  while (!NetworkTimedOut(start, timeout)) {
    int32_t sent = SendData(connection, bytes, length);
    if (sent < 0) {
      Sleep(50);
      continue;
    }
    bytes += sent;
    length -= sent;
    if (length <= 0) return 1;
  }
  return 0;
}

// The receiving side of a request.  ready counts bytes the socket announced
// and that are not read yet: reading them cannot block, so pieces are read
// without asking the socket again until they are used up.
struct Reader {
  NetworkConnection* connection;
  int32_t ready;
};

// One read of at most size bytes once data is there; 0 when nothing came in
// time, the peer closed or the read failed.  The poll pauses up to 100 ms
// between looks, but wakes as soon as bytes arrive.
int32_t ReceiveSome(Reader* reader, char* buffer, int32_t size, int32_t timeout) {
  uintptr_t socket = ConnectionSocket(reader->connection);
  if (reader->ready <= 0) {
    int32_t start = NetworkSeconds();
    for (;;) {
      // Bytes are bytes here: a leading "KXMGSFLE" is body data, not the
      // connection layer's file marker.
      reader->ready = AvailableBytes(socket);
      if (reader->ready > 0) break;
      if (NetworkTimedOut(start, timeout)) return 0;
      // Readable with nothing to read: the peer closed (or reset) the
      // connection, so nothing more can come and there is no point in
      // waiting for the time-out.
      if (WaitSocketReadable(socket, 100) > 0 && AvailableBytes(socket) == 0) return 0;
    }
  }
  int32_t received = ReceiveData(reader->connection, buffer, size < reader->ready ? size : reader->ready);
  if (received <= 0) {
    reader->ready = 0;
    return 0;
  }
  reader->ready -= received;
  return received;
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

// Host, port, path, the connection and a buffer of bufferSize bytes (at
// least the request's size).  0 on failure.
int32_t BeginRequest(Request* r, const char* url, int32_t bufferSize) {
  memset(r, 0, sizeof *r);
  Span host = FindUrlPart(url, HostPart);
  if (host.start == nullptr) return 0;
  r->host = CopyOf(host);
  r->path = CopyOf(FindUrlPart(url, PathAndQueryPart));
  r->port = UrlPort(url);
  if (r->host == nullptr || r->path == nullptr) return 0;
  int32_t size = GetRequestSize(r->host, r->path);
  if (size < bufferSize) size = bufferSize;
  r->buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
  if (r->buffer == nullptr) return 0;
  r->connection = OpenTcpConnection(r->host, r->port & 0xFFFF);
  r->reader = Reader{r->connection, 0};
  return r->connection != nullptr;
}

struct Output {
  HANDLE file;
};

int32_t WriteToFile(void* context, const char* bytes, int32_t count) {
  if (count <= 0) return 1;
  DWORD written = 0;
  HANDLE file = static_cast<Output*>(context)->file;
  return WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) &&
         written == static_cast<DWORD>(count);
}

// Bodies are received and written in pieces of this size.
constexpr int32_t PieceSize = 1024;
// The longest header text a header query returns.
constexpr int32_t HeaderTextLength = 1023;

int32_t ReceiveBody(Reader* reader, const ResponseHead& head, char* buffer,
                    const char* available, int32_t availableCount, Output* out) {
  if (head.contentLength >= 0) {
    int32_t remaining = head.contentLength;
    int32_t n = availableCount < remaining ? availableCount : remaining;
    if (!WriteToFile(out, available, n)) return 0;
    remaining -= n;
    while (remaining > 0) {
      n = ReceiveSome(reader, buffer, remaining < PieceSize ? remaining : PieceSize, 10);
      if (n <= 0) break;
      if (!WriteToFile(out, buffer, n)) return 0;
      remaining -= n;
    }
    return remaining == 0;  // a body cut short is not the file
  }
  if (head.chunked) {
    ChunkDecoder decoder;
    StartChunkDecoder(&decoder);
    if (!FeedChunkDecoder(&decoder, available, availableCount, WriteToFile, out)) return 0;
    while (decoder.state != ChunkDone) {
      int32_t n = ReceiveSome(reader, buffer, PieceSize, 10);
      if (n <= 0) return 0;  // ended before the last chunk
      if (!FeedChunkDecoder(&decoder, buffer, n, WriteToFile, out)) return 0;
    }
    return 1;
  }
  // No length: the body runs until the server stops sending.
  if (!WriteToFile(out, available, availableCount)) return 0;
  for (;;) {
    int32_t n = ReceiveSome(reader, buffer, PieceSize, 1);
    if (n <= 0) return 1;
    if (!WriteToFile(out, buffer, n)) return 0;
  }
}

int32_t Download(const char* url, const char* fileName) {
  Request r;
  if (!BeginRequest(&r, url, MaxHeadLength)) {
    EndRequest(&r);
    return 0;
  }
  int32_t result = 0;
  int32_t length = FormatGetRequest(r.buffer, r.path, r.host, r.port);
  if (SendAll(r.connection, r.buffer, length, 10)) {
    // Read until the empty line that ends the head; it may come in pieces.
    int32_t received = 0;
    ResponseHead head{};
    for (;;) {
      int32_t room = MaxHeadLength - received;
      if (room <= 0) break;
      int32_t n = ReceiveSome(&r.reader, r.buffer + received, room < PieceSize ? room : PieceSize, 10);
      if (n <= 0) break;
      received += n;
      r.buffer[received] = 0;
      head = ParseResponseHead(r.buffer, received);
      if (head.complete) break;
    }
    if (head.complete && head.accepted) {
      HANDLE file = CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        Output out{file};
        // The body bytes that came with the head are written before the
        // buffer is reused for receiving.
        result = ReceiveBody(&r.reader, head, r.buffer, r.buffer + head.bodyOffset,
                             received - head.bodyOffset, &out);
        if (!CloseHandle(file)) result = 0;
      }
    }
  }
  EndRequest(&r);
  return result;
}

// The header text of a HEAD request, terminated, in header; its length or 0.
int32_t QueryHeader(const char* url, char* header) {
  Request r;
  int32_t received = 0;
  if (BeginRequest(&r, url, 0)) {
    int32_t length = FormatHeadRequest(r.buffer, r.path, r.host);
    if (SendAll(r.connection, r.buffer, length, 30)) {
      // Up to the empty line, or as much of it as fits.
      while (received < HeaderTextLength) {
        int32_t n = ReceiveSome(&r.reader, header + received, HeaderTextLength - received, 30);
        if (n <= 0) break;
        received += n;
        header[received] = 0;
        // The same end as a download's head: bare line feeds count, and a
        // zero byte in a header line does not hide the end.
        if (ParseResponseHead(header, received).complete) break;
      }
    }
  }
  header[received] = 0;
  EndRequest(&r);
  return received;
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
  if (url == nullptr) return 0;
  return Download(url, fileName);
}

char* HttpQueryHeader(const char* url, int32_t mark) {
  CheckRequest();
  char header[HeaderTextLength + 1];
  int32_t length = url ? QueryHeader(url, header) : 0;
  return ReturnSpan(Span{header, length}, mark);
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
