// The limits every HTTP request keeps against a scripted server: the size of
// a response head, a server that drips, the program's stop request, and the
// cause of a failure that the application's messages show.
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/threads.h"
#include "tests/network/http_scripted_server.h"
#include "tests/support/wait_until.h"

namespace {

using namespace httptest;

// A head may take up to 64 KB; one that passes it fails at once, even while
// the server keeps the connection open, for a download and a header query.
TEST_F(Scripted, HeadsUpTo64KilobytesAreRead) {
  auto head = [](size_t size) {
    std::string text = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n";
    while (text.size() + 52 <= size - 2) text += "X-Filler: 0123456789012345678901234567890123456789\r\n";
    text += "X-Last: " + std::string(size - 2 - text.size() - 10, 'x') + "\r\n\r\n";
    return text;
  };
  ASSERT_EQ(head(65536).size(), 65536u);
  {
    ScriptedServer server({{head(65536) + "body"}}, 1500);
    ASSERT_EQ(Download(server), 1);
    EXPECT_EQ(ReadAll(out_), "body");
  }
  {
    DeleteFileA(out_.c_str());
    ScriptedServer server({{head(65537) + "body"}}, 3000);
    DWORD start = GetTickCount();
    EXPECT_EQ(Download(server), 0);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_FALSE(server.closed());
    EXPECT_EQ(kx::HttpLastFailure(), kx::HttpFailureBroken);
  }
  EXPECT_FALSE(Exists(out_));
  {
    ScriptedServer server({{head(65536)}}, 1500);
    EXPECT_EQ(Header(server.Url("/")), head(65536).substr(0, 1023));
  }
  {
    ScriptedServer server({{head(70000)}}, 3000);
    EXPECT_EQ(Header(server.Url("/")), "");
    EXPECT_FALSE(server.closed());
  }
}

std::string StatusLine() {
  int32_t mark = kx::GetStringMark();
  std::string text = kx::HttpLastStatusLine(mark);
  kx::SetStringMark(mark);
  return text;
}

// What the messages of the application say: the server's status line, a
// refused connection, and after a success no cause at all.
TEST_F(Scripted, EachRequestKeepsWhyItFailed) {
  {
    ScriptedServer server({{"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"}}, 1500);
    EXPECT_EQ(Download(server), 0);
    EXPECT_EQ(kx::HttpLastFailure(), kx::HttpFailureStatus);
    EXPECT_EQ(StatusLine(), "HTTP/1.1 404 Not Found");
  }
  int port = 0;
  {
    Listener closed;
    port = closed.port();
  }
  std::string refused = "http://127.0.0.1:" + std::to_string(port) + "/x";
  EXPECT_EQ(kx::HttpDownloadFile(refused.c_str(), out_.c_str()), 0);
  EXPECT_EQ(kx::HttpLastFailure(), kx::HttpFailureRefused);
  EXPECT_EQ(StatusLine(), "");
  EXPECT_EQ(Header(refused), "");
  EXPECT_EQ(kx::HttpLastFailure(), kx::HttpFailureRefused);
  {
    ScriptedServer server({{std::string(OkHead) + "Content-Length: 2\r\n\r\nok"}}, 1500);
    EXPECT_EQ(Download(server), 1);
    EXPECT_EQ(kx::HttpLastFailure(), kx::HttpFailureNone);
  }
  // Another thread's failure is not this thread's.
  std::thread other([&] { kx::HttpDownloadFile(refused.c_str(), out_.c_str()); });
  other.join();
  EXPECT_EQ(kx::HttpLastFailure(), kx::HttpFailureNone);
}

// A server that drips one byte per second never lets a read run out of
// time, but it delivers far less than 1 KB in 30 s: the download gives up
// after about 30 s (the code search's header query, through the program, in
// app_stoerungen_test).
TEST_F(Scripted, DrippingServerFailsAfterThirtySeconds) {
  std::vector<Step> drip;
  const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nServer: dripping, one byte per second\r\n\r\n";
  for (char c : answer) drip.push_back({std::string(1, c), 1000});
  ScriptedServer server(drip);
  DWORD start = GetTickCount();
  EXPECT_EQ(Download(server), 0);
  DWORD time = GetTickCount() - start;
  EXPECT_EQ(kx::HttpLastFailure(), kx::HttpFailureTimeOut);
  EXPECT_GE(time, 29000u);
  EXPECT_LT(time, 40000u);
  EXPECT_FALSE(Exists(out_));
}

// The program's stop request ends a request that waits on a silent server
// at once, in the thread it was asked of.
int32_t silentUrlPort = 0;
int32_t StoppedDownload(int32_t) {
  std::string url = "http://127.0.0.1:" + std::to_string(silentUrlPort) + "/file";
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  int32_t result = kx::HttpDownloadFile(url.c_str(), (std::string(temp) + "velmora_http_stopped").c_str());
  return result == 0 && kx::HttpLastFailure() == kx::HttpFailureStopped ? 7 : 1;
}

TEST_F(Scripted, StopRequestEndsAWaitingRequest) {
  ScriptedServer server({}, 4000);
  silentUrlPort = server.port();
  int32_t thread = kx::StartThread(StoppedDownload, 0);
  ASSERT_NE(thread, 0);
  ASSERT_TRUE(kxtest::WaitUntil([&] { return server.asked(); }, 5000));
  ASSERT_EQ(kx::ThreadRunning(thread), 1);
  HANDLE handle = kx::ThreadHandle(thread);
  HANDLE own = nullptr;
  DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
  DWORD start = GetTickCount();
  kx::RequestThreadStop(thread);
  ASSERT_EQ(WaitForSingleObject(own, 3000), WAIT_OBJECT_0);
  EXPECT_LT(GetTickCount() - start, 1000u);
  DWORD code = 0;
  GetExitCodeThread(own, &code);
  CloseHandle(own);
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(server.closed());
}

}  // namespace
