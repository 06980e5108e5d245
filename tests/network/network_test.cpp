// Socket layer over loopback: checks, client and server events of TCP and
// UDP, the file marker, disconnects and sends that have to wait.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/objects.h"
#include "runtime/network/network.h"
#include "support/report_recorder.h"
#include "support/wait_until.h"

namespace {

using kx::NetworkConnection;

// The first result of fn that is not zero (an event, a count), asked until
// one comes for up to five seconds; zero if none came.
template <typename F>
auto NextResult(F fn) -> decltype(fn()) {
  decltype(fn()) result{};
  kxtest::WaitUntil([&] {
    result = fn();
    return bool(result);
  }, 5000);
  return result;
}

void EnsureNetwork() {
  if (!kx::NetworkInitialized()) {
    ASSERT_NE(kx::InitNetwork(), 0);
  }
}

// Runs first in this program: before InitNetwork every command is reported.
TEST(NetworkStart, CommandsBeforeInitAreReportedAndInitRunsOnce) {
  ASSERT_EQ(kx::NetworkInitialized(), 0);
  {
    kxtest::ReportRecorder recorder;
    EXPECT_EQ(kx::CreateTcpServer(kx::DynamicNumber, 0), 0);
    ASSERT_TRUE(recorder.has("InitNeeded"));
    EXPECT_EQ(recorder.reports()[0].text, "InitNetwork() must be called successfuly before using any Network commands.");
  }
  {
    kxtest::ReportRecorder recorder;
    ASSERT_NE(kx::InitNetwork(), 0);
    EXPECT_EQ(recorder.count(), 0u);
    EXPECT_NE(kx::InitNetwork(), 0);  // still started
    EXPECT_EQ(recorder.lastKey(), "CallOnce");
    EXPECT_EQ(recorder.lastText(), "InitNetwork() can be called only once.");
  }
}

class Network : public testing::Test {
 protected:
  void SetUp() override { EnsureNetwork(); }
};

TEST_F(Network, PortsOutsideTheRangeAreReportedAndFail) {
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(kx::OpenConnection("127.0.0.1", 65536, kx::NetworkTcp), nullptr);
  EXPECT_EQ(recorder.lastKey(), "InvalidPort");
  recorder.clear();
  EXPECT_EQ(kx::CreateServer(kx::DynamicNumber, 65536, kx::NetworkTcp), 0);
  EXPECT_EQ(recorder.lastKey(), "InvalidPort");
  recorder.clear();
  EXPECT_EQ(kx::CreateServer(kx::DynamicNumber, -1, kx::NetworkUdp), 0);
  EXPECT_EQ(recorder.lastKey(), "InvalidPort");
}

TEST_F(Network, NullConnectionIsReportedAndHarmless) {
  kxtest::ReportRecorder recorder;
  char buffer[4];
  EXPECT_EQ(kx::SendData(nullptr, "x", 1), -1);
  EXPECT_EQ(kx::ReceiveData(nullptr, buffer, 4), -1);
  EXPECT_EQ(kx::ConnectionEvent(nullptr), 0);
  kx::CloseConnection(nullptr);
  ASSERT_EQ(recorder.count(), 4u);
  for (const auto& report : recorder.reports()) {
    EXPECT_EQ(report.key, "NullArgument");
    EXPECT_EQ(report.text, "The specified 'ConnectionID' is null.");
  }
}

TEST_F(Network, UnknownHostAndClosedPortGiveNoConnection) {
  // A 64-character label is refused by the resolver itself, so the failed
  // look-up never leaves the machine.
  std::string host = std::string(64, 'x') + ".invalid";
  EXPECT_EQ(kx::OpenTcpConnection(host.c_str(), 80), nullptr);
  EXPECT_EQ(kx::OpenTcpConnection(nullptr, 80), nullptr);

  // A port that was just free again: nothing listens there.
  intptr_t server = kx::CreateTcpServer(kx::DynamicNumber, 0);
  ASSERT_NE(server, 0);
  int port = kx::ServerPort(server);
  kx::CloseServer(server);
  EXPECT_EQ(kx::OpenTcpConnection("127.0.0.1", port), nullptr);
}

TEST_F(Network, FixedNumberServerReturnsSocketAndReuseReleases) {
  intptr_t first = kx::CreateTcpServer(7, 0);
  ASSERT_NE(first, 0);
  kx::NetworkServer* record = kx::FindServer(7);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(static_cast<intptr_t>(record->socket), first);
  EXPECT_EQ(record->type, kx::NetworkTcp);
  int port = kx::ServerPort(7);
  ASSERT_GT(port, 0);

  // The number taken again closes the first server: its port is free.
  intptr_t second = kx::CreateTcpServer(7, 0);
  ASSERT_NE(second, 0);
  EXPECT_EQ(kx::OpenTcpConnection("127.0.0.1", port), nullptr);
  kx::CloseServer(7);
  EXPECT_EQ(kx::FindServer(7), nullptr);
}

// A TCP server with one connected runtime client.
class TcpPair : public Network {
 protected:
  void SetUp() override {
    Network::SetUp();
    server = kx::CreateTcpServer(kx::DynamicNumber, 0);
    ASSERT_NE(server, 0);
    client = kx::OpenTcpConnection("127.0.0.1", kx::ServerPort(server));
    ASSERT_NE(client, nullptr);
    ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventConnect);
    peer = kx::EventClient();
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(peer->server, kx::FindServer(server));
    EXPECT_EQ(kx::EventServer(), server);
  }
  void TearDown() override {
    if (client) kx::CloseConnection(client);
    if (server) kx::CloseServer(server);
  }
  intptr_t server = 0;
  NetworkConnection* client = nullptr;
  NetworkConnection* peer = nullptr;
};

