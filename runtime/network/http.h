// HTTP/1.1 client over plain TCP connections: GET of a URL into a file, the
// raw response header of a HEAD request, and the parts of a URL.
//
// No objects: every request opens its own connection and closes it before
// returning, so several threads may download at once.
#pragma once

#include <cstdint>

namespace kx {

// GET url; the body is written to fileName.  1 when the whole body arrived
// and was written, 0 on any failure.  Only status 200 succeeds (a redirect's
// body is not the file).  The body goes to a temporary file beside the
// target, which replaces the target only on success: a failed download
// leaves no file behind and an existing file untouched.  A URL holding a
// control character or naming a port above 65535 is refused unsent.
int32_t HttpDownloadFile(const char* url, const char* fileName);

// The server's response to a HEAD request: status line and header lines with
// their CR LF as received, at most 1023 bytes; "" on any failure.  Built at
// mark (string-return rule), returns base + mark.
char* HttpQueryHeader(const char* url, int32_t mark);

// Why the calling thread's last request (either of the two above) failed;
// HttpFailureNone after one that succeeded.  Every request fails when the
// server delivers less than 1 KB in 30 s, pauses longer than its read
// time-out, sends a head longer than 64 KB, or the program asks the thread
// to stop (ThreadStopRequested).
constexpr int32_t HttpFailureNone = 0;
constexpr int32_t HttpFailureTimeOut = 1;  // the server did not answer in time, or dripped
constexpr int32_t HttpFailureRefused = 2;  // the connection was refused
constexpr int32_t HttpFailureStatus = 3;   // the server answered, but not with 200
constexpr int32_t HttpFailureBroken = 4;   // reset, cut short, framing or head not to be trusted
constexpr int32_t HttpFailureStopped = 5;  // the thread was asked to stop
constexpr int32_t HttpFailureFile = 6;     // the local file could not be written
constexpr int32_t HttpFailureUrl = 7;      // no request could be made of the URL
int32_t HttpLastFailure();
// The status line of the calling thread's last answer (without CR LF, at
// most StatusLineLength bytes), "" when none came.  Built at mark.
char* HttpLastStatusLine(int32_t mark);

// URL parts, each built at mark; "" when the part is missing or empty.
// part 0 host, 1 port text, 2 path without query, 3 path with everything after.
char* UrlPart(const char* url, int32_t part, int32_t mark);
// The port text as a number, 80 when the URL names none.
int32_t UrlPort(const char* url);
char* UrlUser(const char* url, int32_t mark);
char* UrlPassword(const char* url, int32_t mark);
char* UrlQuery(const char* url, int32_t mark);
char* UrlParameter(const char* url, const char* name, int32_t mark);
char* UrlFragment(const char* url, int32_t mark);

// The pieces of the client that work on bytes only; the commands above are
// built from them, and tests drive them directly.
namespace http {

// A stretch of a URL: start == nullptr (or length 0) when it is missing.
struct Span {
  const char* start;
  int32_t length;
};

enum UrlPartNumber : int32_t { HostPart = 0, PortPart = 1, PathPart = 2, PathAndQueryPart = 3 };

Span FindUrlPart(const char* url, int32_t part);
Span FindUrlUser(const char* url);
Span FindUrlPassword(const char* url);
Span FindUrlQuery(const char* url);
Span FindUrlParameter(const char* url, const char* name);
Span FindUrlFragment(const char* url);

// Request texts.  The buffer must hold GetRequestSize(...) bytes; returns the
// length written (without the terminator).
int32_t GetRequestSize(const char* host, const char* path);
int32_t FormatGetRequest(char* buffer, const char* path, const char* host, int32_t port);
int32_t FormatHeadRequest(char* buffer, const char* path, const char* host);

// Longest response head (status line and header lines) a request accepts.
constexpr int32_t MaxHeadLength = 64 * 1024;
// Bytes asked of the socket by one read of a body: one buffer per request,
// whatever the body's size.  The file gets them in pieces of at most 1024.
constexpr int32_t ReadBlockSize = 64 * 1024;
// Longest status line kept for HttpLastStatusLine.
constexpr int32_t StatusLineLength = 127;

struct ResponseHead {
  int32_t complete;       // 1 once the empty line ending the head was seen
  int32_t accepted;       // status 200
  int32_t invalid;        // 1: the body's framing cannot be trusted (a length
                          // that is no decimal number within 63 bits, or two
                          // different lengths)
  int32_t chunked;        // 1 for "Transfer-Encoding: ... chunked"; wins over
                          // the length
  int64_t contentLength;  // -1 = not given
  int32_t bodyOffset;     // first body byte, when complete
};

// Parses the response head at the start of text[0..length).  A head that has
// not ended yet gives complete == 0 (read more and parse again).
ResponseHead ParseResponseHead(const char* text, int32_t length);

// Incremental decoder of a chunked body.
using BodyWriter = int32_t (*)(void* context, const char* bytes, int32_t count);  // 1 = ok

struct ChunkDecoder {
  int32_t state;        // ChunkState
  uint32_t remaining;   // data bytes left in the current chunk
  int32_t lineLength;
  char line[128];       // the size line being read
};

enum ChunkState : int32_t {
  ChunkSizeLine = 0,
  ChunkData = 1,
  ChunkDataEnd = 2,  // the CR after a chunk's data
  ChunkDone = 3,     // the last (0-size) chunk was seen
  ChunkError = 4,
  ChunkDataEndLf = 5,  // the LF after that CR
};

void StartChunkDecoder(ChunkDecoder* decoder);
// Feeds received bytes; the data bytes go to write.  Returns 0 on a malformed
// size line, chunk data not followed by exactly CR LF, or a failed write
// (state ChunkError), else 1.  Bytes after the last chunk are ignored.
int32_t FeedChunkDecoder(ChunkDecoder* decoder, const char* bytes, int32_t count,
                         BodyWriter write, void* context);

}  // namespace http
}  // namespace kx
