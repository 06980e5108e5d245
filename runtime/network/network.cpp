// Socket layer over Windows Sockets 1.1 (wsock32).
#include "runtime/network/network.h"

#include <windows.h>
#include <winsock.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/core/threads.h"

namespace kx {

namespace {

const char FileMarker[8] = {'K', 'X', 'M', 'G', 'S', 'F', 'L', 'E'};
constexpr int DatagramSize = 2048;
constexpr int ServerBacklog = 100;

int16_t networkInitialized = 0;
// Why the calling thread's last OpenConnection failed (its own: two threads
// connecting at once must not read each other's cause).
thread_local int connectFailure = 0;
int initCalled = 0;
ObjectTable* networkTable = nullptr;

// The current server event: module state, so ServerEvent and EventClient
// belong to one thread (the one uploading in active mode).
intptr_t eventServer = 0;
NetworkConnection* eventClient = nullptr;
// A client that disconnected stays readable as the event client until the
// next server event, then its record is freed.
NetworkConnection* goneClient = nullptr;

void DropGoneClient() {
  if (!goneClient) return;
  if (eventClient == goneClient) eventClient = nullptr;
  free(goneClient->pending);
  free(goneClient);
  goneClient = nullptr;
}

// ---- checks ----------------------------------------------------------------

void CheckInit() {
  if (!networkInitialized) ReportError("InitNeeded", "InitNetwork()", "Network");
}

void CheckConnection(const NetworkConnection* connection) {
  CheckInit();
  if (!connection) ReportError("NullArgument", "ConnectionID");
}

void CheckPort(int port) {
  CheckInit();
  if (port < 0 || port > 65535) ReportError("InvalidPort");
}

// ---- helpers ---------------------------------------------------------------

NetworkConnection* NewRecord() {
  return static_cast<NetworkConnection*>(calloc(1, sizeof(NetworkConnection)));
}

void FreeRecord(NetworkConnection* record) {
  if (!record) return;
  free(record->pending);
  free(record);
}

void KeepDatagram(NetworkConnection* record, const char* bytes, int length) {
  free(record->pending);
  record->pending = static_cast<uint8_t*>(malloc(length));
  if (!record->pending) {
    record->pendingBytes = 0;
    record->pendingPosition = 0;
    return;
  }
  memcpy(record->pending, bytes, length);
  record->pendingBytes = length;
  record->pendingPosition = 0;
}

int SetNonBlocking(SOCKET s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}

// Takes a record off its server's list (does not free it).
void Unlink(NetworkConnection* record) {
  NetworkServer* server = record->server;
  if (!server) return;
  for (NetworkConnection** link = &server->clients; *link; link = &(*link)->next) {
    if (*link == record) {
      *link = record->next;
      break;
    }
  }
  record->next = nullptr;
}

int IsMarker(const char* bytes) { return memcmp(bytes, FileMarker, sizeof FileMarker) == 0; }

void CloseServerRecord(intptr_t server) {
  NetworkServer* record = networkTable ? static_cast<NetworkServer*>(FindObject(networkTable, server)) : nullptr;
  if (!record) return;
  NetworkConnection* client = record->clients;
  while (client) {
    NetworkConnection* next = client->next;
    // UDP clients share the server's socket.
    if (record->type == NetworkTcp && client->socketOrPort) closesocket(client->socketOrPort);
    if (eventClient == client) eventClient = nullptr;
    FreeRecord(client);
    client = next;
  }
  record->clients = nullptr;
  if (record->socket) closesocket(record->socket);
  record->socket = 0;
  FreeObject(networkTable, server);
}

// A dotted address as it is, a name through the resolver; INADDR_NONE if
// neither gives an IPv4 address.
unsigned long HostAddress(const char* host) {
  unsigned long address = inet_addr(host);
  if (address != INADDR_NONE) return address;
  hostent* entry = gethostbyname(host);
  if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) return INADDR_NONE;
  memcpy(&address, entry->h_addr_list[0], sizeof address);
  return address;
}

bool ConnectTo(SOCKET s, unsigned long address, int port) {
  sockaddr_in remote;
  memset(&remote, 0, sizeof remote);
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<u_short>(port));
  remote.sin_addr.s_addr = address;
  return connect(s, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
}

}  // namespace

// ---- start and end -----------------------------------------------------------

int InitNetwork() {
  if (initCalled) ReportError("CallOnce", "InitNetwork()");
  if (initCalled) return networkInitialized;
  initCalled = 1;
  WSADATA data;
  networkInitialized = WSAStartup(0x0101, &data) == 0 ? 1 : 0;
  if (!networkTable) networkTable = CreateObjectTable(sizeof(NetworkServer), 16, CloseServerRecord);
  return networkInitialized;
}

