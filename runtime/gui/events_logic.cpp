#include "runtime/gui/events_logic.h"

#include "runtime/gui/events.h"

namespace kx {

int SizeEvents(int kind, int32_t* minimisedOrMaximised, int32_t events[2]) {
  switch (kind) {
    case SIZE_MINIMIZED:
      *minimisedOrMaximised = 1;
      events[0] = EventKindMinimize;
      return 1;
    case SIZE_MAXIMIZED:
      *minimisedOrMaximised = 1;
      events[0] = EventKindMaximize;
      events[1] = EventKindSize;
      return 2;
    case SIZE_RESTORED:
      if (*minimisedOrMaximised) {
        *minimisedOrMaximised = 0;
        events[0] = EventKindRestore;
        events[1] = EventKindSize;
        return 2;
      }
      events[0] = EventKindSize;
      return 1;
    default:
      events[0] = EventKindSize;
      return 1;
  }
}

int32_t TrayEventType(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDOWN: return 0;
    case WM_RBUTTONDOWN: return 1;
    case WM_LBUTTONDBLCLK: return 2;
    case WM_RBUTTONDBLCLK: return 3;
    default: return -1;
  }
}

int NextFocusIndex(int count, int current, bool forward) {
  if (count <= 0) return -1;
  if (current < 0 || current >= count) return forward ? 0 : count - 1;
  if (forward) return current + 1 < count ? current + 1 : 0;
  return current > 0 ? current - 1 : count - 1;
}

}  // namespace kx
