// The FTP client's reply reader: the line layer under the protocol's steps.
// It gathers the bytes of the control connection in a buffer, splits them
// into lines and hands out whole replies (a reply's lines carry a "-" after
// their three-digit code on all but the last one).
//
// The reader does not know sockets: it asks a receive routine of its owner
// for bytes, so that tests can feed it raw bytes in any cut.
#pragma once

#include <cstdint>

namespace kx {

constexpr int FtpReplyBufferSize = 4096;
constexpr int FtpReplyLines = 128;
constexpr int FtpLineSize = 2048;
// One reply may take at most this many bytes: a server that sends more (an
// endless multi-line reply, a line without end) fails the reply instead of
// holding the client.
constexpr int FtpReplyLimit = 65536;
// Room for the text of the last reply kept (its final line, cut).
constexpr int FtpReplyTextSize = 256;

// The last reply's code besides the server's three digits.
constexpr int32_t FtpReplyNone = 0;       // no reply since the last command began
constexpr int32_t FtpReplyTimeout = -1;   // nothing (or not all) came in time
constexpr int32_t FtpReplyRefused = -2;   // the connection was refused
constexpr int32_t FtpReplyLost = -3;      // the connection closed or failed
constexpr int32_t FtpReplyTooLong = -4;   // the reply passed FtpReplyLimit bytes

// Receives at most size bytes into buffer, waiting until the time of the
// reply that began at start (a NetworkSeconds reading) runs out.  Returns
// the count; 0 when nothing came in time; below 0 when the peer closed or
// the read failed.
using FtpReceive = int (*)(void* context, char* buffer, int size, int32_t start);

struct FtpReplyReader {
  char* buffer;            // FtpReplyBufferSize bytes
  char** lines;            // FtpReplyLines pointers into buffer
  int32_t unreadLines;     // lines of the last fill not yet handed out
  int32_t nextLine;
  int32_t length;          // bytes held in buffer
  int32_t split;           // how far they are split into lines
  int32_t skipLineRest;    // 1 while the rest of an over-long line is dropped
  int32_t replyStart;      // clock reading when the current reply began
  int32_t timedOut;        // 1 once the receive routine gave nothing
  int32_t failure;         // the receive routine's result that ended the reply
  int32_t replyBytes;      // bytes received since the reply began
  FtpReceive receive;
  void* context;
  // The last reply: the code of its final line (or one of the FtpReply
  // values) and that line, cut to FtpReplyTextSize - 1 characters.
  int32_t lastCode;
  char lastText[FtpReplyTextSize];
};

// Allocates the buffers: 1 on success, 0 (nothing allocated) on failure.
int StartReplyReader(FtpReplyReader* reader, FtpReceive receive, void* context);
void EndReplyReader(FtpReplyReader* reader);

// Starts the clock of a new reply: all the reads for its lines together get
// one time-out, however many lines and reads it takes.
void BeginReply(FtpReplyReader* reader);
// Next reply line, cut to FtpLineSize - 1 characters, into line (at least
// FtpLineSize bytes).  0 when no line could be read.
int NextReplyLine(FtpReplyReader* reader, char* line);

// Takes the lines of one reply; 1 if one of them has a code listed in codes
// ("331", "125;150"), whose line is then copied into copy (cut to its size).
// A reply that cannot be read whole (no time left, the connection gone, more
// than FtpReplyLimit bytes) counts as not accepted.  Either way the reply is
// kept as the last one (lastCode, lastText).
int ExpectReply(FtpReplyReader* reader, const char* codes, char* copy = nullptr, int copySize = 0);
// Takes the lines of one reply without looking at its code (kept as the
// last one as well).
void SkipReply(FtpReplyReader* reader);
// Keeps a cause without a reply (FtpReplyRefused, FtpReplyLost ...) or
// forgets the last reply (FtpReplyNone) as the last one.
void SetLastReply(FtpReplyReader* reader, int32_t code);

// 1 when the line announces that the reply goes on ("-" after the code).
int IsContinuation(const char* line);

}  // namespace kx
