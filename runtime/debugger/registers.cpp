// Names and lookups of the saved register record, and its capture.
#include "runtime/debugger/registers.h"

#include <windows.h>

namespace kx {

namespace {

#if defined(_WIN64)
const char* const Names[SavedRegisterCount] = {"RAX", "RDX", "RBX", "RCX", "RSI", "RDI", "RBP", "RSP", "FLAGS"};
#else
const char* const Names[SavedRegisterCount] = {"EAX", "EDX", "EBX", "ECX", "ESI", "EDI", "EBP", "ESP", "FLAGS"};
#endif

}  // namespace

const char* RegisterName(int index) { return index >= 0 && index < SavedRegisterCount ? Names[index] : ""; }

uintptr_t* RegisterAt(SavedRegisters* registers, int index) {
  if (!registers) return nullptr;
  switch (index) {
    case 0: return &registers->ax;
    case 1: return &registers->dx;
    case 2: return &registers->bx;
    case 3: return &registers->cx;
    case 4: return &registers->si;
    case 5: return &registers->di;
    case 6: return &registers->bp;
    case 7: return &registers->sp;
    case 8: return &registers->flags;
    default: return nullptr;
  }
}

int FindRegister(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < SavedRegisterCount; ++i) {
    if (lstrcmpiA(name, Names[i]) == 0) return i;
  }
  return -1;
}

void CaptureRegisters(SavedRegisters* registers) {
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_FULL;
  RtlCaptureContext(&context);
#if defined(_WIN64)
  *registers = {context.Rax, context.Rdx, context.Rbx, context.Rcx, context.Rsi,
                context.Rdi, context.Rbp, context.Rsp, context.EFlags};
#else
  *registers = {context.Eax, context.Edx, context.Ebx, context.Ecx, context.Esi,
                context.Edi, context.Ebp, context.Esp, context.EFlags};
#endif
}

}  // namespace kx
