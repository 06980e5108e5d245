// Windows of the window library as the window system and a user see them:
// classes, properties, styles and places, the table's numbers, the checks'
// reports and the debugger's window list.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "gui/gui_support.h"
#include "runtime/core/debugger_seam.h"
#include "runtime/core/objects.h"
#include "runtime/gui/events.h"
#include "runtime/gui/native.h"
#include "runtime/gui/window.h"
#include "support/report_recorder.h"

namespace {

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TitleOf(HWND window) {
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  return title;
}

constexpr int32_t SystemMenu = WS_SYSMENU | WS_CAPTION;

TEST(WindowOpen, NumberedWindowHasItsClassPropertyAndInnerSize) {
  const intptr_t handle = kx::OpenWindow(7, 40, 50, 320, 200, "Fenster sieben", SystemMenu);
  ASSERT_NE(handle, 0);
  HWND window = reinterpret_cast<HWND>(handle);
  EXPECT_EQ(kx::WindowID(7), window);
  EXPECT_EQ(ClassOf(window), "WindowClass_7");
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(window, "KX_WindowID")), 8);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 200);
  WNDCLASSEXA windowClass = {sizeof windowClass};
  ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClass_7", &windowClass));
  EXPECT_EQ(windowClass.style & CS_DBLCLKS, UINT(CS_DBLCLKS));
  EXPECT_NE(windowClass.hIcon, nullptr) << "the program's icon (resource 1)";

  kx::CloseWindow(7);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(kx::FindWindowObject(7), nullptr);
  EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClass_7", &windowClass)) << "class goes with it";
}

TEST(WindowOpen, DynamicWindowIsNamedByItsIdentity) {
  const intptr_t first = kx::OpenWindow(kx::DynamicNumber, 0, 0, 100, 80, "eins", SystemMenu);
  const intptr_t second = kx::OpenWindow(kx::DynamicNumber, 0, 0, 100, 80, "zwei", SystemMenu);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, second);
  HWND window = kx::WindowID(first);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(TitleOf(window), "eins");
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(window, "KX_WindowID")), first + 1);
  EXPECT_EQ(kx::WindowNumberOf(window), first);
  EXPECT_EQ(ClassOf(window), "WindowClass_" + std::to_string(first)) << "the whole identity names the class";
  kx::CloseWindow(first);
  kx::CloseWindow(second);
  EXPECT_EQ(kx::FindWindowObject(first), nullptr);
}

TEST(WindowOpen, ReusingANumberClosesTheWindowThatHeldIt) {
  HWND old = reinterpret_cast<HWND>(kx::OpenWindow(3, 0, 0, 100, 80, "alt", SystemMenu));
  HWND fresh = reinterpret_cast<HWND>(kx::OpenWindow(3, 0, 0, 100, 80, "neu", SystemMenu));
  EXPECT_FALSE(IsWindow(old));
  EXPECT_TRUE(IsWindow(fresh));
  EXPECT_EQ(kx::WindowID(3), fresh);
  kx::CloseWindow(3);
}

TEST(WindowOpen, ChildControlsFindTheirRuntimeWindow) {
  HWND window = reinterpret_cast<HWND>(kx::OpenWindow(12, 0, 0, 200, 100, "Eltern", SystemMenu));
  HWND inner = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, window, nullptr, nullptr, nullptr);
  HWND button = CreateWindowExA(0, "BUTTON", "x", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, inner, nullptr, nullptr, nullptr);
  EXPECT_EQ(kx::WindowNumberOf(button), 12);
  EXPECT_EQ(kx::RuntimeWindowOf(button), window);
  EXPECT_EQ(kx::WindowNumberOf(GetDesktopWindow()), -1);
  kx::CloseWindow(12);
}

// German texts are Windows-1252 bytes from the source to the window and back.
TEST(WindowText, GermanTitleReadsBackByteForByte) {
  EXPECT_EQ(GetACP(), 1252u) << "Wine's ANSI code page";
  const char title[] = "Über... Größe ´ä ö ü ß";
  EXPECT_EQ(static_cast<unsigned char>(title[0]), 0xDC) << "the build writes texts as Windows-1252";
  HWND window = reinterpret_cast<HWND>(kx::OpenWindow(4, 0, 0, 200, 100, title, SystemMenu));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(TitleOf(window), title);
  kxtest::ProbeResult probe = kxtest::Probe({"find", title});
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
  EXPECT_TRUE(probe.has(std::string("title \"") + title + "\"")) << probe.output;
  kx::CloseWindow(4);
}

