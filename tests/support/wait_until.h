// The one way a test waits: for a condition, up to a time-out.  A fixed
// pause belongs only where the behaviour under test is itself a pause.
#pragma once

#include <windows.h>

namespace kxtest {

// Asks condition() until it holds (true) or timeoutMs have passed (false;
// the condition is asked once more at the end).  Between two questions the
// thread pauses up to 5 ms (short, as a test may race the program to a
// state), and less when a window message waits for it: a condition that
// processes messages itself (a runtime's event wait, a message pump) is asked
// again as soon as there is something to process.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return bool(condition());
    MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace kxtest
