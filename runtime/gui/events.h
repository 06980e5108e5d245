// The event model of the window library: the per-thread event record and
// window-event queue, WaitWindowEvent and the runtime window procedure that
// turns native messages into runtime events.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/gui/window.h"

namespace kx {

// Event values returned by WaitWindowEvent.  Any other value is the native
// message number just dispatched.
constexpr int32_t EventKindNone = 0;
constexpr int32_t EventKindGadget = 13100;
constexpr int32_t EventKindMenu = 13101;         // menu item or keyboard shortcut
constexpr int32_t EventKindSysTray = 13102;
constexpr int32_t EventKindActivate = 13104;
constexpr int32_t EventKindData = 13105;
constexpr int32_t EventKindDataObject = 13106;
constexpr int32_t EventKindMinimize = 13107;
constexpr int32_t EventKindMaximize = 13108;
constexpr int32_t EventKindRestore = 13109;
constexpr int32_t EventKindClose = 16;           // WM_CLOSE
constexpr int32_t EventKindMove = 3;             // WM_MOVE
constexpr int32_t EventKindSize = 5;             // WM_SIZE
constexpr int32_t EventKindRepaint = 15;         // after WM_ERASEBKGND

// The runtime's own window messages.
constexpr UINT MessageGadgetEvent = 13103;       // wParam gadget, lParam event type
constexpr UINT MessageDataEvent = 13105;         // lParam event data
constexpr UINT MessageDataObjectEvent = 13106;   // wParam object, lParam event data
constexpr UINT MessageGadgetForward = 13120;     // to the gadget whose handle is lParam
constexpr UINT MessageTrayCallback = 12501;      // re-posted as MessageTrayEvent
constexpr UINT MessageTrayEvent = 12502;         // wParam icon, lParam mouse message

// Accelerator commands of the focus walk; shortcut events use 0 to 64000.
constexpr WORD CommandFocusNext = 64001;         // Tab
constexpr WORD CommandFocusPrevious = 64002;     // Shift+Tab
constexpr int32_t HighestShortcutEvent = 64000;

// Window ID of a control whose WM_COMMAND is a menu event.
constexpr int ControlIdMenuEvent = -10000;

// One queued window event.
struct QueuedEvent {
  QueuedEvent* next;
  int32_t event;
  intptr_t window;
};

// The calling thread's event record (a per-thread part; zero at start).
struct EventRecord {
  intptr_t object;        // gadget, menu item / shortcut or tray icon of the last event
  intptr_t window;        // window of the last event, -1 for none
  int32_t type;           // sub-type of the last event, -1 at the start of a wait
  int32_t pending;        // event set by the window procedure during a dispatch
  WPARAM wParam;          // of the last message not turned into a runtime event
  LPARAM lParam;
  QueuedEvent* head;
  QueuedEvent* tail;
  WindowCallback threadCallback;
  void* data;             // heap record of the last event's data (its sixth word a second block)
};

EventRecord* CurrentEventRecord();

// Time-out -1 waits without limit, 0 only looks, n waits up to n ms.
int32_t WaitWindowEvent(int32_t timeout = -1);
intptr_t EventGadget();
intptr_t EventMenu();
intptr_t EventWindow();
int32_t EventType();
WPARAM EventWParam();
LPARAM EventLParam();
void* EventData();

// Appends (event, window) to the calling thread's queue, unless the last
// entry holds the same pair already.
void QueueWindowEvent(int32_t event, intptr_t window);
// Direct event: what the current WaitWindowEvent returns after its dispatch.
void SetPendingEvent(int32_t event, intptr_t object, int32_t type);

// A gadget reports an event: message 13103 posted to its runtime window
// (the first ancestor with "KX_WindowID"); WaitWindowEvent then returns
// 13100 with EventGadget() = gadget and EventType() = type.  Returns 0 when
// the control lies in no runtime window.
int PostGadgetEvent(HWND control, intptr_t gadget, int32_t type);

// The gadget library's handler of the parent messages (WM_NOTIFY, WM_COMMAND
// from controls, WM_HSCROLL, WM_VSCROLL, WM_CTLCOLOR... and 13120): returns
// non-zero and sets *result when a gadget kind took the message.
using GadgetMessageHandler = int (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT* result);
void SetGadgetMessageHandler(GadgetMessageHandler handler);

// The window procedure of every "WindowClass_%d" window; gadget containers
// (tab pages) hand their messages to it as well.
LRESULT CALLBACK RuntimeWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The accelerator table WaitWindowEvent uses for the active window, nullptr
// when the Tab belongs to a writable rich-text editor.
HACCEL ActiveAcceleratorTable();

// Focus walk of the accelerator commands: forward (Tab) or backward.
void MoveFocus(bool forward);

}  // namespace kx
