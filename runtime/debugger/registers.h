// The processor registers a stopped line saved: the caller of the line hook
// passes them, the front-ends show and change them, and the line resumes
// with what they hold then.  32-bit registers in the 32-bit build, 64-bit
// registers in the 64-bit build.
#pragma once

#include <cstdint>

namespace kx {

struct SavedRegisters {
  uintptr_t ax, dx, bx, cx, si, di, bp, sp;
  uintptr_t flags;
};

constexpr int SavedRegisterCount = 9;
constexpr int SavedRegisterSize = int(sizeof(uintptr_t));

// Names in the order of the record: "EAX" ... "ESP", "FLAGS" (32-bit build),
// "RAX" ... "RSP", "FLAGS" (64-bit build).
const char* RegisterName(int index);
// The register of that index in the record, nullptr for another index.
uintptr_t* RegisterAt(SavedRegisters* registers, int index);
// Index of a register name (any case), -1 if none.
int FindRegister(const char* name);

// Fills the record from the calling code's registers (its caller's frame).
void CaptureRegisters(SavedRegisters* registers);

}  // namespace kx
