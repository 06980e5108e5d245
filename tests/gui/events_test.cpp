// The event queue as the application meets it: real messages and real input
// become runtime events, queued ones in their order, direct ones right after
// their dispatch, and Tab / Shift+Tab walk the focus.
#include <gtest/gtest.h>

#include <richedit.h>

#include <string>
#include <utility>
#include <vector>

#include "gui/gui_support.h"
#include "runtime/core/objects.h"
#include "runtime/gui/events.h"
#include "runtime/gui/window.h"
#include "support/report_recorder.h"
#include "support/wait_until.h"

namespace {

constexpr int32_t Flags = WS_SYSMENU | WS_CAPTION | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SIZEBOX;

using Event = std::pair<int32_t, intptr_t>;  // event value, event window

// Every event until the queue and the message queue are empty.
std::vector<Event> Drain() {
  std::vector<Event> events;
  for (int idle = 0; idle < 3;) {
    const int32_t event = kx::WaitWindowEvent(20);
    if (event == 0) {
      ++idle;
      continue;
    }
    idle = 0;
    events.emplace_back(event, kx::EventWindow());
  }
  return events;
}

// The events among `events` that are runtime window events of `window`.
std::vector<int32_t> WindowEventsOf(const std::vector<Event>& events, intptr_t window, std::vector<int32_t> kinds) {
  std::vector<int32_t> out;
  for (const Event& e : events) {
    if (e.second != window) continue;
    for (int32_t kind : kinds) {
      if (e.first == kind) out.push_back(e.first);
    }
  }
  return out;
}

class Events : public testing::Test {
 protected:
  void SetUp() override {
    window_ = reinterpret_cast<HWND>(kx::OpenWindow(1, 100, 100, 300, 200, "Ereignisse", Flags));
    ASSERT_NE(window_, nullptr);
    Drain();
  }
  void TearDown() override {
    if (kx::FindWindowObject(1)) kx::CloseWindow(1);
    if (kx::FindWindowObject(2)) kx::CloseWindow(2);
  }
  HWND Button(int id, const char* text, int y, DWORD extra = WS_TABSTOP) {
    return CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | extra, 10, y, 100, 24, window_,
                           reinterpret_cast<HMENU>(intptr_t(id)), GetModuleHandleA(nullptr), nullptr);
  }
  HWND window_ = nullptr;
};

