#include "runtime/runtime.h"

#include "runtime/files/pack.h"

namespace kx {

void RuntimeStart() {
  static bool started = false;
  if (started) return;
  started = true;
  PackerStart();
}

void RuntimeEnd() {
  PackerEnd();
}

}  // namespace kx
