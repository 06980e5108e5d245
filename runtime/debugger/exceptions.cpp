// The top-level exception filter: a system exception of the program becomes
// a fatal report of group "SystemErrors".
#include <windows.h>

#include <cinttypes>
#include <cstdio>

#include "runtime/debugger/debugger_internal.h"

namespace kx {

const char* ExceptionKey(DWORD code, const EXCEPTION_RECORD* record) {
  switch (code) {
    case 0xC0000005:
      return record && record->NumberParameters >= 1 && record->ExceptionInformation[0] == 1
                 ? "InvalidMemoryWrite"
                 : "InvalidMemoryRead";
    case 0xC0000006: return "PageError";
    case 0xC000001D: case 0xC0000096: return "IllegalInstruction";
    case 0xC000008E: case 0xC0000094: return "DivisionByZero";
    case 0xC000008F: case 0xC0000090: return "FloatInvalid";
    case 0xC0000091: return "FloatOverflow";
    case 0xC0000092: case 0xC00000FD: return "StackOverflow";
    case 0xC0000093: return "FloatUnderflow";
    case 0xC0000095: return "IntegerOverflow";
    default: return nullptr;
  }
}

namespace {

LONG WINAPI TopLevelFilter(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
  if (!record) return EXCEPTION_CONTINUE_SEARCH;
  const char* key = ExceptionKey(record->ExceptionCode, record);
  if (!key) return EXCEPTION_CONTINUE_SEARCH;
  char text[512];
  if (record->ExceptionCode == 0xC0000005) {
    char address[24];
    snprintf(address, sizeof address, "%" PRIuPTR,
             uintptr_t(record->NumberParameters >= 2 ? record->ExceptionInformation[1] : 0));
    snprintf(text, sizeof text, CatalogText("SystemErrors", key), address);
  } else {
    snprintf(text, sizeof text, "%s", CatalogText("SystemErrors", key));
  }
  debugger::ReportKeyed(ReportKindFatal, "SystemErrors", key, text);
  ExitProgram(1);
}

}  // namespace

void InstallExceptionFilter() { SetUnhandledExceptionFilter(TopLevelFilter); }

}  // namespace kx