TEST_F(Events, QueueKeepsOrderAndCollapsesOnlyARepeatOfTheLastEntry) {
  kx::QueueWindowEvent(3, 1);
  kx::QueueWindowEvent(3, 1);
  kx::QueueWindowEvent(5, 1);
  kx::QueueWindowEvent(3, 1);
  kx::QueueWindowEvent(3, 2);
  const std::vector<Event> expected = {{3, 1}, {5, 1}, {3, 1}, {3, 2}};
  std::vector<Event> got;
  for (size_t i = 0; i < expected.size(); ++i) {
    const int32_t event = kx::WaitWindowEvent(0);
    got.emplace_back(event, kx::EventWindow());
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(kx::CurrentEventRecord()->head, nullptr);
}

TEST_F(Events, TimeOutsZeroAndNReturnNoEventWhenNothingCame) {
  EXPECT_EQ(kx::WaitWindowEvent(0), 0);
  EXPECT_EQ(kx::WaitWindowEvent(1), 0);
  EXPECT_EQ(kx::WaitWindowEvent(30), 0);
  EXPECT_EQ(kx::EventType(), -1) << "every wait starts with event type -1";
}

// Posts the event once the test thread waits for messages: a message sent
// from another thread is answered only inside the owner's wait, so the send
// returns when the wait has begun.
DWORD WINAPI PostLater(void* window) {
  SendMessageA(static_cast<HWND>(window), WM_NULL, 0, 0);
  PostMessageA(static_cast<HWND>(window), kx::MessageGadgetEvent, 44, 768);
  return 0;
}

TEST_F(Events, WaitWithoutLimitAndWithALimitReturnAnEventThatComesLater) {
  HANDLE thread = CreateThread(nullptr, 0, PostLater, window_, 0, nullptr);
  EXPECT_EQ(kx::WaitWindowEvent(-1), kx::EventKindGadget);
  EXPECT_EQ(kx::EventGadget(), 44);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  thread = CreateThread(nullptr, 0, PostLater, window_, 0, nullptr);
  int32_t event = 0;
  kxtest::WaitUntil([&] { return (event = kx::WaitWindowEvent(10000)) == kx::EventKindGadget; }, 10000);
  EXPECT_EQ(event, kx::EventKindGadget);
  EXPECT_EQ(kx::EventType(), 768);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

TEST_F(Events, GadgetEventPostedByAControlNamesGadgetTypeAndWindow) {
  HWND page = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, window_, nullptr, nullptr, nullptr);
  HWND inner = Button(5, "innen", 10);
  SetParent(inner, page);
  ASSERT_EQ(kx::PostGadgetEvent(inner, 5, 14000), 1);
  ASSERT_TRUE(kxtest::WaitUntil([] { return kx::WaitWindowEvent(20) == kx::EventKindGadget; }, 2000));
  EXPECT_EQ(kx::EventGadget(), 5);
  EXPECT_EQ(kx::EventType(), 14000);
  EXPECT_EQ(kx::EventWindow(), 1);
  EXPECT_EQ(kx::PostGadgetEvent(GetDesktopWindow(), 5, 0), 0) << "no runtime window above it";
}

TEST_F(Events, ButtonClickFromOutsideIsADirectGadgetEvent) {
  Button(9, "Drück mich", 10);
  kxtest::Background probe;
  ASSERT_TRUE(probe.start(kxtest::ProbeLine({"click", "Ereignisse", "9"})));
  int32_t event = 0;
  kxtest::WaitUntil([&] { return (event = kx::WaitWindowEvent(20)) == kx::EventKindGadget; }, 6000);
  ASSERT_EQ(event, kx::EventKindGadget);
  EXPECT_EQ(kx::EventGadget(), 9);
  EXPECT_EQ(kx::EventType(), BN_CLICKED);
  EXPECT_EQ(kx::EventWindow(), 1);
  EXPECT_EQ(kx::CurrentEventRecord()->head, nullptr) << "a click queues nothing";
  EXPECT_EQ(probe.finish(), 0) << probe.output();
}

TEST_F(Events, CloseFromTheTitleBarArrivesAfterTheMessageThatWasDispatched) {
  RECT r;
  GetWindowRect(window_, &r);
  // The close box of the caption, near the top-right corner.
  const int x = r.right - GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 2;
  const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  std::vector<Event> events;
  auto pump = [&] {
    if (int32_t e = kx::WaitWindowEvent(10)) events.emplace_back(e, kx::EventWindow());
  };
  ASSERT_EQ(kxtest::XdoTool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1", pump), 0);
  // The close event that follows another event.
  size_t close = 0;
  auto closeSeen = [&] {
    for (close = 0; close < events.size(); ++close) {
      if (events[close] == Event{kx::EventKindClose, 1} && close > 0 && events[close - 1].first != kx::EventKindClose) {
        return true;
      }
    }
    return false;
  };
  kxtest::WaitUntil([&] {
    pump();
    return closeSeen();
  }, 2000);
  ASSERT_LT(close, events.size()) << "no close event";
  EXPECT_NE(events[close - 1].first, kx::EventKindClose);
  EXPECT_TRUE(IsWindow(window_)) << "the application decides whether to close";
}

TEST_F(Events, MoveSizeMinimiseMaximiseAndRestoreInTheirOrder) {
  SetWindowPos(window_, nullptr, 150, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  std::vector<Event> events = Drain();
  EXPECT_EQ(WindowEventsOf(events, 1, {kx::EventKindMove}), std::vector<int32_t>{kx::EventKindMove});

  SetWindowPos(window_, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
  SetWindowPos(window_, nullptr, 0, 0, 420, 310, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
  ASSERT_NE(kx::CurrentEventRecord()->head, nullptr);
  EXPECT_EQ(kx::CurrentEventRecord()->head->event, kx::EventKindSize);
  EXPECT_EQ(kx::CurrentEventRecord()->head->next, nullptr) << "two sizes in a row are one entry";
  Drain();

  const std::vector<int32_t> sizing = {kx::EventKindSize, kx::EventKindMinimize, kx::EventKindMaximize,
                                       kx::EventKindRestore};
  ShowWindow(window_, SW_MAXIMIZE);
  events = Drain();
  EXPECT_EQ(WindowEventsOf(events, 1, sizing), (std::vector<int32_t>{kx::EventKindMaximize, kx::EventKindSize}));
  ShowWindow(window_, SW_RESTORE);
  events = Drain();
  EXPECT_EQ(WindowEventsOf(events, 1, sizing), (std::vector<int32_t>{kx::EventKindRestore, kx::EventKindSize}));
  ShowWindow(window_, SW_MINIMIZE);
  events = Drain();
  EXPECT_EQ(WindowEventsOf(events, 1, sizing), std::vector<int32_t>{kx::EventKindMinimize});
  ShowWindow(window_, SW_RESTORE);
  events = Drain();
  EXPECT_EQ(WindowEventsOf(events, 1, sizing), (std::vector<int32_t>{kx::EventKindRestore, kx::EventKindSize}));
}

TEST_F(Events, ActivationAndRepaintAreQueuedForTheirWindow) {
  HWND other = reinterpret_cast<HWND>(kx::OpenWindow(2, 500, 100, 200, 100, "Anderes", Flags));
  Drain();
  SetForegroundWindow(window_);
  SetActiveWindow(window_);
  std::vector<Event> events = Drain();
  EXPECT_EQ(WindowEventsOf(events, 1, {kx::EventKindActivate}), std::vector<int32_t>{kx::EventKindActivate});
  SetForegroundWindow(other);
  SetActiveWindow(other);
  events = Drain();
  EXPECT_EQ(WindowEventsOf(events, 2, {kx::EventKindActivate}), std::vector<int32_t>{kx::EventKindActivate});

  InvalidateRect(window_, nullptr, TRUE);
  events = Drain();
  bool repainted = false;
  for (size_t i = 0; i < events.size(); ++i) repainted |= events[i] == Event{kx::EventKindRepaint, 1};
  EXPECT_TRUE(repainted);
}

TEST_F(Events, OtherMessagesReturnTheirNumberAndKeepTheirParameters) {
  PostMessageA(window_, WM_USER + 7, 1234, 5678);
  EXPECT_EQ(kx::WaitWindowEvent(1000), int32_t(WM_USER + 7));
  EXPECT_EQ(kx::EventWParam(), WPARAM(1234));
  EXPECT_EQ(kx::EventLParam(), LPARAM(5678));
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(321, 0), 0);
  EXPECT_EQ(kx::WaitWindowEvent(1000), kx::EventKindMenu);
  EXPECT_EQ(kx::EventMenu(), 321);
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(77, 1), 0);
  EXPECT_EQ(kx::WaitWindowEvent(1000), kx::EventKindMenu) << "a keyboard shortcut";
  EXPECT_EQ(kx::EventMenu(), 77);
  // A data event carries a heap record (its sixth word a second block),
  // which lives until the next wait.
  void** data = static_cast<void**>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 6 * sizeof(void*)));
  data[5] = HeapAlloc(GetProcessHeap(), 0, 16);
  PostMessageA(window_, kx::MessageDataObjectEvent, 7, reinterpret_cast<LPARAM>(data));
  EXPECT_EQ(kx::WaitWindowEvent(1000), kx::EventKindDataObject);
  EXPECT_EQ(kx::EventGadget(), 7);
  EXPECT_EQ(kx::EventData(), data);
  kx::WaitWindowEvent(0);
  EXPECT_EQ(kx::EventData(), nullptr);
  PostMessageA(window_, kx::MessageTrayCallback, 3, WM_RBUTTONDBLCLK);
  int32_t event = kx::WaitWindowEvent(1000);
  if (event != kx::EventKindSysTray) event = kx::WaitWindowEvent(1000);  // first the re-post
  EXPECT_EQ(event, kx::EventKindSysTray);
  EXPECT_EQ(kx::EventGadget(), 3);
  EXPECT_EQ(kx::EventType(), 3);
}

// ---- keyboard ---------------------------------------------------------------------------

std::vector<Event> g_ignored;
void PumpEvents() {
  if (int32_t e = kx::WaitWindowEvent(10)) g_ignored.emplace_back(e, kx::EventWindow());
}

TEST_F(Events, KeyboardShortcutGivesTheMenuEventWithItsNumber) {
  kx::AddKeyboardShortcut(1, kx::ShortcutControl | 'S', 42);
  kx::AddKeyboardShortcut(1, kx::ShortcutControl | kx::ShortcutShift | 'S', 43);
  kx::AddKeyboardShortcut(1, kx::ShortcutControl | 'S', 44);
  EXPECT_EQ(kx::FindWindowObject(1)->acceleratorCount, 4) << "Tab, Shift+Tab and two shortcuts";
  ASSERT_TRUE(kxtest::Activate(window_));
  SetFocus(window_);
  std::vector<intptr_t> menus;
  auto pump = [&] {
    if (kx::WaitWindowEvent(10) == kx::EventKindMenu) menus.push_back(kx::EventMenu());
  };
  ASSERT_EQ(kxtest::XdoTool("key ctrl+s sleep 0.1 key ctrl+shift+s", pump), 0);
  kxtest::WaitUntil([&] {
    pump();
    return menus.size() >= 2;
  }, 2000);
  EXPECT_EQ(menus, (std::vector<intptr_t>{44, 43})) << "the second shortcut on a key replaces the first";

  kxtest::ReportRecorder recorder;
  kx::AddKeyboardShortcut(1, 'Q', 64001);
  EXPECT_EQ(recorder.lastText(), "The 'Event' value of AddKeyboardShortcut() has to be between 0 and 64000.");
}

// ---- the focus walk ----------------------------------------------------------------

int FocusedId() { return GetDlgCtrlID(GetFocus()); }

bool PressKeys(const std::string& keys) {
  return kxtest::XdoTool("key " + keys, PumpEvents) == 0 && (PumpEvents(), true);
}

TEST_F(Events, TabAndShiftTabMoveTheFocusThroughTabStopsAndWrap) {
  Button(11, "eins", 10);
  Button(12, "ohne Tab", 40, 0);
  HWND disabled = Button(13, "aus", 70);
  EnableWindow(disabled, FALSE);
  Button(14, "zwei", 100);
  Button(15, "drei", 130);
  SetForegroundWindow(window_);
  SetFocus(GetDlgItem(window_, 11));
  Drain();
  ASSERT_EQ(FocusedId(), 11);
  ASSERT_TRUE(PressKeys("Tab"));
  EXPECT_EQ(FocusedId(), 14) << "skips controls without tab stop and disabled ones";
  ASSERT_TRUE(PressKeys("Tab"));
  EXPECT_EQ(FocusedId(), 15);
  ASSERT_TRUE(PressKeys("Tab"));
  EXPECT_EQ(FocusedId(), 11) << "wraps to the first";
  ASSERT_TRUE(PressKeys("shift+Tab"));
  EXPECT_EQ(FocusedId(), 15) << "wraps to the last";
  ASSERT_TRUE(PressKeys("shift+Tab"));
  EXPECT_EQ(FocusedId(), 14);
}

TEST_F(Events, PlainTabGoesIntoAWritableRichEditorOnly) {
  ASSERT_NE(LoadLibraryA("riched20.dll"), nullptr);
  Button(21, "vor", 10);
  HWND editor = CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE, 10, 40, 200,
                                60, window_, reinterpret_cast<HMENU>(intptr_t(22)), GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(editor, nullptr);
  Button(23, "nach", 110);
  SetForegroundWindow(window_);
  SetFocus(editor);
  Drain();
  ASSERT_TRUE(PressKeys("Tab"));
  EXPECT_EQ(FocusedId(), 22) << "the editor keeps the focus";
  char text[16] = "";
  GetWindowTextA(editor, text, sizeof text);
  EXPECT_STREQ(text, "\t");
  ASSERT_TRUE(PressKeys("shift+Tab"));
  EXPECT_EQ(FocusedId(), 21) << "Shift+Tab walks on also from a writable editor";
  SendMessageA(editor, EM_SETREADONLY, TRUE, 0);
  SetFocus(editor);
  ASSERT_TRUE(PressKeys("Tab"));
  EXPECT_EQ(FocusedId(), 23) << "a read-only editor lets the Tab walk on";
}

}  // namespace
