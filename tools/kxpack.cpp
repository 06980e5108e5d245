// kxpack: the packer's commands from the command line.
//
//   kxpack [--progress] file   ARCHIVE FILE NAMING
//   kxpack [--progress] folder ARCHIVE FOLDER_WITH_PATTERN NAMING FOLDERMODE
//   kxpack [--progress] unpack ARCHIVE PATTERN DESTINATION KEEPPATHS
//
// Prints the command's result as its last line; with --progress every call of
// the progress callback before it, as the name, a tab and the percentage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/files/pack.h"
#include "runtime/runtime.h"

namespace {

void PrintProgress(const char* name, float percent) {
  std::printf("%s\t%.1f\n", name, static_cast<double>(percent));
}

int Usage() {
  std::fprintf(stderr,
               "usage: kxpack [--progress] file ARCHIVE FILE NAMING\n"
               "       kxpack [--progress] folder ARCHIVE FOLDER_WITH_PATTERN NAMING FOLDERMODE\n"
               "       kxpack [--progress] unpack ARCHIVE PATTERN DESTINATION KEEPPATHS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kx::RuntimeStart();
  bool progress = false;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--progress") == 0)
      progress = true;
    else
      args.push_back(argv[i]);
  }
  if (progress) kx::SetPackCallback(PrintProgress);

  int result = 0;
  if (args.size() == 4 && args[0] == "file") {
    result = kx::PackFile(args[1].c_str(), args[2].c_str(), std::atoi(args[3].c_str()));
  } else if (args.size() == 5 && args[0] == "folder") {
    result = kx::PackFolder(args[1].c_str(), args[2].c_str(), std::atoi(args[3].c_str()),
                            std::atoi(args[4].c_str()));
  } else if (args.size() == 5 && args[0] == "unpack") {
    result = kx::UnpackArchive(args[1].c_str(), args[2].c_str(), args[3].c_str(),
                               std::atoi(args[4].c_str()));
  } else {
    kx::RuntimeEnd();
    return Usage();
  }
  std::printf("%d\n", result);
  std::fflush(stdout);
  kx::RuntimeEnd();
  return 0;
}
