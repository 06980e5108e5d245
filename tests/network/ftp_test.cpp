// FTP client against a real pyftpdlib server (started by the CTest fixture of
// ftp_test.cmake), and against small scripted servers for the protocol
// corners a real server does not produce.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/objects.h"
#include "runtime/core/strings.h"
#include "runtime/network/ftp.h"
#include "runtime/network/network.h"
#include "support/report_recorder.h"
#include "support/temp_folder.h"

namespace {

// ---- paths and files -----------------------------------------------------------

using kxtest::WinePath;

std::string StateFolder() {
  const char* state = getenv("VELMORA_FTP_STATE");
  return state ? WinePath(state) : std::string();
}

std::string ReadWhole(const std::string& path) { return kxtest::ReadBytes(path); }

void WriteWhole(const std::string& path, const std::string& data) {
  ASSERT_TRUE(kxtest::WriteBytes(path, data)) << path;
}

std::string Pattern(size_t size, unsigned seed) {
  std::string data(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; i++) {
    x = x * 1664525u + 1013904223u;
    data[i] = static_cast<char>(x >> 24);
  }
  return data;
}

int ServerPortFromState() {
  std::string text = ReadWhole(StateFolder() + "\\port");
  return atoi(text.c_str());
}

// ---- a scripted server -----------------------------------------------------------

// Serves one control connection on a free loopback port; the script runs on
// its own thread with plain blocking winsock calls.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::function<void(ScriptedServer&)> script) {
    listener_ = Listen(&port_);
    thread_ = std::thread([this, script] {
      control_ = AcceptOne(listener_);
      if (control_ != INVALID_SOCKET) script(*this);
      finished_ = true;
    });
  }
  ~ScriptedServer() {
    Join();
    if (control_ != INVALID_SOCKET) closesocket(control_);
    if (data_ != INVALID_SOCKET) closesocket(data_);
    closesocket(listener_);
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  SOCKET control() const { return control_; }

  void Send(const std::string& text) { send(control_, text.data(), static_cast<int>(text.size()), 0); }

  // The next command line (without CR LF), or "<timeout>" / "<closed>".
  std::string ReadLine() {
    std::string line;
    for (;;) {
      if (!Readable(control_, 10)) return Record("<timeout>");
      char c;
      if (recv(control_, &c, 1, 0) <= 0) return Record("<closed>");
      if (c == '\n') return Record(line);
      if (c != '\r') line += c;
    }
  }

  // Expects a command starting with word and answers it.
  void Answer(const std::string& word, const std::string& reply) {
    if (ReadLine().rfind(word, 0) == 0) Send(reply);
  }

  void Login() {
    Send("220 Scripted server\r\n");
    AnswerLogin();
  }
  // USER and PASS after a greeting of the script's own.
  void AnswerLogin() {
    Answer("USER ", "331 Password please\r\n");
    Answer("PASS ", "230 Logged in\r\n");
  }

  // Login, binary type, a passive data port announced at `announced`, and a
  // STOR accepted with 150: the start that every passive upload script shares.
  void AcceptPassiveStore(const char* announced = "127,0,0,1") {
    Login();
    Answer("TYPE ", "200 Binary\r\n");
    std::string pasv = OpenDataPort(announced);
    Answer("PASV", pasv);
    Answer("STOR ", "150 Opening data connection\r\n");
  }
  // A passive data port on 127.0.0.1: the reply text to send for PASV,
  // announcing the port at the given address.
  std::string OpenDataPort(const char* announced = "127,0,0,1") {
    int port = 0;
    dataListener_ = Listen(&port);
    char reply[96];
    snprintf(reply, sizeof reply, "227 Entering Passive Mode (%s,%d,%d)\r\n", announced, port / 256, port % 256);
    return reply;
  }

  // Takes the data connection without reading from it.
  void AcceptData() {
    data_ = AcceptOne(dataListener_);
    closesocket(dataListener_);
    dataListener_ = INVALID_SOCKET;
  }

  // Active mode: reads the PORT command, answers it, and returns the address
  // and port it named.
  sockaddr_in AnswerPort() {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    int a[6] = {};
    std::string line = ReadLine();
    if (sscanf(line.c_str(), "PORT %d,%d,%d,%d,%d,%d", &a[0], &a[1], &a[2], &a[3], &a[4], &a[5]) != 6) return address;
    char host[32];
    snprintf(host, sizeof host, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    address.sin_addr.s_addr = inet_addr(host);
    address.sin_port = htons(static_cast<u_short>(a[4] * 256 + a[5]));
    Send("200 PORT command successful\r\n");
    return address;
  }

  // Active mode: connects to the client's data port (without reading).
  bool ConnectData(const sockaddr_in& address) {
    data_ = socket(AF_INET, SOCK_STREAM, 0);
    return connect(data_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }

  // Reads the data connection to its end.
  std::string ReadDataToEnd() {
    std::string data;
    char block[4096];
    int got;
    while (data_ != INVALID_SOCKET && (got = recv(data_, block, sizeof block, 0)) > 0) data.append(block, got);
    return data;
  }

  // Accepts the client's data connection and reads it to its end.
  std::string ReadData() {
    data_ = AcceptOne(dataListener_);
    closesocket(dataListener_);
    std::string data;
    char block[4096];
    int got;
    while (data_ != INVALID_SOCKET && (got = recv(data_, block, sizeof block, 0)) > 0) data.append(block, got);
    return data;
  }

  std::vector<std::string> lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  bool finished() const { return finished_; }

 private:
  static bool Readable(SOCKET s, int seconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {seconds, 0};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
  }
  static SOCKET Listen(int* port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(s, 4);
    int size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    *port = ntohs(address.sin_port);
    return s;
  }
  static SOCKET AcceptOne(SOCKET listener) {
    if (!Readable(listener, 10)) return INVALID_SOCKET;
    return accept(listener, nullptr, nullptr);
  }
  std::string Record(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    return line;
  }

  SOCKET listener_ = INVALID_SOCKET;
  SOCKET dataListener_ = INVALID_SOCKET;
  SOCKET control_ = INVALID_SOCKET;
  SOCKET data_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::atomic<bool> finished_{false};
};

intptr_t OpenScripted(ScriptedServer& server) {
  return kx::OpenFtp(kx::DynamicNumber, "127.0.0.1", "user", "pass", 1, server.port());
}

void EnsureNetwork() {
  if (!kx::NetworkInitialized()) {
    ASSERT_NE(kx::InitNetwork(), 0);
  }
}

// ---- checks --------------------------------------------------------------------

// Runs first in this program, before the network library is started.
TEST(FtpChecks, CommandsBeforeInitNetworkAreReported) {
  ASSERT_EQ(kx::NetworkInitialized(), 0);
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(kx::FtpProgress(3), 0);
  ASSERT_TRUE(recorder.has("InitNeeded"));
  EXPECT_EQ(recorder.reports()[0].text, "InitNetwork() must be called successfuly before using any FTP commands.");
}

TEST(FtpChecks, NumbersPortsAndMissingObjectsAreReported) {
  EnsureNetwork();
  kxtest::ReportRecorder recorder;
  EXPECT_EQ(kx::OpenFtp(10000, nullptr, "u", "p", 1, 21), 0);
  EXPECT_EQ(recorder.lastKey(), "HighNumber");
  EXPECT_EQ(recorder.lastText(), "#Ftp object number is very high (over 10000), are You sure of that ?");
  recorder.clear();
  EXPECT_EQ(kx::OpenFtp(1, "127.0.0.1", "u", "p", 1, 65536), 0);
  EXPECT_EQ(recorder.lastKey(), "InvalidPort");
  EXPECT_EQ(kx::FtpIsOpen(1), 0);  // a failed open leaves no object
  recorder.clear();

  EXPECT_EQ(kx::FtpChangeDirectory(42, "x"), 0);
  EXPECT_EQ(kx::FtpMakeDirectory(42, "x"), 0);
  EXPECT_EQ(kx::FtpUploadFile(42, "a", "b"), 0);
  EXPECT_EQ(kx::FtpProgress(42), 0);
  EXPECT_EQ(kx::FtpIsOpen(42), 0);
  kx::CloseFtp(42);
  ASSERT_EQ(recorder.count(), 6u);
  for (const auto& report : recorder.reports()) {
    EXPECT_EQ(report.key, "NoObject");
    EXPECT_EQ(report.text, "The specified #Ftp is not initialized.");
  }
}

// ---- the passive reply parser -------------------------------------------------

TEST(FtpPassiveReply, SixNumbersGiveHostAndPort) {
  char host[16];
  int port = 0;
  ASSERT_EQ(kx::ParsePassiveReply("227 Entering Passive Mode (192,168,0,5,19,137).", host, sizeof host, &port), 1);
  EXPECT_STREQ(host, "192.168.0.5");
  EXPECT_EQ(port, 5001);
  // Digits of the code itself do not count; any separators do.
  ASSERT_EQ(kx::ParsePassiveReply("227 =10 0 0 1 200 10", host, sizeof host, &port), 1);
  EXPECT_STREQ(host, "10.0.0.1");
  EXPECT_EQ(port, 200 * 256 + 10);
}

TEST(FtpPassiveReply, ShortOrOutOfRangeRepliesFail) {
  char host[16];
  int port = 0;
  EXPECT_EQ(kx::ParsePassiveReply("227 Entering Passive Mode (127,0,0,1,19).", host, sizeof host, &port), 0);
  EXPECT_EQ(kx::ParsePassiveReply("227", host, sizeof host, &port), 0);
  EXPECT_EQ(kx::ParsePassiveReply(nullptr, host, sizeof host, &port), 0);
  EXPECT_EQ(kx::ParsePassiveReply("227 (1270,0,0,1,19,137)", host, sizeof host, &port), 0);
  EXPECT_EQ(kx::ParsePassiveReply("227 (127,0,0,1,19,99999999999999999999)", host, sizeof host, &port), 0);
}

// ---- scripted servers ------------------------------------------------------------

class FtpScripted : public testing::Test {
 protected:
  void SetUp() override { EnsureNetwork(); }
};

TEST_F(FtpScripted, GreetingInTwoReadsIsConsumedWhole) {
  // Cut once after a continuation line and once inside a line.
  for (const char* cut : {"220-Welcome\r\n220-to the server\r\n", "220-Welcome\r\n220-to the ser"}) {
    std::string first = cut;
    std::string rest = std::string("220-Welcome\r\n220-to the server\r\n220 Ready\r\n").substr(first.size());
    ScriptedServer server([&](ScriptedServer& s) {
      s.Send(first);
      Sleep(200);
      s.Send(rest);
      s.AnswerLogin();
      s.ReadLine();
    });
    intptr_t ftp = OpenScripted(server);
    EXPECT_NE(ftp, 0) << cut;
    if (ftp) kx::CloseFtp(ftp);
    server.Join();
    auto lines = server.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "USER user");
    EXPECT_EQ(lines[1], "PASS pass");
  }
}

TEST_F(FtpScripted, OverlongAndManyGreetingLinesAreHandledSafely) {
  ScriptedServer server([&](ScriptedServer& s) {
    std::string greeting = "220-" + std::string(3000, 'x') + "\r\n";
    for (int i = 0; i < 300; i++) greeting += "220-line " + std::to_string(i) + "\r\n";
    greeting += "220-" + std::string(6000, 'y') + "\r\n220 Ready\r\n";
    s.Send(greeting);
    s.AnswerLogin();
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  EXPECT_NE(ftp, 0);
  if (ftp) kx::CloseFtp(ftp);
  server.Join();
  ASSERT_GE(server.lines().size(), 2u);
  EXPECT_EQ(server.lines()[0], "USER user");
}

TEST_F(FtpScripted, LoginWithoutPasswordIsRefused) {
  ScriptedServer server([&](ScriptedServer& s) {
    s.Send("220 Ready\r\n");
    s.Answer("USER ", "230 Come in, no password needed\r\n");
    s.ReadLine();
  });
  EXPECT_EQ(OpenScripted(server), 0);
  server.Join();
  auto lines = server.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "USER user");
  EXPECT_EQ(lines[1], "<closed>");  // no PASS, connection dropped
}

TEST_F(FtpScripted, DirectoryCommandsOnTheWire) {
  std::string raw;
  ScriptedServer server([&](ScriptedServer& s) {
    s.Login();
    // The raw bytes of the CDUP line, terminator included.
    char bytes[6] = {};
    int got = 0;
    while (got < 6) {
      int n = recv(s.control(), bytes + got, 6 - got, 0);
      if (n <= 0) break;
      got += n;
    }
    raw.assign(bytes, got);
    s.Send("250 Okay\r\n");
    s.Answer("CDUP", "200 Command okay\r\n");  // the code RFC 959 gives CDUP
    s.Answer("CWD ", "550 No such directory\r\n");
    s.Answer("MKD ", "257 \"new\" created\r\n");
    s.Answer("CWD ", "250-Directory changed\r\n250 Okay\r\n");
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  ASSERT_NE(ftp, 0);
  EXPECT_EQ(kx::FtpChangeDirectory(ftp, ".."), 1);
  EXPECT_EQ(kx::FtpChangeDirectory(ftp, ".."), 1);
  EXPECT_EQ(kx::FtpChangeDirectory(ftp, "missing"), 0);
  EXPECT_EQ(kx::FtpMakeDirectory(ftp, "new"), 1);
  EXPECT_EQ(kx::FtpChangeDirectory(ftp, "new"), 1);
  EXPECT_EQ(kx::FtpChangeDirectory(ftp, nullptr), 0);
  // Never sent: a line break would smuggle in a second command, and a name
  // too long for the command line would lose its end and the terminator.
  EXPECT_EQ(kx::FtpMakeDirectory(ftp, "bad\r\nDELE x"), 0);
  EXPECT_EQ(kx::FtpMakeDirectory(ftp, std::string(1100, 'n').c_str()), 0);
  kx::CloseFtp(ftp);
  server.Join();
  EXPECT_EQ(raw, "CDUP\r\n");
  auto lines = server.lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[2], "CDUP");
  EXPECT_EQ(lines[3], "CWD missing");
  EXPECT_EQ(lines[4], "MKD new");
  EXPECT_EQ(lines[5], "CWD new");
  EXPECT_EQ(lines[6], "<closed>");
}

class FtpScriptedUpload : public FtpScripted {
 protected:
  void SetUp() override {
    FtpScripted::SetUp();
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    local = std::string(folder) + "kx_ftp_scripted_" + std::to_string(GetCurrentProcessId()) + ".bin";
    WriteWhole(local, "hello, server");
  }
  void TearDown() override { DeleteFileA(local.c_str()); }
  std::string local;
};

TEST_F(FtpScriptedUpload, PassiveReplyWithFewerThanSixNumbersFails) {
  ScriptedServer server([&](ScriptedServer& s) {
    s.Login();
    s.Answer("TYPE ", "200 Binary\r\n");
    s.Answer("PASV", "227 Entering Passive Mode (127,0,0,1,19)\r\n");
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  ASSERT_NE(ftp, 0);
  EXPECT_EQ(kx::FtpUploadFile(ftp, local.c_str(), "file.bin"), 0);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressFailed);
  kx::CloseFtp(ftp);
  server.Join();
  auto lines = server.lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "TYPE I");
  EXPECT_EQ(lines[3], "PASV");
  EXPECT_EQ(lines[4], "<closed>");  // no STOR
}

TEST_F(FtpScriptedUpload, StoreRefusedFailsWithoutWaitingForAFinalReply) {
  ScriptedServer server([&](ScriptedServer& s) {
    s.Login();
    s.Answer("TYPE ", "200 Binary\r\n");
    std::string pasv = s.OpenDataPort();
    s.Answer("PASV", pasv);
    s.Answer("STOR ", "550 Permission denied\r\n");
    // The next command arrives at once: nobody waits for another reply.
    s.Answer("MKD ", "257 \"after\" created\r\n");
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  ASSERT_NE(ftp, 0);
  EXPECT_EQ(kx::FtpUploadFile(ftp, local.c_str(), "file.bin"), 0);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressFailed);
  EXPECT_EQ(kx::FtpMakeDirectory(ftp, "after"), 1);
  kx::CloseFtp(ftp);
  server.Join();
  auto lines = server.lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[4], "STOR file.bin");
  EXPECT_EQ(lines[5], "MKD after");
}

TEST_F(FtpScriptedUpload, FinalReplyReportingFailureFailsTheUpload) {
  std::string received;
  ScriptedServer server([&](ScriptedServer& s) {
    s.AcceptPassiveStore();
    received = s.ReadData();
    s.Send("451 Local error in processing\r\n");
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  ASSERT_NE(ftp, 0);
  EXPECT_EQ(kx::FtpUploadFile(ftp, local.c_str(), "file.bin"), 0);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressFailed);
  kx::CloseFtp(ftp);
  server.Join();
  EXPECT_EQ(received, "hello, server");
}

// The record behind an open object, for the tests that shorten time-outs.
kx::FtpObject* Record(intptr_t ftp) { return reinterpret_cast<kx::FtpObject*>(kx::FtpIsOpen(ftp)); }

double SecondsSince(DWORD start) { return (GetTickCount() - start) / 1000.0; }

TEST_F(FtpScriptedUpload, UnfinishedFinalReplyFailsWithinOneControlTimeOut) {
  ScriptedServer server([&](ScriptedServer& s) {
    s.AcceptPassiveStore();
    s.ReadData();
    s.Send("226-Transfer complete,\r\n");  // and the last line never comes
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  ASSERT_NE(ftp, 0);
  Record(ftp)->timeout = 3;
  DWORD start = GetTickCount();
  EXPECT_EQ(kx::FtpUploadFile(ftp, local.c_str(), "file.bin"), 0);
  // One control time-out is 3 to 4 s; one per line would be twice that.
  EXPECT_LT(SecondsSince(start), 5.5);
  kx::CloseFtp(ftp);
}

TEST_F(FtpScriptedUpload, PassiveDataGoesToTheControlPeerNotTheAnnouncedAddress) {
  // The data port listens on 127.0.0.1 only; the reply names 127.0.0.2.
  std::string received;
  ScriptedServer server([&](ScriptedServer& s) {
    s.AcceptPassiveStore("127,0,0,2");
    received = s.ReadData();
    s.Send("226 Transfer complete\r\n");
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  ASSERT_NE(ftp, 0);
  EXPECT_EQ(kx::FtpUploadFile(ftp, local.c_str(), "file.bin"), 1);
  kx::CloseFtp(ftp);
  server.Join();
  EXPECT_EQ(received, "hello, server");
}

TEST_F(FtpScriptedUpload, ActiveModeTakesTheDataConnectionOnlyFromTheControlPeer) {
  std::string received, stranger;
  bool strangerClosed = false, otherAddressRefused = false;
  ScriptedServer active([&](ScriptedServer& s) {
    s.Login();
    s.Answer("TYPE ", "200 Binary\r\n");
    sockaddr_in port = s.AnswerPort();
    s.Answer("STOR ", "150 Opening data connection\r\n");
    // Another program on this machine, from another loopback address, is
    // first at the data port: it is cut off and sees none of the file.
    SOCKET other = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from = {};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr("127.0.0.2");
    bind(other, reinterpret_cast<sockaddr*>(&from), sizeof from);
    if (connect(other, reinterpret_cast<sockaddr*>(&port), sizeof port) == 0) {
      char block[256];
      int got;
      while ((got = recv(other, block, sizeof block, 0)) > 0) stranger.append(block, got);
      strangerClosed = got == 0 || got < 0;
    }
    closesocket(other);
    // The port listens on the control connection's address alone.
    sockaddr_in elsewhere = port;
    elsewhere.sin_addr.s_addr = inet_addr("127.0.0.3");
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    otherAddressRefused = connect(probe, reinterpret_cast<sockaddr*>(&elsewhere), sizeof elsewhere) != 0;
    closesocket(probe);
    if (s.ConnectData(port)) received = s.ReadDataToEnd();
    s.Send("226 Transfer complete\r\n");
    s.ReadLine();
  });
  intptr_t ftp = kx::OpenFtp(kx::DynamicNumber, "127.0.0.1", "user", "pass", 0, active.port());
  ASSERT_NE(ftp, 0);
  EXPECT_EQ(kx::FtpUploadFile(ftp, local.c_str(), "file.bin"), 1);
  kx::CloseFtp(ftp);
  active.Join();
  EXPECT_TRUE(strangerClosed);
  EXPECT_EQ(stranger, "");
  EXPECT_TRUE(otherAddressRefused);
  EXPECT_EQ(received, "hello, server");
}

// A server that takes the data connection and never reads from it.
class FtpStalledData : public FtpScripted, public testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    FtpScripted::SetUp();
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    local = std::string(folder) + "kx_ftp_stalled_" + std::to_string(GetCurrentProcessId()) + ".bin";
    WriteWhole(local, Pattern(48u << 20, 5));  // far more than the socket buffers hold
  }
  void TearDown() override { DeleteFileA(local.c_str()); }
  std::string local;
};

TEST_P(FtpStalledData, UploadFailsAfterTheDataTimeOut) {
  const int passive = GetParam();
  ScriptedServer server([&](ScriptedServer& s) {
    s.Login();
    s.Answer("TYPE ", "200 Binary\r\n");
    if (passive) {
      std::string pasv = s.OpenDataPort();
      s.Answer("PASV", pasv);
      s.Answer("STOR ", "150 Opening data connection\r\n");
      s.AcceptData();
    } else {
      sockaddr_in port = s.AnswerPort();
      s.Answer("STOR ", "150 Opening data connection\r\n");
      s.ConnectData(port);
    }
    s.ReadLine();  // until the client gives up and closes
  });
  intptr_t ftp = kx::OpenFtp(kx::DynamicNumber, "127.0.0.1", "user", "pass", passive, server.port());
  ASSERT_NE(ftp, 0);
  Record(ftp)->dataTimeout = 2;
  Record(ftp)->timeout = 2;
  DWORD start = GetTickCount();
  EXPECT_EQ(kx::FtpUploadFile(ftp, local.c_str(), "file.bin"), 0);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressFailed);
  // The data time-out and then the wait for the final reply, each 2 to 3 s.
  EXPECT_LT(SecondsSince(start), 9.0);
  kx::CloseFtp(ftp);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpStalledData, testing::Values(1, 0),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(info.param ? "Passive" : "Active");
                         });

TEST_F(FtpScriptedUpload, MissingLocalFileSendsNothing) {
  ScriptedServer server([&](ScriptedServer& s) {
    s.Login();
    s.ReadLine();
  });
  intptr_t ftp = OpenScripted(server);
  ASSERT_NE(ftp, 0);
  EXPECT_EQ(kx::FtpUploadFile(ftp, (local + ".missing").c_str(), "file.bin"), 0);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressFailed);
  EXPECT_EQ(kx::FtpUploadFile(ftp, nullptr, "file.bin"), 0);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressFailed);  // untouched by null names
  kx::CloseFtp(ftp);
  server.Join();
  auto lines = server.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "<closed>");
}

// ---- the real server -------------------------------------------------------------

// Each case works in its own folder below the server's root.
class FtpRealServer : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    EnsureNetwork();
    state = StateFolder();
    ASSERT_FALSE(state.empty()) << "VELMORA_FTP_STATE not set (run through ctest)";
    port = ServerPortFromState();
    ASSERT_GT(port, 0);
    passive = GetParam();
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    folder = std::string(info->name());
    for (char& c : folder)
      if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    ftp = kx::OpenFtp(kx::DynamicNumber, "127.0.0.1", "velmora", "secret", passive, port);
    ASSERT_NE(ftp, 0);
    ASSERT_EQ(kx::FtpMakeDirectory(ftp, folder.c_str()), 1);
    ASSERT_EQ(kx::FtpChangeDirectory(ftp, folder.c_str()), 1);
  }
  void TearDown() override {
    if (ftp) kx::CloseFtp(ftp);
  }
  std::string Local(const std::string& name) { return state + "\\local\\" + folder + "_" + name; }
  std::string Remote(const std::string& path) {
    std::string p = state + "\\root\\" + folder + "\\" + path;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  std::string state;
  std::string folder;
  int port = 0;
  int passive = 1;
  intptr_t ftp = 0;
};

