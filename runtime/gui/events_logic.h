// The rules of the event model that need no window system: the events a
// WM_SIZE kind queues, the tray event types and the focus walk's choice.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

// Events queued for a WM_SIZE of kind (SIZE_MINIMIZED, ...), in order, into
// events (room for 2); *minimisedOrMaximised is the window's flag, updated.
// Returns the count.
int SizeEvents(int kind, int32_t* minimisedOrMaximised, int32_t events[2]);

// Event type of a tray icon's mouse message, -1 for one that gives no event.
int32_t TrayEventType(UINT mouseMessage);

// Index of the control that Tab (forward) or Shift+Tab gives the focus to,
// among count candidates, from the current one (-1 = none); -1 when there
// are no candidates.  Both directions wrap around.
int NextFocusIndex(int count, int current, bool forward);

}  // namespace kx