TEST_F(TcpPair, ClientSeesDataAndFileMarker) {
  EXPECT_EQ(kx::ConnectionEvent(client), 0);
  ASSERT_EQ(kx::SendData(peer, "1234567", 7), 7);
  ASSERT_EQ(NextResult([&] { return kx::AvailableBytes(kx::ConnectionSocket(client)) == 7; }), true);
  EXPECT_EQ(kx::ConnectionEvent(client), kx::NetworkEventData);
  char buffer[64] = {};
  EXPECT_EQ(kx::ReceiveData(client, buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "1234567");

  ASSERT_EQ(kx::SendData(peer, "KXMGSFLE and more", 17), 17);
  ASSERT_EQ(NextResult([&] { return kx::AvailableBytes(kx::ConnectionSocket(client)) == 17; }), true);
  EXPECT_EQ(kx::ConnectionEvent(client), kx::NetworkEventFile);

  // Eight bytes that are not the marker are plain data.
  memset(buffer, 0, sizeof buffer);
  EXPECT_EQ(kx::ReceiveData(client, buffer, sizeof buffer), 17);
  ASSERT_EQ(kx::SendData(peer, "KXMGSFLX", 8), 8);
  ASSERT_EQ(NextResult([&] { return kx::AvailableBytes(kx::ConnectionSocket(client)) == 8; }), true);
  EXPECT_EQ(kx::ConnectionEvent(client), kx::NetworkEventData);
}

TEST_F(TcpPair, ServerSeesDataMarkerAndOneDisconnect) {
  ASSERT_EQ(kx::SendData(client, "abcdefg", 7), 7);
  ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventData);
  EXPECT_EQ(kx::EventClient(), peer);
  char buffer[64] = {};
  EXPECT_EQ(kx::ReceiveData(peer, buffer, sizeof buffer), 7);

  ASSERT_EQ(kx::SendData(client, "KXMGSFLE!", 9), 9);
  ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventFile);
  EXPECT_EQ(kx::EventClient(), peer);
  EXPECT_EQ(kx::ReceiveData(peer, buffer, sizeof buffer), 9);

  kx::CloseConnection(client);
  client = nullptr;
  ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventDisconnect);
  ASSERT_EQ(kx::EventClient(), peer);
  EXPECT_EQ(kx::EventClient()->kind, kx::NetworkTcp);  // still a readable record
  EXPECT_EQ(kx::FindServer(server)->clients, nullptr);
  EXPECT_FALSE(kxtest::WaitUntil([&] { return kx::ServerEvent(server) != 0; }, 100)) << "an event after the last";
}

TEST_F(TcpPair, ClosingTheServerForgetsItsEventClient) {
  ASSERT_EQ(kx::EventClient(), peer);
  kx::CloseServer(server);
  server = 0;
  EXPECT_EQ(kx::EventClient(), nullptr);  // its record went with the server
}

TEST_F(TcpPair, SendsThatWouldBlockAreRetriedUntilAllArrive) {
  // The accepted socket is non-blocking: 8 MB cannot go out in one send.
  std::vector<char> data(8 << 20);
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<char>(i * 7 + i / 4096);
  std::vector<char> received;
  std::thread reader([&] {
    char block[65536];
    while (received.size() < data.size()) {
      int got = kx::ReceiveData(client, block, sizeof block);
      if (got <= 0) break;
      received.insert(received.end(), block, block + got);
    }
  });
  EXPECT_EQ(kx::SendWithTimeout(kx::ConnectionSocket(peer), data.data(), static_cast<int>(data.size()), 60), 1);
  reader.join();
  EXPECT_TRUE(received == data);
}