TEST_P(FtpRealServer, NestedFoldersUpAndDownAndAnEmptyFile) {
  ASSERT_EQ(kx::FtpMakeDirectory(ftp, "outer"), 1);
  ASSERT_EQ(kx::FtpChangeDirectory(ftp, "outer"), 1);
  ASSERT_EQ(kx::FtpMakeDirectory(ftp, "inner"), 1);
  ASSERT_EQ(kx::FtpChangeDirectory(ftp, "inner"), 1);
  WriteWhole(Local("empty"), "");
  EXPECT_EQ(kx::FtpUploadFile(ftp, Local("empty").c_str(), "empty.bin"), 1);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressDone);
  EXPECT_EQ(ReadWhole(Remote("outer/inner/empty.bin")), "");
  EXPECT_TRUE(kxtest::Exists(Remote("outer/inner/empty.bin")));

  ASSERT_EQ(kx::FtpChangeDirectory(ftp, ".."), 1);
  std::string small = Pattern(4096 * 3 + 17, 3);
  WriteWhole(Local("small"), small);
  EXPECT_EQ(kx::FtpUploadFile(ftp, Local("small").c_str(), "small.bin"), 1);
  EXPECT_EQ(ReadWhole(Remote("outer/small.bin")), small);

  EXPECT_EQ(kx::FtpChangeDirectory(ftp, "does-not-exist"), 0);
  EXPECT_EQ(kx::FtpMakeDirectory(ftp, "inner"), 0);  // exists already
  // The connection is still in step after the refusals.
  EXPECT_EQ(kx::FtpChangeDirectory(ftp, "inner"), 1);
  EXPECT_EQ(kx::FtpUploadFile(ftp, Local("small").c_str(), "again.bin"), 1);
  EXPECT_EQ(ReadWhole(Remote("outer/inner/again.bin")), small);
}

