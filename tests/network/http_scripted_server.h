// A scripted HTTP server on 127.0.0.1 for the HTTP client's tests, for the
// responses real servers cannot be made to give, and the fixture the
// scripted tests share.
#pragma once

#include <windows.h>
#include <winsock.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "runtime/core/strings.h"
#include "runtime/network/http.h"
#include "runtime/network/network.h"
#include "tests/support/temp_folder.h"

namespace httptest {

struct Step {
  std::string bytes;
  int pauseBefore = 0;  // ms before these bytes go out
};

// Accepts one client, reads its request up to the empty line, plays the
// steps, then keeps the connection open for holdMs and closes it (with a
// reset instead of an orderly close when asked).  Its pauses are what the
// tests put the client through: a silent, slow or dripping server.
class ScriptedServer {
 public:
  ScriptedServer(std::vector<Step> steps, int holdMs = 0, bool reset = false)
      : steps_(std::move(steps)), hold_(holdMs), reset_(reset) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  ~ScriptedServer() { Join(); }

  int port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Whether the client's request has come in whole.
  bool asked() const { return asked_; }
  // Whether the server has closed the connection yet.
  bool closed() const { return closed_; }
  // The request as received (waits for the script to end).
  std::string request() {
    Join();
    return request_;
  }

 private:
  void Join() {
    if (thread_) {
      WaitForSingleObject(thread_, 30000);
      CloseHandle(thread_);
      thread_ = nullptr;
    }
    if (listener_ != INVALID_SOCKET) {
      closesocket(listener_);
      listener_ = INVALID_SOCKET;
    }
  }

  static DWORD WINAPI Run(void* self) {
    static_cast<ScriptedServer*>(self)->Serve();
    return 0;
  }

  void Serve() {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener_, &ready);
    timeval wait{20, 0};
    if (select(0, &ready, nullptr, nullptr, &wait) != 1) return;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    char piece[4096];
    while (request_.find("\r\n\r\n") == std::string::npos) {
      int n = recv(client, piece, sizeof piece, 0);
      if (n <= 0) break;
      request_.append(piece, n);
    }
    asked_ = true;
    bool gone = false;  // the client closed: the rest of the script is moot
    for (const Step& step : steps_) {
      if (gone) break;
      if (step.pauseBefore) Sleep(step.pauseBefore);
      size_t sent = 0;
      while (sent < step.bytes.size()) {
        int n = send(client, step.bytes.data() + sent, static_cast<int>(step.bytes.size() - sent), 0);
        if (n <= 0) {
          gone = true;
          break;
        }
        sent += n;
      }
      // A client that gave up shows as readable: its close (or reset).
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(client, &readable);
      timeval none{0, 0};
      char probe[64];
      if (!gone && select(0, &readable, nullptr, nullptr, &none) == 1 && recv(client, probe, sizeof probe, 0) <= 0)
        gone = true;
    }
    if (hold_) Sleep(hold_);
    closed_ = true;
    if (reset_) {
      linger abort{1, 0};  // closing then resets the connection
      setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    }
    closesocket(client);
  }

  std::vector<Step> steps_;
  int hold_;
  bool reset_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  HANDLE thread_ = nullptr;
  std::atomic<bool> closed_{false};
  std::atomic<bool> asked_{false};
  std::string request_;
};

class NetworkEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_NE(kx::InitNetwork(), 0); }
};
inline testing::Environment* const network = testing::AddGlobalTestEnvironment(new NetworkEnvironment);

inline std::string ReadAll(const std::string& path) { return kxtest::ReadBytes(path); }
using kxtest::Exists;

class Scripted : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    out_ = std::string(temp) + "velmora_http_scripted_" +
           testing::UnitTest::GetInstance()->current_test_info()->name();
    DeleteFileA(out_.c_str());
  }
  void TearDown() override { DeleteFileA(out_.c_str()); }

  int Download(ScriptedServer& server, const std::string& path = "/file") {
    return kx::HttpDownloadFile(server.Url(path).c_str(), out_.c_str());
  }
  std::string Header(const std::string& url) {
    int32_t mark = kx::GetStringMark();
    std::string text = kx::HttpQueryHeader(url.c_str(), mark);
    kx::SetStringMark(mark);
    return text;
  }

  std::string out_;
};

inline const char* const OkHead = "HTTP/1.1 200 OK\r\nServer: scripted\r\n";

// A plain listener that nobody serves: a request that is refused before
// anything is sent leaves no connection waiting on it.
class Listener {
 public:
  Listener() {
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(socket_, 4);
    int length = sizeof address;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { closesocket(socket_); }
  int port() const { return port_; }
  bool connected() {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket_, &ready);
    timeval none{0, 200000};
    return select(0, &ready, nullptr, nullptr, &none) > 0;
  }

 private:
  SOCKET socket_;
  int port_;
};

}  // namespace httptest
