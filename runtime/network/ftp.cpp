// FTP upload client over the socket layer.
#include "runtime/network/ftp.h"

#include <windows.h>
#include <winsock.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/debugger/checks.h"

namespace kx {

namespace {

constexpr int ControlTimeout = 30;    // seconds
constexpr int DataTimeout = 5000;     // seconds
constexpr int CommandSize = 1024;
constexpr int BlockSize = 4096;
constexpr int HighestNumber = 9999;

ObjectTable* ftpTable = nullptr;

// ---- checks ----------------------------------------------------------------

void CheckInit() {
  if (!NetworkInitialized()) ReportError("InitNeeded", "InitNetwork()", "FTP");
}

void CheckObject(intptr_t number) {
  CheckInit();
  CheckObject(ftpTable, number);
}

FtpObject* Find(intptr_t number) {
  return ftpTable ? static_cast<FtpObject*>(FindObject(ftpTable, number)) : nullptr;
}

void SetProgress(FtpObject* ftp, int32_t value) { __atomic_store_n(&ftp->progress, value, __ATOMIC_RELAXED); }

// ---- reply reader ------------------------------------------------------------

int IsContinuation(const char* line) { return strlen(line) >= 4 && line[3] == '-'; }

// Moves the bytes not yet split to the front of the buffer.  Only while no
// line of the table is waiting, since lines point into the buffer.
void Compact(FtpObject* ftp) {
  int rest = ftp->replyLength - ftp->replySplit;
  if (ftp->replySplit > 0 && rest > 0) memmove(ftp->replyBuffer, ftp->replyBuffer + ftp->replySplit, rest);
  ftp->replyLength = rest;
  ftp->replySplit = 0;
  ftp->replyBuffer[rest] = 0;
}

// Splits the complete lines held in the buffer into the table.  A line ends
// at CR, LF or CR LF; empty lines are skipped.  An unterminated rest waits
// for the next read, lines beyond the table wait for the next fill.
void SplitLines(FtpObject* ftp) {
  char* buffer = ftp->replyBuffer;
  int position = ftp->replySplit;
  while (position < ftp->replyLength && ftp->unreadLines < FtpReplyLines) {
    int end = position;
    while (end < ftp->replyLength && buffer[end] != '\r' && buffer[end] != '\n') end++;
    if (end == ftp->replyLength) break;
    int next = end + 1;
    if (buffer[end] == '\r' && next < ftp->replyLength && buffer[next] == '\n') next++;
    buffer[end] = 0;
    if (ftp->skipLineRest) {
      ftp->skipLineRest = 0;  // the tail of a line that was cut
    } else if (end > position) {
      ftp->lines[ftp->unreadLines++] = buffer + position;
    }
    position = next;
  }
  ftp->replySplit = position;
}

// Waits until the control socket has data, at most until the control
// time-out counted from start has run out (the same clock as every other
// timed loop, looked at once a second).
int WaitReadable(FtpObject* ftp, int32_t start) {
  uintptr_t s = ConnectionSocket(ftp->control);
  while (!NetworkTimedOut(start, ftp->timeout)) {
    int ready = WaitSocketReadable(s, 1000);
    if (ready != 0) return ready > 0;
  }
  return 0;
}

// Fills the line table: reads until at least one complete line is there and
// the last one does not announce a continuation.  0 if nothing could be read.
int FillLines(FtpObject* ftp) {
  ftp->unreadLines = 0;
  ftp->nextLine = 0;
  Compact(ftp);
  int32_t start = NetworkSeconds();
  for (;;) {
    SplitLines(ftp);
    int count = ftp->unreadLines;
    if (count == FtpReplyLines) return 1;
    if (count > 0 && !IsContinuation(ftp->lines[count - 1])) return 1;
    if (count == 0) Compact(ftp);
    if (ftp->replyLength >= FtpReplyBufferSize - 1) {
      if (count > 0) return 1;
      // One line larger than the buffer: hand out its start, drop the rest.
      ftp->replyBuffer[ftp->replyLength] = 0;
      ftp->lines[ftp->unreadLines++] = ftp->replyBuffer;
      ftp->replySplit = ftp->replyLength;
      ftp->skipLineRest = 1;
      return 1;
    }
    if (!WaitReadable(ftp, start)) return count > 0;
    int got = ReceiveData(ftp->control, ftp->replyBuffer + ftp->replyLength,
                          FtpReplyBufferSize - 1 - ftp->replyLength);
    if (got <= 0) return count > 0;
    ftp->replyLength += got;
    ftp->replyBuffer[ftp->replyLength] = 0;
  }
}

// Next reply line, cut to FtpLineSize - 1 characters.
int NextLine(FtpObject* ftp, char* line) {
  if (ftp->unreadLines <= 0 && !FillLines(ftp)) return 0;
  const char* source = ftp->lines[ftp->nextLine++];
  ftp->unreadLines--;
  size_t length = strlen(source);
  if (length > FtpLineSize - 1) length = FtpLineSize - 1;
  memcpy(line, source, length);
  line[length] = 0;
  return 1;
}

// Takes the lines of one reply; 1 if one of them has a code listed in codes
// ("331", "125;150"), whose line is then copied into copy.
int ExpectReply(FtpObject* ftp, const char* codes, char* copy = nullptr, int copySize = 0) {
  char line[FtpLineSize];
  int accepted = 0;
  for (;;) {
    if (!NextLine(ftp, line)) return 0;
    if (strlen(line) >= 3 && isdigit(static_cast<unsigned char>(line[0])) &&
        isdigit(static_cast<unsigned char>(line[1])) && isdigit(static_cast<unsigned char>(line[2]))) {
      char code[4] = {line[0], line[1], line[2], 0};
      if (strstr(codes, code)) {
        accepted = 1;
        if (copy && copySize > 0) {
          snprintf(copy, copySize, "%s", line);
        }
      }
    }
    if (!IsContinuation(line)) return accepted;
  }
}

void SkipReply(FtpObject* ftp) {
  char line[FtpLineSize];
  while (NextLine(ftp, line) && IsContinuation(line)) {
  }
}

// One command line "word argument CR LF", sent whole within the control
// time-out.  An argument holding CR or LF would smuggle in a second command,
// and one too long for the line would lose its end: both are refused.
int SendCommand(FtpObject* ftp, const char* word, const char* argument) {
  if (!argument) argument = "";
  if (strpbrk(argument, "\r\n")) return 0;
  char line[CommandSize];
  int length = snprintf(line, sizeof line, "%s%s\r\n", word, argument);
  if (length < 0 || length >= static_cast<int>(sizeof line)) return 0;
  return SendWithTimeout(ConnectionSocket(ftp->control), line, length, ftp->timeout);
}

int Command(FtpObject* ftp, const char* word, const char* argument, const char* codes, char* copy = nullptr,
            int copySize = 0) {
  return SendCommand(ftp, word, argument) && ExpectReply(ftp, codes, copy, copySize);
}

// ---- object ------------------------------------------------------------------

void ReleaseFtp(intptr_t number) {
  FtpObject* ftp = Find(number);
  if (!ftp) return;
  if (ftp->control) CloseConnection(ftp->control);
  ftp->control = nullptr;
  if (ftp->activeServer) CloseServer(ftp->activeServer);
  ftp->activeServer = 0;
  free(ftp->replyBuffer);
  free(ftp->lines);
  ftp->replyBuffer = nullptr;
  ftp->lines = nullptr;
  FreeObject(ftpTable, number);
}

// ---- data channel ------------------------------------------------------------

int OpenPassiveChannel(FtpObject* ftp, NetworkConnection** data) {
  char reply[CommandSize];
  if (!Command(ftp, "PASV", nullptr, "227", reply, sizeof reply)) return 0;
  char host[16];
  int port = 0;
  if (!ParsePassiveReply(reply, host, sizeof host, &port)) return 0;
  *data = OpenTcpConnection(host, port);
  return *data != nullptr;
}

int OpenActiveServer(FtpObject* ftp) {
  ftp->activeServer = CreateTcpServer(DynamicNumber, 0);
  if (!ftp->activeServer) return 0;
  int port = ServerPort(ftp->activeServer);
  // Announce the address the control connection leaves from: the server
  // reaches us there (127.0.0.1 on loopback).
  sockaddr_in local;
  int size = sizeof local;
  if (port == 0 ||
      getsockname(ConnectionSocket(ftp->control), reinterpret_cast<sockaddr*>(&local), &size) != 0)
    return 0;
  const unsigned char* a = reinterpret_cast<const unsigned char*>(&local.sin_addr.s_addr);
  char argument[64];
  snprintf(argument, sizeof argument, "%d,%d,%d,%d,%d,%d", a[0], a[1], a[2], a[3], port / 256, port % 256);
  return Command(ftp, "PORT ", argument, "200");
}

// Active mode: the server's connection to our data port, within the control
// time-out.
NetworkConnection* AcceptActive(FtpObject* ftp) {
  int32_t start = NetworkSeconds();
  while (!NetworkTimedOut(start, ftp->timeout)) {
    int event = ServerEvent(ftp->activeServer);
    if (event == NetworkEventConnect) return EventClient();
    if (event == NetworkEventNone) Sleep(100);
  }
  return nullptr;
}

int SendFile(FtpObject* ftp, HANDLE file, NetworkConnection* data) {
  char block[BlockSize];
  int64_t sent = 0;
  SetProgress(ftp, 0);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, block, sizeof block, &got, nullptr)) return 0;
    if (got == 0) return 1;
    if (!SendWithTimeout(ConnectionSocket(data), block, static_cast<int>(got), DataTimeout)) return 0;
    sent += got;
    // The counter is 32-bit: past 2 GiB it stays at its highest value rather
    // than wrapping into the negative status values.
    SetProgress(ftp, sent > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sent));
  }
}

}  // namespace