void EndNetwork() {
  if (networkTable) FreeAllObjects(networkTable);
  DropGoneClient();
  if (networkInitialized) WSACleanup();
  networkInitialized = 0;
}

int NetworkInitialized() { return networkInitialized; }

// ---- clock -------------------------------------------------------------------

int32_t NetworkSeconds() {
  // Whole seconds of the system clock; unlike local wall-clock time it does
  // not jump at a change of daylight saving time.
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<int32_t>(ticks / 10000000ULL - 11644473600ULL);
}

int NetworkTimedOut(int32_t start, int timeoutSeconds) {
  // The start reading may have been taken just before its second ended, so
  // a difference of exactly N can mean little more than N - 1 real seconds;
  // only a larger one proves that N seconds have passed.
  return NetworkSeconds() - start > timeoutSeconds;
}

// ---- client connections ------------------------------------------------------

NetworkConnection* OpenConnection(const char* host, int port, int type) {
  CheckPort(port);
  connectFailure = NetworkConnectFailed;
  if (!host) return nullptr;
  if (port < 0 || port > 65535) return nullptr;
  if (type != NetworkTcp && type != NetworkUdp) return nullptr;

  unsigned long address = HostAddress(host);
  if (address == INADDR_NONE) return nullptr;
  SOCKET s = socket(AF_INET, type == NetworkTcp ? SOCK_STREAM : SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return nullptr;

  // TCP connects in blocking mode; UDP only needs its socket non-blocking.
  bool ready = type == NetworkTcp ? ConnectTo(s, address, port) : SetNonBlocking(s);
  if (!ready && type == NetworkTcp) {
    const int error = WSAGetLastError();
    if (error == WSAECONNREFUSED) connectFailure = NetworkConnectRefused;
    if (error == WSAETIMEDOUT) connectFailure = NetworkConnectTimedOut;
  }
  NetworkConnection* record = ready ? NewRecord() : nullptr;
  if (!record) {
    closesocket(s);
    return nullptr;
  }
  connectFailure = NetworkConnectNone;
  record->kind = type;
  if (type == NetworkTcp) {
    record->socketOrPort = s;
  } else {
    record->address = address;
    record->socketOrPort = static_cast<uintptr_t>(port);
    record->ownSocket = s;
  }
  return record;
}

int LastConnectFailure() { return connectFailure; }

NetworkConnection* OpenTcpConnection(const char* host, int port) {
  return OpenConnection(host, port, NetworkTcp);
}

void CloseConnection(NetworkConnection* connection) {
  CheckConnection(connection);
  if (!connection) return;
  if (connection->kind == NetworkTcp) {
    if (connection->socketOrPort) closesocket(connection->socketOrPort);
  } else if (!connection->server && connection->ownSocket) {
    closesocket(connection->ownSocket);
  }
  if (eventClient == connection) eventClient = nullptr;
  if (goneClient == connection) goneClient = nullptr;
  Unlink(connection);
  FreeRecord(connection);
}

uintptr_t ConnectionSocket(const NetworkConnection* connection) {
  if (!connection || connection->kind != NetworkTcp) return 0;
  return connection->socketOrPort;
}

int SendData(NetworkConnection* connection, const void* bytes, int length) {
  CheckConnection(connection);
  if (!connection) return -1;
  if (connection->kind == NetworkTcp)
    return send(connection->socketOrPort, static_cast<const char*>(bytes), length, 0);
  sockaddr_in remote;
  memset(&remote, 0, sizeof remote);
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<u_short>(connection->socketOrPort));
  remote.sin_addr.s_addr = connection->address;
  SOCKET s = connection->server ? connection->server->socket : connection->ownSocket;
  return sendto(s, static_cast<const char*>(bytes), length, 0, reinterpret_cast<sockaddr*>(&remote),
                sizeof remote);
}

int WaitSocketReadable(uintptr_t socket, int32_t milliseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(static_cast<SOCKET>(socket), &readable);
  timeval wait = {milliseconds / 1000, (milliseconds % 1000) * 1000};
  return select(0, &readable, nullptr, nullptr, &wait);
}

int AvailableBytes(uintptr_t socket) {
  CheckInit();
  u_long count = 0;
  if (ioctlsocket(socket, FIONREAD, &count) != 0) return 0;
  return static_cast<int>(count);
}