TEST_P(FtpRealServer, LargeFileArrivesByteForByteWhileProgressIsPolled) {
  const size_t size = 20u << 20;
  std::string data = Pattern(size, 20 + passive);
  WriteWhole(Local("large"), data);

  std::atomic<bool> done{false};
  std::vector<int32_t> seen;
  std::thread watcher([&] {
    while (!done) {
      int32_t value = kx::FtpProgress(ftp);
      if (seen.empty() || seen.back() != value) seen.push_back(value);
      Sleep(1);
    }
  });
  int result = kx::FtpUploadFile(ftp, Local("large").c_str(), "large.bin");
  done = true;
  watcher.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressDone);

  // Bytes counted up in whole blocks, seen from the other thread midway.
  int32_t last = -1;
  int midway = 0;
  for (int32_t value : seen) {
    if (value < 0) continue;
    EXPECT_GE(value, last);
    EXPECT_TRUE(value % 4096 == 0 || value == static_cast<int32_t>(size)) << value;
    if (value > 0 && value < static_cast<int32_t>(size)) midway++;
    last = value;
  }
  EXPECT_GT(midway, 0);

  std::string arrived = ReadWhole(Remote("large.bin"));
  EXPECT_EQ(arrived.size(), size);
  EXPECT_TRUE(arrived == data);
  DeleteFileA(Local("large").c_str());
}

