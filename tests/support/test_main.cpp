// Entry of every test program: the runtime is started as the program would
// start it, then GoogleTest runs.
#include <gtest/gtest.h>

#include "runtime/runtime.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  kx::RuntimeStart();
  int result = RUN_ALL_TESTS();
  kx::RuntimeEnd();
  return result;
}