// The program's manifest asks for common controls 6 (themed controls): the
// comctl32 the program runs with is the side-by-side assembly 6.0 (whose
// DllGetVersion says 6 on Windows, 5.81 under Wine).
TEST(WindowProgram, RunsWithCommonControlsSix) {
  HMODULE controls = GetModuleHandleA("comctl32.dll");
  ASSERT_NE(controls, nullptr) << "the runtime links comctl32";
  char name[MAX_PATH] = "";
  GetModuleFileNameA(controls, name, MAX_PATH);
  CharLowerA(name);
  using GetVersion = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
  auto getVersion = reinterpret_cast<GetVersion>(reinterpret_cast<void*>(GetProcAddress(controls, "DllGetVersion")));
  DLLVERSIONINFO version = {sizeof version};
  if (getVersion) getVersion(&version);
  const bool sideBySide = strstr(name, "common-controls_6595b64144ccf1df_6.0.") != nullptr;
  EXPECT_TRUE(sideBySide || version.dwMajorVersion == 6) << name << " " << version.dwMajorVersion;
}

// ---- styles and places, watched through the native table ----------------------

struct Recorded {
  DWORD style;
  int x, y, width, height;
  int show;
  HWND active;
} g_recorded;

HWND WINAPI RecordCreate(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                         int height, HWND parent, HMENU menu, HINSTANCE instance, void* parameter) {
  g_recorded.style = style;
  g_recorded.x = x;
  g_recorded.y = y;
  g_recorded.width = width;
  g_recorded.height = height;
  return kx::Win32WindowOperations().createWindow(exStyle, className, title, style & ~WS_VISIBLE, x, y, width, height,
                                                  parent, menu, instance, parameter);
}
BOOL WINAPI RecordShow(HWND, int command) {
  g_recorded.show = command;
  return TRUE;
}
int WINAPI SmallScreen(int index) {
  if (index == SM_CXSCREEN) return 800;
  if (index == SM_CYSCREEN) return 600;
  return GetSystemMetrics(index);
}
HWND WINAPI FakeActive() { return g_recorded.active; }

class WindowPlacement : public testing::Test {
 protected:
  void SetUp() override {
    operations_ = kx::Win32WindowOperations();
    operations_.createWindow = RecordCreate;
    operations_.showWindow = RecordShow;
    operations_.systemMetric = SmallScreen;
    operations_.activeWindow = FakeActive;
    g_recorded = {};
    kx::SetNativeWindowOperations(&operations_);
  }
  void TearDown() override {
    if (kx::FindWindowObject(20)) kx::CloseWindow(20);
    kx::SetNativeWindowOperations(nullptr);
  }
  // Outer size of an inner size for a style.
  static SIZE Outer(int width, int height, DWORD style) {
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    return {r.right - r.left, r.bottom - r.top};
  }
  kx::NativeWindowOperations operations_;
};

TEST_F(WindowPlacement, CaptionOnlyWhenTheFlagsHoldNoStyleOfTheirOwn) {
  kx::OpenWindow(20, 10, 10, 100, 100, "", kx::WindowCentered | kx::WindowNoGadgetList | kx::WindowInvisible);
  EXPECT_EQ(g_recorded.style, DWORD(WS_CAPTION));
  kx::OpenWindow(20, 10, 10, 100, 100, "", WS_SYSMENU | kx::WindowScreenCentered);
  EXPECT_EQ(g_recorded.style, DWORD(WS_SYSMENU)) << "own bits 1 and 2 never reach the window system";
  kx::OpenWindow(20, 10, 10, 100, 100, "", WS_POPUP | WS_BORDER);
  EXPECT_EQ(g_recorded.style, DWORD(WS_POPUP | WS_BORDER));
  EXPECT_EQ(g_recorded.show, SW_SHOWNORMAL);
  kx::OpenWindow(20, 10, 10, 100, 100, "", WS_CAPTION | WS_MAXIMIZE);
  EXPECT_EQ(g_recorded.show, SW_MAXIMIZE);
  EXPECT_EQ(kx::FindWindowObject(20)->minimisedOrMaximised, 1);
  kx::OpenWindow(20, 10, 10, 100, 100, "", WS_CAPTION | WS_MINIMIZE);
  EXPECT_EQ(g_recorded.show, SW_SHOWMINIMIZED);
  g_recorded.show = -1;
  kx::OpenWindow(20, 10, 10, 100, 100, "", WS_CAPTION | kx::WindowInvisible);
  EXPECT_EQ(g_recorded.show, -1) << "invisible windows are not shown";
}