TEST_P(FtpRealServer, RefusedStoreFailsAndTheSessionGoesOn) {
  WriteWhole(Local("x"), "x");
  // pyftpdlib answers STOR into a missing folder with 550.
  EXPECT_EQ(kx::FtpUploadFile(ftp, Local("x").c_str(), "no/such/folder/x.bin"), 0);
  EXPECT_EQ(kx::FtpProgress(ftp), kx::FtpProgressFailed);
  EXPECT_EQ(kx::FtpUploadFile(ftp, Local("x").c_str(), "x.bin"), 1);
  EXPECT_EQ(ReadWhole(Remote("x.bin")), "x");
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpRealServer, testing::Values(1, 0),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(info.param ? "Passive" : "Active");
                         });

TEST(FtpRealLogin, WrongPasswordLeavesNoObject) {
  EnsureNetwork();
  int port = ServerPortFromState();
  ASSERT_GT(port, 0);
  kxtest::ReportRecorder recorder;  // FtpIsOpen reports the missing object
  EXPECT_EQ(kx::OpenFtp(5, "127.0.0.1", "velmora", "wrong", 1, port), 0);
  // No object, but the calling thread learns the server's refusal.
  EXPECT_EQ(kx::FtpLastReplyCode(5), 530);
  EXPECT_EQ(std::string(kx::FtpLastReply(5, kx::GetStringMark())).substr(0, 4), "530 ");
  EXPECT_EQ(kx::FtpIsOpen(5), 0);
  intptr_t record = kx::OpenFtp(5, "127.0.0.1", "velmora", "secret", 1, port);
  ASSERT_NE(record, 0);
  EXPECT_EQ(kx::FtpIsOpen(5), record);
  kx::CloseFtp(5);
  EXPECT_EQ(kx::FtpIsOpen(5), 0);
}