int PeekSocket(uintptr_t socket, int count, void* buffer) {
  char probe[1];
  if (count < 0) {
    u_long ready = 0;
    if (ioctlsocket(socket, FIONREAD, &ready) != 0) ready = 0;
    count = static_cast<int>(ready);
    // Nothing announced: a one-byte peek tells a quiet peer from a gone one.
    if (count == 0) {
      buffer = probe;
      count = 1;
    }
  }
  if (count == 0) return 0;
  int result = recv(socket, static_cast<char*>(buffer), count, MSG_PEEK);
  if (result == 0) return NetworkPeerGone;
  if (result < 0) {
    switch (WSAGetLastError()) {
      case WSAECONNABORTED:
      case WSAECONNRESET:
      case WSAENOTCONN:
      case WSAESHUTDOWN:
        return NetworkPeerGone;
      default:
        return 0;
    }
  }
  if (buffer == probe) return 0;  // data arrived since FIONREAD: next time
  return result;
}

int ConnectionEvent(NetworkConnection* connection) {
  CheckConnection(connection);
  if (!connection) return NetworkEventNone;
  if (connection->kind == NetworkTcp) {
    u_long ready = 0;
    if (ioctlsocket(connection->socketOrPort, FIONREAD, &ready) != 0 || ready == 0) return NetworkEventNone;
    if (ready < sizeof FileMarker) return NetworkEventData;
    char head[sizeof FileMarker];
    int got = recv(connection->socketOrPort, head, sizeof head, MSG_PEEK);
    if (got == static_cast<int>(sizeof head) && IsMarker(head)) return NetworkEventFile;
    return NetworkEventData;
  }
  char datagram[DatagramSize];
  SOCKET s = connection->server ? connection->server->socket : connection->ownSocket;
  if (connection->server) return connection->pendingBytes > 0 ? NetworkEventData : NetworkEventNone;
  int got = recvfrom(s, datagram, sizeof datagram, 0, nullptr, nullptr);
  if (got <= 0) return NetworkEventNone;
  KeepDatagram(connection, datagram, got);
  return NetworkEventData;
}

int ReceiveData(NetworkConnection* connection, void* buffer, int size) {
  CheckConnection(connection);
  if (!connection || size < 0) return -1;
  if (connection->kind == NetworkTcp)
    return recv(connection->socketOrPort, static_cast<char*>(buffer), size, 0);
  if (!connection->pending) return 0;
  int count = connection->pendingBytes < size ? connection->pendingBytes : size;
  memcpy(buffer, connection->pending + connection->pendingPosition, count);
  connection->pendingPosition += count;
  connection->pendingBytes -= count;
  if (connection->pendingBytes <= 0) {
    free(connection->pending);
    connection->pending = nullptr;
    connection->pendingBytes = 0;
    connection->pendingPosition = 0;
  }
  return count;
}

namespace {

// Waits up to milliseconds for room in the socket's send buffer.
void WaitSocketWritable(uintptr_t socket, int32_t milliseconds) {
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(static_cast<SOCKET>(socket), &writable);
  timeval wait = {milliseconds / 1000, (milliseconds % 1000) * 1000};
  select(0, nullptr, &writable, nullptr, &wait);
}

sockaddr_in SocketName(uintptr_t socket, bool peer) {
  sockaddr_in address;
  memset(&address, 0, sizeof address);
  int size = sizeof address;
  int result = peer ? getpeername(socket, reinterpret_cast<sockaddr*>(&address), &size)
                    : getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
  if (result != 0 || address.sin_family != AF_INET) memset(&address, 0, sizeof address);
  return address;
}

}  // namespace

int SendWithTimeout(uintptr_t socket, const void* bytes, int length, int timeoutSeconds, int flags) {
  const char* next = static_cast<const char*>(bytes);
  int left = length;
  int32_t start = NetworkSeconds();
  while (left > 0) {
    if (NetworkTimedOut(start, timeoutSeconds) || ThreadStopRequested()) return 0;
    int sent = send(socket, next, left, 0);
    if (sent < 0) {
      if (!(flags & SendRetryAnyError) && WSAGetLastError() != WSAEWOULDBLOCK) return 0;
      WaitSocketWritable(socket, 50);
      continue;
    }
    if (sent > 0) start = NetworkSeconds();
    next += sent;
    left -= sent;
  }
  return 1;
}

int SetSocketNonBlocking(uintptr_t socket) { return SetNonBlocking(static_cast<SOCKET>(socket)); }

uint32_t SocketLocalAddress(uintptr_t socket) { return SocketName(socket, false).sin_addr.s_addr; }

uint32_t SocketPeerAddress(uintptr_t socket) { return SocketName(socket, true).sin_addr.s_addr; }