// ---- commands ----------------------------------------------------------------

void StartFtp() {
  if (!ftpTable) ftpTable = CreateObjectTable(sizeof(FtpObject), 16, ReleaseFtp, "#Ftp", HighestNumber);
}

void EndFtp() {
  if (ftpTable) FreeAllObjects(ftpTable);
}

int ParsePassiveReply(const char* line, char* host, int hostSize, int* port) {
  if (!line || strlen(line) <= 3) return 0;
  int numbers[6];
  int found = 0;
  const char* p = line + 3;
  while (*p && found < 6) {
    if (!isdigit(static_cast<unsigned char>(*p))) {
      p++;
      continue;
    }
    int value = 0;
    while (isdigit(static_cast<unsigned char>(*p))) {
      if (value <= 255) value = value * 10 + (*p - '0');
      p++;
    }
    if (value > 255) return 0;
    numbers[found++] = value;
  }
  if (found < 6) return 0;
  snprintf(host, hostSize, "%d.%d.%d.%d", numbers[0], numbers[1], numbers[2], numbers[3]);
  *port = numbers[4] * 256 + numbers[5];
  return 1;
}

intptr_t OpenFtp(intptr_t number, const char* server, const char* user, const char* password, int passive,
                 int port) {
  CheckInit();
  CheckObjectNumber(ftpTable, number);
  if (port < 0 || port > 65535) ReportError("InvalidPort");
  if (!ftpTable) return 0;

  FtpObject* ftp = static_cast<FtpObject*>(AllocateObject(ftpTable, number));
  if (!ftp) return 0;
  intptr_t self = number == DynamicNumber ? DynamicIdentity(ftpTable, ftp) : number;

  ftp->control = OpenTcpConnection(server, port);
  if (!ftp->control) {
    FreeObject(ftpTable, self);
    return 0;
  }
  ftp->passive = passive;
  ftp->timeout = ControlTimeout;
  ftp->replyBuffer = static_cast<char*>(calloc(FtpReplyBufferSize, 1));
  ftp->lines = static_cast<char**>(calloc(FtpReplyLines, sizeof(char*)));
  ftp->unreadLines = 0;
  SetProgress(ftp, 0);
  if (!ftp->replyBuffer || !ftp->lines) {
    ReleaseFtp(self);
    return 0;
  }

  SkipReply(ftp);  // the greeting
  // A server that lets the user in without a password (230 to USER) is
  // refused along with every other unexpected answer.
  if (!Command(ftp, "USER ", user, "331") || !Command(ftp, "PASS ", password, "230")) {
    ReleaseFtp(self);
    return 0;
  }
  return number == DynamicNumber ? self : reinterpret_cast<intptr_t>(ftp);
}