TEST_F(Network, DatagramsFromOneSenderShareOneServerClient) {
  intptr_t server = kx::CreateServer(kx::DynamicNumber, 0, kx::NetworkUdp);
  ASSERT_NE(server, 0);
  NetworkConnection* sender = kx::OpenConnection("127.0.0.1", kx::ServerPort(server), kx::NetworkUdp);
  ASSERT_NE(sender, nullptr);
  NetworkConnection* other = kx::OpenConnection("127.0.0.1", kx::ServerPort(server), kx::NetworkUdp);
  ASSERT_NE(other, nullptr);

  ASSERT_EQ(kx::SendData(sender, "first", 5), 5);
  ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventData);
  NetworkConnection* first = kx::EventClient();
  ASSERT_NE(first, nullptr);
  char buffer[16] = {};
  EXPECT_EQ(kx::ReceiveData(first, buffer, 3), 3);
  EXPECT_EQ(kx::ReceiveData(first, buffer + 3, sizeof buffer), 2);
  EXPECT_STREQ(buffer, "first");
  EXPECT_EQ(kx::ReceiveData(first, buffer, sizeof buffer), 0);

  ASSERT_EQ(kx::SendData(sender, "second", 6), 6);
  ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventData);
  EXPECT_EQ(kx::EventClient(), first);

  ASSERT_EQ(kx::SendData(other, "third", 5), 5);
  ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventData);
  EXPECT_NE(kx::EventClient(), first);
  int clients = 0;
  for (NetworkConnection* c = kx::FindServer(server)->clients; c; c = c->next) clients++;
  EXPECT_EQ(clients, 2);

  // A reply through the server's socket reaches the sender.
  ASSERT_EQ(kx::SendData(first, "reply", 5), 5);
  ASSERT_EQ(NextResult([&] { return kx::ConnectionEvent(sender); }), kx::NetworkEventData);
  memset(buffer, 0, sizeof buffer);
  EXPECT_EQ(kx::ReceiveData(sender, buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "reply");

  kx::CloseConnection(sender);
  kx::CloseConnection(other);
  kx::CloseServer(server);
}

TEST_F(Network, PeekTellsQuietFromGonePeers) {
  intptr_t server = kx::CreateTcpServer(kx::DynamicNumber, 0);
  ASSERT_NE(server, 0);
  NetworkConnection* client = kx::OpenTcpConnection("127.0.0.1", kx::ServerPort(server));
  ASSERT_NE(client, nullptr);
  ASSERT_EQ(NextResult([&] { return kx::ServerEvent(server); }), kx::NetworkEventConnect);
  uintptr_t accepted = kx::ConnectionSocket(kx::EventClient());
  char buffer[16];
  EXPECT_EQ(kx::PeekSocket(accepted, -1, buffer), 0);
  EXPECT_EQ(kx::PeekSocket(accepted, 8, buffer), 0);
  ASSERT_EQ(kx::SendData(client, "abc", 3), 3);
  ASSERT_EQ(NextResult([&] { return kx::PeekSocket(accepted, -1, buffer); }), 3);
  EXPECT_EQ(kx::PeekSocket(accepted, 8, buffer), 3);  // peeking leaves the bytes
  kx::CloseConnection(client);
  char drain[16];
  recv(accepted, drain, sizeof drain, 0);
  EXPECT_EQ(NextResult([&] { return kx::PeekSocket(accepted, -1, buffer); }), kx::NetworkPeerGone);
  kx::CloseServer(server);
}

// A difference of exactly N readings may be little more than N - 1 real
// seconds, so only a larger one ends a time-out of N.
TEST(NetworkClock, TimeOutEndsOnlyPastNWholeSeconds) {
  for (;;) {
    int32_t now = kx::NetworkSeconds();
    int atN = kx::NetworkTimedOut(now - 2, 2);
    int pastN = kx::NetworkTimedOut(now - 3, 2);
    if (kx::NetworkSeconds() != now) continue;  // the second changed meanwhile
    EXPECT_FALSE(atN);
    EXPECT_TRUE(pastN);
    break;
  }
  int32_t start = kx::NetworkSeconds();
  EXPECT_FALSE(kx::NetworkTimedOut(start, 2));
}

}  // namespace
