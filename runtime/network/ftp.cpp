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
#include "runtime/core/debugger_seam.h"
#include "runtime/core/strings.h"
#include "runtime/core/threads.h"

namespace kx {

namespace {

constexpr int ControlTimeout = 30;    // seconds
// A server that takes no data bytes for this long has stopped reading: the
// upload fails instead of waiting on it.
constexpr int DataTimeout = 60;       // seconds
constexpr int CommandSize = 1024;
constexpr int BlockSize = 4096;
constexpr int HighestNumber = 9999;
constexpr int32_t WaitSlice = 100;    // ms between two looks at the stop request

ObjectTable* ftpTable = nullptr;

// The calling thread's last OpenFtp that failed: which number it was for and
// the reply (or cause) that made it fail.  A failed open leaves no object to
// ask, so FtpLastReplyCode and FtpLastReply answer from here for it.
struct FailedOpen {
  intptr_t number;
  int32_t code;
  char text[FtpReplyTextSize];
};
thread_local FailedOpen failedOpen = {DynamicNumber, FtpReplyNone, ""};

void KeepFailedOpen(intptr_t number, int32_t code, const char* text) {
  failedOpen.number = number;
  failedOpen.code = code;
  snprintf(failedOpen.text, sizeof failedOpen.text, "%s", text ? text : "");
}

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

// ---- control connection -----------------------------------------------------

// The reply reader's receive routine: one read of the control connection
// once it has data, waiting at most until the control time-out counted from
// the reply's start has run out.  A socket that is already readable is read
// even then.
//
// The wait is cut into short slices: a thread asked to stop (a cancelled
// upload, the program's end) gives up within one, as if the connection were
// gone.  A read of nothing is the peer closing.
int ReceiveControl(void* context, char* buffer, int size, int32_t start) {
  FtpObject* ftp = static_cast<FtpObject*>(context);
  uintptr_t s = ConnectionSocket(ftp->control);
  for (;;) {
    if (ThreadStopRequested()) return -1;
    int timedOut = NetworkTimedOut(start, ftp->timeout);
    int ready = WaitSocketReadable(s, timedOut ? 0 : WaitSlice);
    if (ready > 0) {
      int got = ReceiveData(ftp->control, buffer, size);
      return got > 0 ? got : -1;
    }
    if (ready < 0) return -1;
    if (timedOut) return 0;
  }
}

// One command line "word argument CR LF", sent whole within the control
// time-out.  An argument holding CR or LF would smuggle in a second command,
// and one too long for the line would lose its end: both are refused.
//
// The command's reply becomes the last one; until it comes there is none,
// and a command that could not be sent leaves the connection lost.
int SendCommand(FtpObject* ftp, const char* word, const char* argument) {
  SetLastReply(&ftp->reply, FtpReplyNone);
  if (!argument) argument = "";
  if (strpbrk(argument, "\r\n")) return 0;
  char line[CommandSize];
  int length = snprintf(line, sizeof line, "%s%s\r\n", word, argument);
  if (length < 0 || length >= static_cast<int>(sizeof line)) return 0;
  if (SendWithTimeout(ConnectionSocket(ftp->control), line, length, ftp->timeout)) return 1;
  SetLastReply(&ftp->reply, FtpReplyLost);
  return 0;
}

int Command(FtpObject* ftp, const char* word, const char* argument, const char* codes, char* copy = nullptr,
            int copySize = 0) {
  return SendCommand(ftp, word, argument) && ExpectReply(&ftp->reply, codes, copy, copySize);
}

// ---- object ------------------------------------------------------------------

void ReleaseFtp(intptr_t number) {
  FtpObject* ftp = Find(number);
  if (!ftp) return;
  if (ftp->control) CloseConnection(ftp->control);
  ftp->control = nullptr;
  if (ftp->activeServer) CloseServer(ftp->activeServer);
  ftp->activeServer = 0;
  EndReplyReader(&ftp->reply);
  FreeObject(ftpTable, number);
}

// ---- data channel ------------------------------------------------------------

// Passive mode: the data connection goes to the control connection's peer,
// at the port of the PASV reply.  The reply's address is checked with the
// rest of it but not used: a server behind an address translator announces
// an address nobody can reach, and a hostile one could send the file
// anywhere.  The socket is made non-blocking so that a send to a server
// that stopped reading fails after the data time-out instead of hanging.
int OpenPassiveChannel(FtpObject* ftp, NetworkConnection** data) {
  char reply[CommandSize];
  if (!Command(ftp, "PASV", nullptr, "227", reply, sizeof reply)) return 0;
  char announced[16];
  int port = 0;
  if (!ParsePassiveReply(reply, announced, sizeof announced, &port)) return 0;
  uint32_t peer = SocketPeerAddress(ConnectionSocket(ftp->control));
  if (peer == 0) return 0;
  char host[16];
  FormatAddress(peer, host, sizeof host);
  *data = OpenTcpConnection(host, port);
  if (!*data) {
    SetLastReply(&ftp->reply, LastConnectFailure() == NetworkConnectRefused ? FtpReplyRefused : FtpReplyLost);
    return 0;
  }
  return SetSocketNonBlocking(ConnectionSocket(*data));
}

// Active mode: listens on the address the control connection leaves from,
// the one the server reaches us at (127.0.0.1 on loopback), never on every
// interface, and announces it with PORT.
int OpenActiveServer(FtpObject* ftp) {
  uint32_t local = SocketLocalAddress(ConnectionSocket(ftp->control));
  if (local == 0) return 0;
  ftp->activeServer = CreateServerAt(DynamicNumber, local, 0, NetworkTcp);
  if (!ftp->activeServer) return 0;
  int port = ServerPort(ftp->activeServer);
  if (port == 0) return 0;
  const unsigned char* a = reinterpret_cast<const unsigned char*>(&local);
  char argument[64];
  snprintf(argument, sizeof argument, "%d,%d,%d,%d,%d,%d", a[0], a[1], a[2], a[3], port / 256, port % 256);
  return Command(ftp, "PORT ", argument, "200");
}

// Active mode: the server's connection to our data port, within the control
// time-out.  Only a connection from the control connection's peer is the
// server's; any other is closed and the wait goes on.
NetworkConnection* AcceptActive(FtpObject* ftp) {
  uint32_t peer = SocketPeerAddress(ConnectionSocket(ftp->control));
  int32_t start = NetworkSeconds();
  while (!NetworkTimedOut(start, ftp->timeout)) {
    int event = ServerEvent(ftp->activeServer);
    if (event == NetworkEventConnect) {
      NetworkConnection* client = EventClient();
      if (peer != 0 && SocketPeerAddress(ConnectionSocket(client)) == peer) return client;
      CloseConnection(client);
      continue;
    }
    if (event == NetworkEventNone) Sleep(100);
  }
  return nullptr;
}

// The file in blocks over the data connection; a block that makes no
// progress for the data time-out fails the transfer, and so does a stop
// request of the sending thread (checked before every block).
int SendFile(FtpObject* ftp, HANDLE file, NetworkConnection* data) {
  char block[BlockSize];
  int64_t sent = 0;
  SetProgress(ftp, 0);
  for (;;) {
    if (ThreadStopRequested()) return 0;
    DWORD got = 0;
    if (!ReadFile(file, block, sizeof block, &got, nullptr)) return 0;
    if (got == 0) return 1;
    if (!SendWithTimeout(ConnectionSocket(data), block, static_cast<int>(got), ftp->dataTimeout)) return 0;
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
    KeepFailedOpen(number, LastConnectFailure() == NetworkConnectRefused ? FtpReplyRefused : FtpReplyLost, "");
    FreeObject(ftpTable, self);
    return 0;
  }
  ftp->passive = passive;
  ftp->timeout = ControlTimeout;
  ftp->dataTimeout = DataTimeout;
  SetProgress(ftp, 0);
  if (!StartReplyReader(&ftp->reply, ReceiveControl, ftp)) {
    KeepFailedOpen(number, FtpReplyNone, "");
    ReleaseFtp(self);
    return 0;
  }

  // The greeting: a server that says it is not ready (421), or says nothing,
  // is not logged in to.
  SkipReply(&ftp->reply);
  int ready = ftp->reply.lastCode >= 100 && ftp->reply.lastCode < 400;
  // A server that lets the user in without a password (230 to USER) is
  // refused along with every other unexpected answer.
  if (!ready || !Command(ftp, "USER ", user, "331") || !Command(ftp, "PASS ", password, "230")) {
    KeepFailedOpen(number, ftp->reply.lastCode, ftp->reply.lastText);
    ReleaseFtp(self);
    return 0;
  }
  KeepFailedOpen(DynamicNumber, FtpReplyNone, "");
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
  // A local file that can't be read is no server's answer.
  SetLastReply(&ftp->reply, FtpReplyNone);
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
          while (send(ConnectionSocket(data), "", 0, 0) < 0 && !NetworkTimedOut(start, ftp->dataTimeout)) Sleep(50);
        }
        success = SendFile(ftp, file, data);
      }
    }
  }
  // A failure shows at once, not only after the server's final reply.
  if (!success) SetProgress(ftp, FtpProgressFailed);
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
  if (storeAccepted && !ExpectReply(&ftp->reply, "226;250")) success = 0;

  CloseHandle(file);
  SetProgress(ftp, success ? FtpProgressDone : FtpProgressFailed);
  return success;
}

int32_t FtpLastReplyCode(intptr_t number) {
  FtpObject* ftp = Find(number);
  if (!ftp && failedOpen.number == number) return failedOpen.code;
  CheckObject(number);
  return ftp ? ftp->reply.lastCode : FtpReplyNone;
}

char* FtpLastReply(intptr_t number, int32_t mark) {
  FtpObject* ftp = Find(number);
  if (!ftp && failedOpen.number == number) return ReturnString(failedOpen.text, -1, mark);
  CheckObject(number);
  return ReturnString(ftp ? ftp->reply.lastText : "", -1, mark);
}

int32_t FtpProgress(intptr_t number) {
  CheckObject(number);
  FtpObject* ftp = Find(number);
  if (!ftp) return 0;
  return __atomic_load_n(&ftp->progress, __ATOMIC_RELAXED);
}

}  // namespace kx