void FormatAddress(uint32_t address, char* text, int textSize) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(&address);
  snprintf(text, textSize, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

// ---- servers -----------------------------------------------------------------

intptr_t CreateServer(intptr_t number, int port, int type) {
  return CreateServerAt(number, INADDR_ANY, port, type);
}

intptr_t CreateServerAt(intptr_t number, uint32_t address, int port, int type) {
  CheckPort(port);
  if (!networkTable) return 0;
  if (port < 0 || port > 65535) return 0;
  if (type != NetworkTcp && type != NetworkUdp) return 0;

  NetworkServer* record = static_cast<NetworkServer*>(AllocateObject(networkTable, number));
  if (!record) return 0;
  intptr_t self = number == DynamicNumber ? DynamicIdentity(networkTable, record) : number;

  SOCKET s = socket(AF_INET, type == NetworkTcp ? SOCK_STREAM : SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) {
    FreeObject(networkTable, self);
    return 0;
  }
  if (!SetNonBlocking(s)) {
    closesocket(s);
    FreeObject(networkTable, self);
    return 0;
  }
  sockaddr_in bound;
  memset(&bound, 0, sizeof bound);
  bound.sin_family = AF_INET;
  bound.sin_port = htons(static_cast<u_short>(port));
  bound.sin_addr.s_addr = address;
  if (bind(s, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 ||
      (type == NetworkTcp && listen(s, ServerBacklog) != 0)) {
    closesocket(s);
    FreeObject(networkTable, self);
    return 0;
  }
  record->socket = s;
  memcpy(record->boundAddress, &bound, sizeof bound);
  record->type = type;
  record->number = self;
  record->clients = nullptr;
  return number == DynamicNumber ? self : static_cast<intptr_t>(s);
}

intptr_t CreateTcpServer(intptr_t number, int port) { return CreateServer(number, port, NetworkTcp); }

void CloseServer(intptr_t server) {
  CheckInit();
  CloseServerRecord(server);
}

NetworkServer* FindServer(intptr_t server) {
  return networkTable ? static_cast<NetworkServer*>(FindObject(networkTable, server)) : nullptr;
}

int ServerPort(intptr_t server) {
  NetworkServer* record = FindServer(server);
  if (!record) return 0;
  sockaddr_in bound;
  int size = sizeof bound;
  if (getsockname(record->socket, reinterpret_cast<sockaddr*>(&bound), &size) != 0) return 0;
  return ntohs(bound.sin_port);
}

int ServerEvent(intptr_t server) {
  CheckInit();
  DropGoneClient();
  NetworkServer* record = FindServer(server);
  if (!record) return NetworkEventNone;

  if (record->type == NetworkTcp) {
    SOCKET s = accept(record->socket, nullptr, nullptr);
    if (s != INVALID_SOCKET) {
      SetNonBlocking(s);  // as the listening socket is
      NetworkConnection* client = NewRecord();
      if (!client) {
        closesocket(s);
        return NetworkEventNone;
      }
      client->kind = NetworkTcp;
      client->socketOrPort = s;
      client->server = record;
      client->next = record->clients;
      record->clients = client;
      eventServer = record->number;
      eventClient = client;
      return NetworkEventConnect;
    }
  } else {
    char datagram[DatagramSize];
    sockaddr_in from;
    int fromSize = sizeof from;
    int got = recvfrom(record->socket, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (got > 0) {
      uintptr_t fromPort = ntohs(from.sin_port);
      NetworkConnection* client = record->clients;
      while (client && !(client->address == from.sin_addr.s_addr && client->socketOrPort == fromPort))
        client = client->next;
      if (!client) {
        client = NewRecord();
        if (!client) return NetworkEventNone;
        client->kind = NetworkUdp;
        client->address = from.sin_addr.s_addr;
        client->socketOrPort = fromPort;
        client->server = record;
        client->next = record->clients;
        record->clients = client;
      }
      KeepDatagram(client, datagram, got);
      eventServer = record->number;
      eventClient = client;
      return NetworkEventData;
    }
    return NetworkEventNone;
  }

  for (NetworkConnection* client = record->clients; client; client = client->next) {
    char head[sizeof FileMarker];
    int result = PeekSocket(client->socketOrPort, sizeof head, head);
    if (result == 0) continue;
    eventServer = record->number;
    if (result == NetworkPeerGone) {
      closesocket(client->socketOrPort);
      client->socketOrPort = 0;
      Unlink(client);
      client->server = nullptr;
      goneClient = client;
      eventClient = client;
      return NetworkEventDisconnect;
    }
    eventClient = client;
    return result == static_cast<int>(sizeof head) && IsMarker(head) ? NetworkEventFile : NetworkEventData;
  }
  return NetworkEventNone;
}

NetworkConnection* EventClient() {
  CheckInit();
  return eventClient;
}

intptr_t EventServer() {
  CheckInit();
  return eventServer;
}

}  // namespace kx