TEST_F(WindowPlacement, ScreenCentringShrinksToTheScreenFirst) {
  kx::OpenWindow(20, 5, 5, 300, 200, "", SystemMenu | kx::WindowScreenCentered);
  const SIZE outer = Outer(300, 200, SystemMenu);
  EXPECT_EQ(g_recorded.width, outer.cx);
  EXPECT_EQ(g_recorded.x, (800 - outer.cx) / 2);
  EXPECT_EQ(g_recorded.y, (600 - outer.cy) / 2);
  kx::OpenWindow(20, 5, 5, 2000, 1000, "", SystemMenu | kx::WindowScreenCentered);
  EXPECT_EQ(g_recorded.width, 800);
  EXPECT_EQ(g_recorded.height, 600);
  EXPECT_EQ(g_recorded.x, 0);
  EXPECT_EQ(g_recorded.y, 0);
}

TEST_F(WindowPlacement, WindowCentringUsesTheParentOrTheActiveWindowAndStaysOnScreen) {
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr, nullptr, nullptr);
  const SIZE outer = Outer(200, 100, SystemMenu);
  kx::OpenWindow(20, 0, 0, 200, 100, "", SystemMenu | kx::WindowCentered, parent);
  EXPECT_EQ(g_recorded.x, 100 + (400 - outer.cx) / 2);
  EXPECT_EQ(g_recorded.y, 100 + (300 - outer.cy) / 2);
  kx::CloseWindow(20);

  SetWindowPos(parent, nullptr, -300, -200, 100, 50, SWP_NOZORDER);
  g_recorded.active = parent;
  kx::OpenWindow(20, 0, 0, 200, 100, "", SystemMenu | kx::WindowCentered);
  EXPECT_EQ(g_recorded.x, 0) << "negative places are raised to 0";
  EXPECT_EQ(g_recorded.y, 0);
  kx::CloseWindow(20);

  g_recorded.active = nullptr;
  kx::OpenWindow(20, 33, 44, 200, 100, "", SystemMenu | kx::WindowCentered);
  EXPECT_EQ(g_recorded.x, 33) << "nothing to centre on: the place stays";
  EXPECT_EQ(g_recorded.y, 44);
  DestroyWindow(parent);
}

TEST_F(WindowPlacement, IgnoredPositionGoesToTheWindowSystem) {
  kx::OpenWindow(20, kx::WindowIgnorePosition, 50, 200, 100, "", SystemMenu);
  EXPECT_EQ(g_recorded.x, int(CW_USEDEFAULT));
  EXPECT_EQ(g_recorded.y, int(CW_USEDEFAULT));
  kx::CloseWindow(20);
  g_recorded.active = nullptr;
  kx::OpenWindow(20, kx::WindowIgnorePosition, kx::WindowIgnorePosition, 200, 100, "",
                 SystemMenu | kx::WindowCentered);
  EXPECT_EQ(g_recorded.x, int(CW_USEDEFAULT)) << "centring on nothing does not leave the window at -65535";
}

HWND WINAPI FailCreate(DWORD, const char*, const char*, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, void*) {
  return nullptr;
}

TEST_F(WindowPlacement, FailedCreationLeavesNoObjectAndNoClass) {
  operations_.createWindow = FailCreate;
  EXPECT_EQ(kx::OpenWindow(21, 0, 0, 10, 10, "", SystemMenu), 0);
  EXPECT_EQ(kx::FindWindowObject(21), nullptr);
  WNDCLASSEXA windowClass = {sizeof windowClass};
  EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), "WindowClass_21", &windowClass));
}

// ---- program end --------------------------------------------------------------------

std::string g_destroyed;

LRESULT RecordDestroy(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_DESTROY) g_destroyed += TitleOf(window) + " ";
  return kx::WindowCallbackDefault;
}

TEST(WindowEnd, ProgramEndClosesNumbersAscendingThenDynamicWindowsOldestFirst) {
  kx::OpenWindow(kx::DynamicNumber, 0, 0, 50, 50, "alt", SystemMenu);
  kx::OpenWindow(5, 0, 0, 50, 50, "fuenf", SystemMenu);
  kx::OpenWindow(kx::DynamicNumber, 0, 0, 50, 50, "jung", SystemMenu);
  kx::OpenWindow(2, 0, 0, 50, 50, "zwei", SystemMenu);
  kx::CurrentEventRecord()->threadCallback = RecordDestroy;
  kx::WindowLibraryEnd();
  kx::CurrentEventRecord()->threadCallback = nullptr;
  EXPECT_EQ(g_destroyed, "zwei fuenf alt jung ");
  EXPECT_EQ(kx::FindWindowObject(2), nullptr);
  ASSERT_NE(kx::OpenWindow(2, 0, 0, 50, 50, "danach", SystemMenu), 0) << "the library still works";
  kx::CloseWindow(2);
}

// ---- checks -------------------------------------------------------------------

