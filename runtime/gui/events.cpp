// The event side of the window library: the per-thread event record and
// queue, WaitWindowEvent, the runtime window procedure with its mapping of
// native messages to runtime events, and the focus walk of Tab / Shift+Tab.
#include "runtime/gui/events.h"

#include <richedit.h>

#include <cstring>

#include "runtime/core/objects.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/gui/events_logic.h"
#include "runtime/gui/window_internal.h"
#include "runtime/gui/window_sizing.h"

namespace kx {

namespace {

int32_t g_eventPart = -1;
GadgetMessageHandler g_gadgetHandler = nullptr;

// The event data is a heap record whose sixth word is a second heap block.
void FreeEventData(EventRecord* e) {
  if (!e->data) return;
  void** words = static_cast<void**>(e->data);
  if (words[5]) HeapFree(GetProcessHeap(), 0, words[5]);
  HeapFree(GetProcessHeap(), 0, e->data);
  e->data = nullptr;
}

void FreeEventPart(void* part) {
  EventRecord* e = static_cast<EventRecord*>(part);
  FreeEventData(e);
  while (QueuedEvent* entry = e->head) {
    e->head = entry->next;
    HeapFree(GetProcessHeap(), 0, entry);
  }
  e->tail = nullptr;
}

void InitEventPart(void* part) { static_cast<EventRecord*>(part)->window = -1; }

bool IsRuntimeWindow(intptr_t number) { return number != -1; }

// Gadget dispatch of a parent message; false when no gadget kind took it.
bool DispatchToGadget(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return g_gadgetHandler && g_gadgetHandler(window, message, wParam, lParam, result);
}

BOOL CALLBACK PassSysColorChange(HWND child, LPARAM) {
  SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

bool HasClass(HWND window, const char* name) {
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  return lstrcmpiA(className, name) == 0;
}

struct Candidates {
  HWND windows[512];
  int count;
};

BOOL CALLBACK CollectTabStop(HWND child, LPARAM value) {
  Candidates* c = reinterpret_cast<Candidates*>(value);
  const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
  if ((style & WS_TABSTOP) && IsWindowEnabled(child) && IsWindowVisible(child) && c->count < 512) {
    c->windows[c->count++] = child;
  }
  return TRUE;
}

}  // namespace

void EventsStart() {
  if (g_eventPart < 0) g_eventPart = RegisterThreadRecord(sizeof(EventRecord), InitEventPart, FreeEventPart);
  SizingStart();
}

void EventsEnd() {
  if (g_eventPart >= 0) FreeEventData(CurrentEventRecord());
}

EventRecord* CurrentEventRecord() { return static_cast<EventRecord*>(GetThreadRecord(g_eventPart)); }

void CheckOneWindow() {
  ObjectTable* table = WindowTable();
  if (!table) return;
  BeginObjectIteration(table);
  if (NextObject(table, nullptr)) EndObjectIteration(table);
  else ReportLibraryError(&WindowLibrary, "NeedOneWindow");
}

void QueueWindowEvent(int32_t event, intptr_t window) {
  EventRecord* e = CurrentEventRecord();
  if (e->tail && e->tail->event == event && e->tail->window == window) return;
  QueuedEvent* entry = static_cast<QueuedEvent*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(QueuedEvent)));
  if (!entry) return;  // heap exhausted: this event is dropped
  entry->event = event;
  entry->window = window;
  if (e->tail) e->tail->next = entry;
  else e->head = entry;
  e->tail = entry;
}

void SetPendingEvent(int32_t event, intptr_t object, int32_t type) {
  EventRecord* e = CurrentEventRecord();
  e->pending = event;
  e->object = object;
  e->type = type;
}

int PostGadgetEvent(HWND control, intptr_t gadget, int32_t type) {
  HWND window = RuntimeWindowOf(control);
  if (!window) return 0;
  return PostMessageA(window, MessageGadgetEvent, WPARAM(gadget), LPARAM(type)) ? 1 : 0;
}

void SetGadgetMessageHandler(GadgetMessageHandler handler) { g_gadgetHandler = handler; }

