// Socket layer of the runtime: Windows Sockets 1.1 start and end, TCP and UDP
// client connections, simple listening servers (numbered objects), and the
// whole-second clock that the FTP and HTTP clients time their loops with.
//
// Sockets are IPv4 only.  Socket handles are carried as uintptr_t so that
// this header does not pull <winsock.h> into its users.
#pragma once

#include <cstdint>

namespace kx {

constexpr int32_t NetworkTcp = 1;   // socket type 1, stream
constexpr int32_t NetworkUdp = 2;   // socket type 2, datagram

// Results of ConnectionEvent and ServerEvent.
constexpr int NetworkEventNone = 0;
constexpr int NetworkEventConnect = 1;     // servers only
constexpr int NetworkEventData = 2;
constexpr int NetworkEventFile = 3;        // "KXMGSFLE" waiting (TCP)
constexpr int NetworkEventDisconnect = 4;  // servers only (TCP)

// Result of PeekSocket when the peer has gone.
constexpr int NetworkPeerGone = -2;

struct NetworkServer;

// One client connection.  A TCP record opened by OpenConnection uses only
// the first four fields; UDP records use all of them.
struct NetworkConnection {
  int32_t kind;              // NetworkTcp or NetworkUdp
  uint32_t address;          // UDP: remote IPv4 address, network byte order
  uintptr_t socketOrPort;    // TCP: the socket; UDP: remote port, host order
  NetworkServer* server;     // owning server, or null
  uintptr_t ownSocket;       // UDP without server: the record's own socket
  uint8_t* pending;          // UDP: copy of the last datagram received
  int32_t pendingBytes;      // UDP: bytes of it not yet read
  int32_t pendingPosition;   // UDP: read position inside it
  NetworkConnection* next;   // next client of the owning server's list
};

// One listening (TCP) or bound (UDP) server, an object of the network table.
struct NetworkServer {
  uintptr_t socket;
  uint8_t boundAddress[16];  // the sockaddr_in as passed to bind
  int32_t type;              // NetworkTcp or NetworkUdp
  intptr_t number;           // object number, or identity for DynamicNumber
  NetworkConnection* clients;
};

// Non-zero if the socket library started.  Only the first call starts it.
int InitNetwork();
// Program end: closes every server and stops the socket library.
void EndNetwork();
// The network-initialised flag, for the checks of FTP and HTTP.
int NetworkInitialized();

// Host is dotted IPv4 text (used without look-up) or a name.  Null on failure.
NetworkConnection* OpenConnection(const char* host, int port, int type);
NetworkConnection* OpenTcpConnection(const char* host, int port);
// Why the calling thread's last OpenConnection failed: NetworkConnectNone
// when it did not, NetworkConnectRefused when nobody listened at the port,
// NetworkConnectTimedOut when the host never answered, NetworkConnectFailed
// for any other cause (no address, no route, no socket).
constexpr int NetworkConnectNone = 0;
constexpr int NetworkConnectRefused = 1;
constexpr int NetworkConnectFailed = 2;
constexpr int NetworkConnectTimedOut = 3;
int LastConnectFailure();
void CloseConnection(NetworkConnection* connection);

// Bytes sent, or -1 (the socket's own result).
int SendData(NetworkConnection* connection, const void* bytes, int length);
// 0 nothing to read, 2 data, 3 file marker waiting (TCP only).
int ConnectionEvent(NetworkConnection* connection);
// Bytes read (may be 0), or -1 on a socket error.
int ReceiveData(NetworkConnection* connection, void* buffer, int size);

// Peeks count bytes (-1: as many as FIONREAD reports) into buffer: 0 when
// nothing is ready, the count peeked, or NetworkPeerGone.
int PeekSocket(uintptr_t socket, int count, void* buffer);
// The socket's count of bytes ready to read (FIONREAD), 0 on error.
int AvailableBytes(uintptr_t socket);

// SendWithTimeout flags.  By default only "would block" is waited out and
// any other socket error fails at once; SendRetryAnyError retries after
// every failed send until the time runs out (the HTTP client's rule).
constexpr int SendRetryAnyError = 1;

// Sends all bytes on a socket: while the socket would block it waits up to
// 50 ms for room and tries again, and it continues after partial sends.  A
// thread asked to stop (ThreadStopRequested) gives up at the next wait.
// timeoutSeconds counts the time without progress: every send that moves
// bytes starts it anew, so a slow peer that keeps reading is never cut off
// but one that stops reading is.  1 when all bytes went out, 0 on a socket
// error or when the time ran out.
int SendWithTimeout(uintptr_t socket, const void* bytes, int length, int timeoutSeconds, int flags = 0);
// Waits up to milliseconds for the socket to turn readable (data waiting,
// or the peer closed): select's result, above 0 readable, 0 time out, below
// 0 a socket error.
int WaitSocketReadable(uintptr_t socket, int32_t milliseconds);
// The socket of a TCP connection (0 for UDP or null).
uintptr_t ConnectionSocket(const NetworkConnection* connection);
// Switches a socket to non-blocking mode (sends that would block fail with
// "would block" instead of waiting): non-zero on success.
int SetSocketNonBlocking(uintptr_t socket);
// IPv4 address (network byte order) of the socket's own end and of its peer;
// 0 when the socket has none.
uint32_t SocketLocalAddress(uintptr_t socket);
uint32_t SocketPeerAddress(uintptr_t socket);
// Dotted text of an IPv4 address in network byte order; text holds >= 16 bytes.
void FormatAddress(uint32_t address, char* text, int textSize);

// For DynamicNumber the new server's identity, for a number the socket
// handle, 0 on failure.  Port 0 binds a free port (see ServerPort).
intptr_t CreateServer(intptr_t number, int port, int type);
// As CreateServer, bound to one local IPv4 address (network byte order)
// instead of every interface.
intptr_t CreateServerAt(intptr_t number, uint32_t address, int port, int type);
intptr_t CreateTcpServer(intptr_t number, int port);
void CloseServer(intptr_t server);
// The server record of a number or identity, or null.
NetworkServer* FindServer(intptr_t server);
// The port the server is bound to (host order), 0 if unknown.
int ServerPort(intptr_t server);

// 0 nothing, 1 connected, 2 data, 3 file marker, 4 disconnected.  After a
// non-zero result EventClient names the client and EventServer the server.
// The current event is module state: use them from one thread only.
int ServerEvent(intptr_t server);
NetworkConnection* EventClient();
intptr_t EventServer();

// Whole-second clock for time-outs: elapsed time is the difference of two
// readings, so a time-out of N seconds ends after N to N+1 seconds.
int32_t NetworkSeconds();
// Non-zero when the difference of readings exceeds timeoutSeconds, that is
// when at least timeoutSeconds real seconds have passed since start.
int NetworkTimedOut(int32_t start, int timeoutSeconds);

}  // namespace kx
