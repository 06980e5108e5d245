#include "runtime/runtime.h"

namespace kx {

void RuntimeStart() {
  static bool started = false;
  if (started) return;
  started = true;
}

void RuntimeEnd() {}

}  // namespace kx