TEST(WindowChecks, NumbersParentsAndTheNeedForOneWindow) {
  kx::OpenWindow(31, 0, 0, 10, 10, "", SystemMenu | kx::WindowInvisible);
  while (kx::WaitWindowEvent(0) != 0) {
  }
  kx::CloseWindow(31);
  kxtest::ReportRecorder recorder;
  kx::OpenWindow(5000, 0, 0, 10, 10, "", SystemMenu | kx::WindowInvisible);
  ASSERT_TRUE(recorder.has("HighNumber"));
  EXPECT_EQ(recorder.reports()[0].text, "#Window object number is very high (over 5000), are You sure of that ?");
  EXPECT_NE(kx::WindowID(5000), nullptr) << "the command runs after the report";
  kx::CloseWindow(5000);
  recorder.clear();
  kx::OpenWindow(4999, 0, 0, 10, 10, "", SystemMenu | kx::WindowInvisible);
  EXPECT_EQ(recorder.count(), 0u) << "4999 is a valid number";
  kx::CloseWindow(4999);
  kx::WindowID(4999);
  EXPECT_EQ(recorder.lastKey(), "NoObject");
  EXPECT_EQ(recorder.lastText(), "The specified #Window is not initialized.");
  recorder.clear();
  kx::OpenWindow(-2, 0, 0, 10, 10, "", SystemMenu | kx::WindowInvisible);
  EXPECT_TRUE(recorder.has("HighNumber"));
  recorder.clear();

  HWND notAWindow = reinterpret_cast<HWND>(intptr_t(0x4321));
  kx::OpenWindow(30, 0, 0, 10, 10, "", SystemMenu | kx::WindowInvisible, notAWindow);
  EXPECT_EQ(recorder.lastText(), "ParentID is not a valid WindowID().");
  kx::CloseWindow(30);
  recorder.clear();

  EXPECT_EQ(kx::WaitWindowEvent(0), 0);
  EXPECT_EQ(recorder.lastKey(), "NeedOneWindow");
  EXPECT_EQ(recorder.lastText(), "At least one window should be opened to use this command.");
  recorder.clear();
  kx::OpenWindow(31, 0, 0, 10, 10, "", SystemMenu | kx::WindowInvisible);
  kx::WaitWindowEvent(0);
  kx::EventGadget();
  EXPECT_EQ(recorder.count(), 0u);
  kx::CloseWindow(31);
}

// ---- the debugger's window list ----------------------------------------------------

TEST(WindowList, RowsAndDetailTexts) {
  const kx::DebuggerList* list = kx::FindDebuggerList("KX_LIBRARY_Window");
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list->title, "Window");
  EXPECT_STREQ(list->columns, "#Window\t70\tHidden\t80\tDisabled\t80\tTitle\t300");
  HWND shown = reinterpret_cast<HWND>(kx::OpenWindow(40, 30, 40, 220, 110, "Sichtbar", SystemMenu));
  kx::OpenWindow(41, 0, 0, 100, 100, "Versteckt", SystemMenu | kx::WindowInvisible);
  EnableWindow(kx::WindowID(41), FALSE);
  HWND owned = reinterpret_cast<HWND>(
      kx::OpenWindow(42, 0, 0, 100, 100, "Kind", SystemMenu | kx::WindowInvisible, shown));

  std::string rows;
  list->walk([](void* context, const char* row, intptr_t) { *static_cast<std::string*>(context) += std::string(row) + "|"; },
             &rows);
  EXPECT_EQ(rows, "40\t\t\tSichtbar|41\tHidden\tDisabled\tVersteckt|42\tHidden\t\tKind|");

  char detail[2000];
  list->detail(40, detail, sizeof detail);
  RECT outer;
  GetWindowRect(shown, &outer);
  char expected[2000];
  snprintf(expected, sizeof expected,
           "Window Number: 40\nWindow Handle: %d ($%X)\n\n   Title: Sichtbar\n  Parent: None\n\n"
           "Disabled: No\n  Hidden: No\nPosition: %ld, %ld\n    Size: 220, 110",
           int(reinterpret_cast<intptr_t>(shown)), unsigned(reinterpret_cast<uintptr_t>(shown)), outer.left,
           outer.top);
  EXPECT_STREQ(detail, expected);
  list->detail(42, detail, sizeof detail);
  EXPECT_NE(strstr(detail, "\n  Parent: 40\n"), nullptr) << detail;
  EXPECT_NE(strstr(detail, "Hidden: Yes"), nullptr) << detail;
  (void)owned;
  list->detail(43, detail, sizeof detail);
  EXPECT_STREQ(detail, "Window not existing!\nWindow Number: 43");
  kx::CloseWindow(42);
  kx::CloseWindow(41);
  kx::CloseWindow(40);
}

}  // namespace
