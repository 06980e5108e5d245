// Command-line driver of the HTTP client.
//   kxhttp get URL FILE   downloads URL into FILE, prints the result (1 or 0)
//   kxhttp head URL       prints the response header of a HEAD request
// The exit code is 0 when the download succeeded or a header came back.
#include <cstdio>
#include <cstring>

#include "runtime/core/strings.h"
#include "runtime/network/http.h"
#include "runtime/network/network.h"
#include "runtime/runtime.h"

namespace {

int Usage() {
  fprintf(stderr,
          "usage: kxhttp get URL FILE   download URL into FILE, print 1 or 0\n"
          "       kxhttp head URL       print the response header\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kx::RuntimeStart();
  if (argc < 3) return Usage();
  const char* command = argv[1];
  const char* url = argv[2];
  int status = 2;
  if (strcmp(command, "get") == 0 && argc == 4) {
    kx::InitNetwork();
    int32_t result = kx::HttpDownloadFile(url, argv[3]);
    printf("%d\n", static_cast<int>(result));
    status = result == 1 ? 0 : 1;
  } else if (strcmp(command, "head") == 0 && argc == 3) {
    kx::InitNetwork();
    int32_t mark = kx::GetStringMark();
    const char* header = kx::HttpQueryHeader(url, mark);
    fputs(header, stdout);
    status = header[0] ? 0 : 1;
    kx::SetStringMark(mark);
  } else {
    return Usage();
  }
  fflush(stdout);
  kx::RuntimeEnd();
  return status;
}