intptr_t FtpIsOpen(intptr_t number) {
  CheckObject(number);
  return reinterpret_cast<intptr_t>(Find(number));
}

void CloseFtp(intptr_t number) {
  CheckObject(number);
  ReleaseFtp(number);
}

int FtpChangeDirectory(intptr_t number, const char* directory) {
  CheckObject(number);
  FtpObject* ftp = Find(number);
  if (!ftp || !directory) return 0;
  // RFC 959 answers CDUP with 200, most servers with 250.
  if (strcmp(directory, "..") == 0) return Command(ftp, "CDUP", nullptr, "200;250");
  return Command(ftp, "CWD ", directory, "250");
}

int FtpMakeDirectory(intptr_t number, const char* name) {
  CheckObject(number);
  FtpObject* ftp = Find(number);
  if (!ftp || !name) return 0;
  return Command(ftp, "MKD ", name, "257");
}

int FtpUploadFile(intptr_t number, const char* localFile, const char* remoteFile) {
  CheckObject(number);
  FtpObject* ftp = Find(number);
  if (!ftp || !localFile || !remoteFile) return 0;

  SetProgress(ftp, FtpProgressSetup);
  HANDLE file = CreateFileA(localFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetProgress(ftp, FtpProgressFailed);
    return 0;
  }

  int success = 0;
  int storeAccepted = 0;
  NetworkConnection* data = nullptr;
  int channelReady = Command(ftp, "TYPE ", "I", "200") &&
                     (ftp->passive ? OpenPassiveChannel(ftp, &data) : OpenActiveServer(ftp));
  if (channelReady) {
    if (Command(ftp, "STOR ", remoteFile, "125;150")) {
      // From here on the server owes a final reply, even when its data
      // connection never comes: left unread it would answer the next command.
      storeAccepted = 1;
      if (!ftp->passive) data = AcceptActive(ftp);
      if (data) {
        if (!ftp->passive) {
          // Sending nothing succeeds once the accepted socket is writable.
          int32_t start = NetworkSeconds();
          while (send(ConnectionSocket(data), "", 0, 0) < 0 && !NetworkTimedOut(start, DataTimeout)) Sleep(50);
        }
        success = SendFile(ftp, file, data);
      }
    }
  }
  // Closing the data channel ends the file on the server.  In active mode
  // the data connection belongs to the server and goes with it.
  if (ftp->passive) {
    if (data) CloseConnection(data);
  } else if (ftp->activeServer) {
    CloseServer(ftp->activeServer);
    ftp->activeServer = 0;
  }
  data = nullptr;
  // The final reply tells whether the server stored the whole file.
  if (storeAccepted && !ExpectReply(ftp, "226;250")) success = 0;

  CloseHandle(file);
  SetProgress(ftp, success ? FtpProgressDone : FtpProgressFailed);
  return success;
}

int32_t FtpProgress(intptr_t number) {
  CheckObject(number);
  FtpObject* ftp = Find(number);
  if (!ftp) return 0;
  return __atomic_load_n(&ftp->progress, __ATOMIC_RELAXED);
}

}  // namespace kx