HACCEL ActiveAcceleratorTable() {
  HWND active = GetActiveWindow();
  if (!active) return nullptr;
  auto down = [](int key) { return (GetKeyState(key) & 0x8000) != 0; };
  if (down(VK_TAB) && !down(VK_CONTROL) && !down(VK_SHIFT) && !down(VK_MENU)) {
    HWND focus = GetFocus();
    char className[64] = "";
    if (focus) GetClassNameA(focus, className, sizeof className);
    if (strncmp(className, "Rich", 4) == 0 && !(SendMessageA(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY)) {
      return nullptr;  // a plain Tab goes into a writable rich-text editor
    }
  }
  const intptr_t value = reinterpret_cast<intptr_t>(GetPropA(active, WindowIdProperty));
  if (!value) return nullptr;
  WindowObject* w = FindWindowObject(value - 1);
  return w ? w->acceleratorTable : nullptr;
}

void MoveFocus(bool forward) {
  HWND top = GetActiveWindow();
  HWND focus = GetFocus();
  for (HWND h = focus; h; h = GetParent(h)) {
    if (HasClass(h, "MDI_ChildClass")) {
      top = h;
      break;
    }
  }
  if (!top) return;
  HWND current = (focus && focus != top && IsChild(top, focus)) ? focus : nullptr;
  Candidates candidates{};
  EnumChildWindows(top, CollectTabStop, reinterpret_cast<LPARAM>(&candidates));
  int index = -1;
  for (int i = 0; i < candidates.count; ++i) {
    if (candidates.windows[i] == current) index = i;
  }
  const int next = NextFocusIndex(candidates.count, index, forward);
  if (next >= 0) SetFocus(candidates.windows[next]);
}

int32_t WaitWindowEvent(int32_t timeout) {
  CheckOneWindow();
  EventRecord* e = CurrentEventRecord();
  FreeEventData(e);
  e->type = -1;
  if (QueuedEvent* entry = e->head) {
    e->head = entry->next;
    if (!e->head) e->tail = nullptr;
    const int32_t event = entry->event;
    e->window = entry->window;
    e->pending = 0;
    HeapFree(GetProcessHeap(), 0, entry);
    return event;
  }
  MSG message = {};
  if (timeout == -1) {
    GetMessageA(&message, nullptr, 0, 0);
  } else if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (timeout == 0) return EventKindNone;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(timeout), QS_ALLINPUT) == WAIT_TIMEOUT) {
      return EventKindNone;
    }
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return EventKindNone;
  }
  HACCEL accelerators = ActiveAcceleratorTable();
  if (!accelerators || !TranslateAcceleratorA(GetActiveWindow(), accelerators, &message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (e->pending) {
    const int32_t event = e->pending;
    e->pending = 0;
    return event;
  }
  e->wParam = message.wParam;
  e->lParam = message.lParam;
  return int32_t(message.message);
}

intptr_t EventGadget() {
  CheckOneWindow();
  return CurrentEventRecord()->object;
}

intptr_t EventMenu() {
  CheckOneWindow();
  return CurrentEventRecord()->object;
}

intptr_t EventWindow() {
  CheckOneWindow();
  return CurrentEventRecord()->window;
}

int32_t EventType() {
  CheckOneWindow();
  return CurrentEventRecord()->type;
}

WPARAM EventWParam() { return CurrentEventRecord()->wParam; }
LPARAM EventLParam() { return CurrentEventRecord()->lParam; }
void* EventData() { return CurrentEventRecord()->data; }

LRESULT CALLBACK RuntimeWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (SizingLoopMessage(window, message, wParam, lParam, &result)) return result;

  const intptr_t number = WindowNumberOf(window);
  WindowObject* w = IsRuntimeWindow(number) ? FindWindowObject(number) : nullptr;
  EventRecord* e = CurrentEventRecord();
  if (WindowCallback callback = (w && w->callback) ? w->callback : e->threadCallback) {
    const LRESULT answer = callback(window, message, wParam, lParam);
    if (answer != WindowCallbackDefault) return answer;
  }
  e->window = number;
  const bool self = w && w->handle == window;
  bool useDefault = false;

  switch (message) {
    case WM_CLOSE:
    case WM_MOVE:
      if (IsRuntimeWindow(number)) QueueWindowEvent(int32_t(message), number);
      return 0;

    case WM_SIZE: {
      if (!self) return 1;
      int32_t flag = w->minimisedOrMaximised;
      int32_t events[2];
      const int count = SizeEvents(int(wParam), &flag, events);
      w->minimisedOrMaximised = flag;
      for (int i = 0; i < count; ++i) QueueWindowEvent(events[i], number);
      return 0;
    }

    case WM_ACTIVATE:
      if (LOWORD(wParam) == 0) {
        useDefault = true;
        break;
      }
      if (IsRuntimeWindow(number)) QueueWindowEvent(EventKindActivate, number);
      return 1;

    case WM_ERASEBKGND:
      if (w && w->background) {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, w->background);
        result = 1;
      } else if (self && w->painter) {
        result = w->painter(window, reinterpret_cast<HDC>(wParam));
      } else {
        result = DefWindowProcA(window, message, wParam, lParam);
      }
      if (IsRuntimeWindow(number)) QueueWindowEvent(EventKindRepaint, number);
      return result;

    case WM_SYSCOLORCHANGE:
      if (!(w && w->mdiClient)) EnumChildWindows(window, PassSysColorChange, 0);
      useDefault = true;
      break;

    case WM_GETMINMAXINFO:
      if (!w) {
        useDefault = true;
        break;
      }
      {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (w->minimumWidth) info->ptMinTrackSize.x = w->minimumWidth;
        if (w->minimumHeight) info->ptMinTrackSize.y = w->minimumHeight;
        if (w->maximumWidth) info->ptMaxTrackSize.x = w->maximumWidth;
        if (w->maximumHeight) info->ptMaxTrackSize.y = w->maximumHeight;
      }
      return 0;

    case WM_NOTIFY:
      if (DispatchToGadget(window, message, wParam, lParam, &result)) return result;
      useDefault = true;
      break;

    case WM_COMMAND:
      if (lParam) {
        if (DispatchToGadget(window, message, wParam, lParam, &result)) return result;
        HWND control = reinterpret_cast<HWND>(lParam);
        const intptr_t id = GetWindowLongPtrA(control, GWLP_ID);
        if (int(id) == ControlIdMenuEvent) SetPendingEvent(EventKindMenu, LOWORD(wParam), e->type);
        else SetPendingEvent(EventKindGadget, id, HIWORD(wParam));
        return 0;
      }
      if (HIWORD(wParam) == 1) {
        if (LOWORD(wParam) == CommandFocusNext || LOWORD(wParam) == CommandFocusPrevious) {
          MoveFocus(LOWORD(wParam) == CommandFocusNext);
          return 0;
        }
        SetPendingEvent(EventKindMenu, LOWORD(wParam), e->type);
        return 0;
      }
      SetPendingEvent(EventKindMenu, intptr_t(wParam), e->type);
      useDefault = true;  // an MDI frame hands menu commands on as well
      break;

    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case MessageGadgetForward:
      if (DispatchToGadget(window, message, wParam, lParam, &result)) return result;
      useDefault = true;
      break;

    case MessageTrayCallback:
      PostMessageA(window, MessageTrayEvent, wParam, lParam);
      return 0;

    case MessageTrayEvent: {
      const int32_t type = TrayEventType(UINT(lParam));
      if (type < 0) e->pending = 0;
      else SetPendingEvent(EventKindSysTray, intptr_t(wParam), type);
      return 0;
    }

    case MessageGadgetEvent:
      SetPendingEvent(EventKindGadget, intptr_t(wParam), int32_t(lParam));
      return 0;

    case MessageDataEvent:
      e->pending = EventKindData;
      e->data = reinterpret_cast<void*>(lParam);
      return 0;

    case MessageDataObjectEvent:
      e->pending = EventKindDataObject;
      e->object = intptr_t(wParam);
      e->data = reinterpret_cast<void*>(lParam);
      return 0;

    default:
      useDefault = true;
      break;
  }

  if (!useDefault) return result;
  if (message != WM_SIZE) {
    if (HWND mdiArea = static_cast<HWND>(GetPropA(window, "KX_MDI_Gadget"))) {
      const bool menuCommand = message == WM_COMMAND && lParam == 0;
      if (message != WM_COMMAND || menuCommand) return DefFrameProcA(window, mdiArea, message, wParam, lParam);
    }
  }
  if (message == WM_COMMAND) return 0;
  SetLastError(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kx
