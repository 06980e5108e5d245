// The FTP client's reply reader over a receive routine of its owner.
#include "runtime/network/ftp_reply.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/network/network.h"

namespace kx {

namespace {

// Moves the bytes not yet split to the front of the buffer.  Only while no
// line of the table is waiting, since lines point into the buffer.
void Compact(FtpReplyReader* r) {
  int rest = r->length - r->split;
  if (r->split > 0 && rest > 0) memmove(r->buffer, r->buffer + r->split, rest);
  r->length = rest;
  r->split = 0;
  r->buffer[rest] = 0;
}

// Splits the complete lines held in the buffer into the table.  A line ends
// at CR, LF or CR LF; empty lines are skipped.  An unterminated rest waits
// for the next read, lines beyond the table wait for the next fill.
void SplitLines(FtpReplyReader* r) {
  char* buffer = r->buffer;
  int position = r->split;
  while (position < r->length && r->unreadLines < FtpReplyLines) {
    int end = position;
    while (end < r->length && buffer[end] != '\r' && buffer[end] != '\n') end++;
    if (end == r->length) break;
    int next = end + 1;
    if (buffer[end] == '\r' && next < r->length && buffer[next] == '\n') next++;
    buffer[end] = 0;
    if (r->skipLineRest) {
      r->skipLineRest = 0;  // the tail of a line that was cut
    } else if (end > position) {
      r->lines[r->unreadLines++] = buffer + position;
    }
    position = next;
  }
  r->split = position;
}

// Fills the line table: reads until at least one complete line is there and
// the last one does not announce a continuation.  0 if nothing could be
// read.  Once the receive routine has given nothing, the current reply gets
// no further reads: its time is used up (or its connection gone).
int FillLines(FtpReplyReader* r) {
  r->unreadLines = 0;
  r->nextLine = 0;
  Compact(r);
  for (;;) {
    SplitLines(r);
    int count = r->unreadLines;
    if (count == FtpReplyLines) return 1;
    if (count > 0 && !IsContinuation(r->lines[count - 1])) return 1;
    if (count == 0) Compact(r);
    if (r->length >= FtpReplyBufferSize - 1) {
      if (count > 0) return 1;
      // One line larger than the buffer: hand out its start, drop the rest.
      r->buffer[r->length] = 0;
      r->lines[r->unreadLines++] = r->buffer;
      r->split = r->length;
      r->skipLineRest = 1;
      return 1;
    }
    if (r->timedOut) return count > 0;
    if (r->replyBytes > FtpReplyLimit) {
      r->timedOut = 1;
      r->failure = FtpReplyTooLong;
      return 0;
    }
    int got = r->receive(r->context, r->buffer + r->length, FtpReplyBufferSize - 1 - r->length, r->replyStart);
    if (got <= 0) {
      r->timedOut = 1;
      r->failure = got == 0 ? FtpReplyTimeout : FtpReplyLost;
      return count > 0;
    }
    r->replyBytes += got;
    r->length += got;
    r->buffer[r->length] = 0;
  }
}

int HasCode(const char* line) {
  return strlen(line) >= 3 && isdigit(static_cast<unsigned char>(line[0])) &&
         isdigit(static_cast<unsigned char>(line[1])) && isdigit(static_cast<unsigned char>(line[2]));
}

// The reply's final line as the last reply, without the blanks at its end.
void KeepLine(FtpReplyReader* r, const char* line) {
  r->lastCode = HasCode(line) ? (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0') : FtpReplyLost;
  snprintf(r->lastText, sizeof r->lastText, "%s", line);
  size_t length = strlen(r->lastText);
  while (length > 0 && isspace(static_cast<unsigned char>(r->lastText[length - 1]))) r->lastText[--length] = 0;
}

// A reply that could not be read whole: why, as the last reply.
void KeepFailure(FtpReplyReader* r) {
  SetLastReply(r, r->failure == FtpReplyNone ? FtpReplyTimeout : r->failure);
}

}  // namespace

void SetLastReply(FtpReplyReader* reader, int32_t code) {
  reader->lastCode = code;
  reader->lastText[0] = 0;
}

int IsContinuation(const char* line) { return strlen(line) >= 4 && line[3] == '-'; }

int StartReplyReader(FtpReplyReader* reader, FtpReceive receive, void* context) {
  memset(reader, 0, sizeof *reader);
  reader->buffer = static_cast<char*>(calloc(FtpReplyBufferSize, 1));
  reader->lines = static_cast<char**>(calloc(FtpReplyLines, sizeof(char*)));
  reader->receive = receive;
  reader->context = context;
  if (reader->buffer && reader->lines) return 1;
  EndReplyReader(reader);
  return 0;
}

void EndReplyReader(FtpReplyReader* reader) {
  free(reader->buffer);
  free(reader->lines);
  reader->buffer = nullptr;
  reader->lines = nullptr;
  reader->unreadLines = 0;
}

void BeginReply(FtpReplyReader* reader) {
  reader->replyStart = NetworkSeconds();
  reader->timedOut = 0;
  reader->failure = FtpReplyNone;
  reader->replyBytes = 0;
}

int NextReplyLine(FtpReplyReader* reader, char* line) {
  if (reader->unreadLines <= 0 && !FillLines(reader)) return 0;
  const char* source = reader->lines[reader->nextLine++];
  reader->unreadLines--;
  size_t length = strlen(source);
  if (length > FtpLineSize - 1) length = FtpLineSize - 1;
  memcpy(line, source, length);
  line[length] = 0;
  return 1;
}

int ExpectReply(FtpReplyReader* reader, const char* codes, char* copy, int copySize) {
  char line[FtpLineSize];
  int accepted = 0;
  BeginReply(reader);
  for (;;) {
    if (!NextReplyLine(reader, line) || reader->failure == FtpReplyTooLong) {
      KeepFailure(reader);
      return 0;
    }
    if (HasCode(line)) {
      char code[4] = {line[0], line[1], line[2], 0};
      if (strstr(codes, code)) {
        accepted = 1;
        if (copy && copySize > 0) snprintf(copy, copySize, "%s", line);
      }
    }
    if (!IsContinuation(line)) {
      KeepLine(reader, line);
      return accepted;
    }
  }
}

void SkipReply(FtpReplyReader* reader) {
  char line[FtpLineSize];
  BeginReply(reader);
  for (;;) {
    if (!NextReplyLine(reader, line) || reader->failure == FtpReplyTooLong) {
      KeepFailure(reader);
      return;
    }
    if (!IsContinuation(line)) {
      KeepLine(reader, line);
      return;
    }
  }
}

}  // namespace kx
