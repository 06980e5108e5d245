// kxftp: drives the runtime's FTP client from the command line.
//
//   kxftp HOST PORT USER PASSWORD [--active] [--progress] STEP...
//   STEP:  cd DIR | mkdir NAME | put LOCAL REMOTE
//
// Logs in (passive mode unless --active), runs the steps in order and prints
// each one's result; stops at the first step that fails.  With --progress a
// second thread samples the upload's byte counter while a put runs and prints
// each new value with the seconds since the put began.
// Exit code: 0 all steps done, 1 a step or the log-in failed, 2 bad usage.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/objects.h"
#include "runtime/network/ftp.h"
#include "runtime/network/network.h"
#include "runtime/runtime.h"

namespace {

struct Step {
  std::string command;
  std::string first;
  std::string second;
};

int Usage() {
  fprintf(stderr,
          "usage: kxftp HOST PORT USER PASSWORD [--active] [--progress] STEP...\n"
          "  STEP: cd DIR | mkdir NAME | put LOCAL REMOTE\n");
  return 2;
}

long long FileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int Put(intptr_t ftp, const Step& step, bool progress) {
  std::atomic<bool> done{false};
  std::thread sampler;
  if (progress) {
    sampler = std::thread([&] {
      int32_t last = 0;
      DWORD begun = GetTickCount();
      while (!done) {
        int32_t value = kx::FtpProgress(ftp);
        if (value != last) {
          // With the time since the put began: a stall shows as a gap.
          printf("  progress %ld at %.1f s\n", static_cast<long>(value), (GetTickCount() - begun) / 1000.0);
          fflush(stdout);
          last = value;
        }
        Sleep(100);
      }
    });
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int result = kx::FtpUploadFile(ftp, step.first.c_str(), step.second.c_str());
  QueryPerformanceCounter(&end);
  done = true;
  if (sampler.joinable()) {
    sampler.join();
    printf("  progress %ld\n", static_cast<long>(kx::FtpProgress(ftp)));
  }

  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  long long size = FileSize(step.first.c_str());
  if (result) {
    double rate = seconds > 0 ? size / seconds / 1e6 : 0;
    printf("put %s %s: ok (%lld bytes in %.3f s, %.1f MB/s)\n", step.first.c_str(), step.second.c_str(), size,
           seconds, rate);
  } else {
    printf("put %s %s: failed (progress %ld)\n", step.first.c_str(), step.second.c_str(),
           static_cast<long>(kx::FtpProgress(ftp)));
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return Usage();
  const char* host = argv[1];
  char* end = nullptr;
  long port = strtol(argv[2], &end, 10);
  if (!*argv[2] || *end || port < 0 || port > 65535) {
    fprintf(stderr, "kxftp: bad port '%s'\n", argv[2]);
    return 2;
  }
  const char* user = argv[3];
  const char* password = argv[4];

  bool passive = true;
  bool progress = false;
  std::vector<Step> steps;
  for (int i = 5; i < argc; i++) {
    std::string word = argv[i];
    if (word == "--active") {
      passive = false;
    } else if (word == "--progress") {
      progress = true;
    } else if ((word == "cd" || word == "mkdir") && i + 1 < argc) {
      steps.push_back({word, argv[i + 1], ""});
      i += 1;
    } else if (word == "put" && i + 2 < argc) {
      steps.push_back({word, argv[i + 1], argv[i + 2]});
      i += 2;
    } else {
      fprintf(stderr, "kxftp: bad step '%s'\n", argv[i]);
      return Usage();
    }
  }

  kx::RuntimeStart();
  if (!kx::InitNetwork()) {
    fprintf(stderr, "kxftp: the socket library did not start\n");
    kx::RuntimeEnd();
    return 1;
  }
  intptr_t ftp = kx::OpenFtp(kx::DynamicNumber, host, user, password, passive ? 1 : 0, static_cast<int>(port));
  if (!ftp) {
    printf("login %s@%s:%ld (%s): failed\n", user, host, port, passive ? "passive" : "active");
    kx::RuntimeEnd();
    return 1;
  }
  printf("login %s@%s:%ld (%s): ok\n", user, host, port, passive ? "passive" : "active");
  fflush(stdout);

  int status = 0;
  for (const Step& step : steps) {
    int result;
    if (step.command == "put") {
      result = Put(ftp, step, progress);
    } else {
      result = step.command == "cd" ? kx::FtpChangeDirectory(ftp, step.first.c_str())
                                    : kx::FtpMakeDirectory(ftp, step.first.c_str());
      printf("%s %s: %s\n", step.command.c_str(), step.first.c_str(), result ? "ok" : "failed");
    }
    fflush(stdout);
    if (!result) {
      status = 1;
      break;
    }
  }
  kx::CloseFtp(ftp);
  kx::RuntimeEnd();
  return status;
}