// Nobody listening at the port: the open fails at once, and says so.
TEST(FtpRealLogin, RefusedConnectionIsTheCauseOfAFailedOpen) {
  EnsureNetwork();
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  int length = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
  closesocket(s);  // the port is free and nobody listens
  EXPECT_EQ(kx::OpenFtp(6, "127.0.0.1", "velmora", "secret", 1, ntohs(a.sin_port)), 0);
  EXPECT_EQ(kx::FtpLastReplyCode(6), kx::FtpReplyRefused);
  EXPECT_EQ(kx::LastConnectFailure(), kx::NetworkConnectRefused);
}

// ---- the command-line driver ------------------------------------------------------

// Runs a program with its output captured; the exit code, -1 if it did not run.
int RunCaptured(const std::string& commandLine, std::string* output) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return -1;
  }
  char block[4096];
  DWORD got;
  while (ReadFile(readEnd, block, sizeof block, &got, nullptr) && got > 0) output->append(block, got);
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}

TEST(FtpDriver, KxftpRunsStepsAndStopsAtTheFirstFailure) {
  const char* binary = getenv("VELMORA_BINARY_DIR");
  ASSERT_NE(binary, nullptr);
  std::string tool = WinePath(std::string(binary) + "/tools/kxftp.exe");
  int port = ServerPortFromState();
  ASSERT_GT(port, 0);
  std::string local = StateFolder() + "\\local\\driver.bin";
  std::string data = Pattern(100000, 9);
  WriteWhole(local, data);
  std::string base = "\"" + tool + "\" 127.0.0.1 " + std::to_string(port) + " velmora secret ";

  std::string output;
  int code = RunCaptured(base + "--active --progress mkdir driver cd driver put \"" + local + "\" copy.bin", &output);
  EXPECT_EQ(code, 0) << output;
  EXPECT_NE(output.find("login velmora@127.0.0.1:" + std::to_string(port) + " (active): ok"), std::string::npos);
  EXPECT_NE(output.find("cd driver: ok"), std::string::npos) << output;
  EXPECT_NE(output.find("copy.bin: ok (100000 bytes"), std::string::npos) << output;
  EXPECT_NE(output.find("progress -3"), std::string::npos) << output;
  EXPECT_EQ(ReadWhole(StateFolder() + "\\root\\driver\\copy.bin"), data);

  output.clear();
  code = RunCaptured(base + "cd missing put \"" + local + "\" never.bin", &output);
  EXPECT_EQ(code, 1);
  EXPECT_NE(output.find("cd missing: failed"), std::string::npos) << output;
  EXPECT_EQ(output.find("never.bin"), std::string::npos) << output;

  output.clear();
  EXPECT_EQ(RunCaptured(base + "rm x", &output), 2);
}

}  // namespace
