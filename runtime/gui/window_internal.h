// Shared between the parts of the window library (not for other libraries).
#pragma once

#include <cstdint>

namespace kx {

struct ObjectTable;

ObjectTable* WindowTable();
// Start and end of the event part (per-thread records, the main thread's event data).
void EventsStart();
void EventsEnd();
// "NeedOneWindow" when no window is open.
void CheckOneWindow();

}  // namespace kx
