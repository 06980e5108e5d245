// FTP upload client: log-in, change and make remote directories, store local
// files in binary mode over a passive (PASV) or active (PORT) data
// connection, with a byte counter that another thread may poll.
//
// The data connection is only ever made with the control connection's peer:
// passive mode connects to that address (the one in the PASV reply is read
// but not used), active mode listens on the control connection's own address
// and takes only a connection coming from the peer.
#pragma once

#include <cstdint>

#include "runtime/network/ftp_reply.h"
#include "runtime/network/network.h"

namespace kx {

// Progress values besides the byte count.
constexpr int32_t FtpProgressSetup = -1;
constexpr int32_t FtpProgressFailed = -2;
constexpr int32_t FtpProgressDone = -3;

// One FTP connection, an object of the FTP table ("#Ftp").
struct FtpObject {
  NetworkConnection* control;  // control connection, TCP
  intptr_t listSlot;           // not used
  intptr_t activeServer;       // active mode: server awaiting the data connection
  FtpReplyReader reply;        // reply buffer, line table and their state
  int32_t passive;             // non-zero: PASV, 0: PORT
  int32_t timeout;             // seconds: a command's send, and a whole reply
  int32_t dataTimeout;         // seconds the data connection may take no bytes
  int32_t progress;            // written by the uploading thread, read by any
};

// Library start (creates the FTP object table) and end (frees every object).
void StartFtp();
void EndFtp();

// Non-zero on success (for DynamicNumber the new object's identity), 0 on
// failure, which leaves no object.
intptr_t OpenFtp(intptr_t number, const char* server, const char* user, const char* password, int passive,
                 int port);
// The object's record if one exists under the number, else 0.
intptr_t FtpIsOpen(intptr_t number);
void CloseFtp(intptr_t number);
int FtpChangeDirectory(intptr_t number, const char* directory);
int FtpMakeDirectory(intptr_t number, const char* name);
int FtpUploadFile(intptr_t number, const char* localFile, const char* remoteFile);
int32_t FtpProgress(intptr_t number);

// The last reply of the object's control connection, for messages that say
// what went wrong: the three-digit code of its final line (530) and that
// line ("530 Login incorrect."), or a cause without a reply (FtpReplyTimeout,
// FtpReplyRefused, FtpReplyLost, FtpReplyTooLong, ftp_reply.h) and "".
// Every command starts with none (FtpReplyNone).  For a number whose OpenFtp
// failed in the calling thread (no object is left) they tell why it failed.
// A thread asked to stop (ThreadStopRequested) ends any wait of the control
// and data connections at once, as if the connection were lost.
int32_t FtpLastReplyCode(intptr_t number);
char* FtpLastReply(intptr_t number, int32_t mark);

// Reads host (dotted text, at least 16 bytes) and port from a 227 reply line:
// the first six runs of digits after the reply code.  1 on success, 0 when
// the line holds fewer than six numbers or one of them is out of range.
int ParsePassiveReply(const char* line, char* host, int hostSize, int* port);

}  // namespace kx
