// A program on the core library alone: no debugger is linked, none starts,
// so the core's fallback shows the reports of its argument checks.  With the
// argument "fatal" it ends with a fatal report.
#include <cstdio>
#include <cstring>

#include "runtime/core/debugger_seam.h"
#include "runtime/core/memory.h"
#include "runtime/core/objects.h"

int main(int argc, char** argv) {
  kx::ObjectTable* table = kx::CreateObjectTable(16, 4, nullptr, "#Probe", 100);
  kx::CheckObject(table, 5);
  kx::CheckObjectNumber(table, 1000);
  kx::FreeBlock(kx::AllocateBlock(0));
  kx::ReportWarning("NullLength");
  printf("went on\n");
  fflush(stdout);
  if (argc > 1 && strcmp(argv[1], "fatal") == 0) kx::Report(kx::ReportKindFatal, "The probe cannot go on.");
  printf("not ended\n");
  return 0;
}
