// The thread's gadget list: which window or container new gadgets go into,
// the stack that containers push, and the state each window keeps while the
// thread works on another window's list.
#include <gtest/gtest.h>

#include <cstdio>

#include "gui/gui_support.h"
#include "runtime/core/objects.h"
#include "runtime/gui/gadget_list.h"
#include "runtime/gui/window.h"

namespace {

constexpr int32_t Flags = WS_SYSMENU | WS_CAPTION | kx::WindowInvisible;

HWND Container(HWND parent) {
  return CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent, nullptr, nullptr, nullptr);
}

class GadgetLists : public testing::Test {
 protected:
  void TearDown() override {
    for (intptr_t n : {1, 2}) {
      if (kx::FindWindowObject(n)) kx::CloseWindow(n);
    }
  }
};

TEST_F(GadgetLists, OpeningAWindowMakesItTheListUnlessAskedNotTo) {
  HWND first = reinterpret_cast<HWND>(kx::OpenWindow(1, 0, 0, 100, 100, "eins", Flags));
  EXPECT_EQ(kx::CurrentGadgetList(), first);
  EXPECT_EQ(kx::UseGadgetList(nullptr), first);
  kx::OpenWindow(2, 0, 0, 100, 100, "zwei", Flags | kx::WindowNoGadgetList);
  EXPECT_EQ(kx::CurrentGadgetList(), first);
  char name[48];
  snprintf(name, sizeof name, "KX_GadgetStack_%i", int(reinterpret_cast<intptr_t>(GetModuleHandleA(nullptr))));
  EXPECT_NE(GetPropA(first, name), nullptr) << "the window keeps its saved state";
  EXPECT_EQ(GetPropA(kx::WindowID(2), name), nullptr);
}

TEST_F(GadgetLists, ContainersPushAndPopAndTheStackGrowsByTen) {
  HWND window = reinterpret_cast<HWND>(kx::OpenWindow(1, 0, 0, 100, 100, "eins", Flags));
  HWND containers[25];
  for (HWND& c : containers) {
    c = Container(window);
    ASSERT_EQ(kx::PushGadgetList(c), 1);
    EXPECT_EQ(kx::CurrentGadgetList(), c);
  }
  EXPECT_EQ(kx::GadgetListDepth(), 25);
  EXPECT_EQ(kx::CurrentGadgetListState()->capacity, 30);
  EXPECT_EQ(kx::UseGadgetList(nullptr), window) << "the window at the bottom of the stack";
  for (int i = 24; i > 0; --i) {
    ASSERT_EQ(kx::PopGadgetList(), 1);
    EXPECT_EQ(kx::CurrentGadgetList(), containers[i - 1]);
  }
  ASSERT_EQ(kx::PopGadgetList(), 1);
  EXPECT_EQ(kx::CurrentGadgetList(), window);
  EXPECT_EQ(kx::PopGadgetList(), 0) << "nothing left to close";
  EXPECT_EQ(kx::CurrentGadgetList(), window);
}

TEST_F(GadgetLists, SwitchingWindowsKeepsEachWindowsOpenContainers) {
  HWND first = reinterpret_cast<HWND>(kx::OpenWindow(1, 0, 0, 100, 100, "eins", Flags));
  HWND panel = Container(first);
  kx::PushGadgetList(panel);
  kx::CurrentGadgetListState()->optionGroup = 1;
  HWND second = reinterpret_cast<HWND>(kx::OpenWindow(2, 0, 0, 100, 100, "zwei", Flags));
  EXPECT_EQ(kx::CurrentGadgetList(), second);
  EXPECT_EQ(kx::GadgetListDepth(), 0);
  EXPECT_EQ(kx::CurrentGadgetListState()->optionGroup, 0) << "a switch ends an option group";
  EXPECT_EQ(kx::UseGadgetList(first), second) << "returns the list it leaves";
  EXPECT_EQ(kx::CurrentGadgetList(), panel) << "the panel of window 1 is still open";
  EXPECT_EQ(kx::GadgetListDepth(), 1);
  EXPECT_EQ(kx::UseGadgetList(second), first);
  EXPECT_EQ(kx::CurrentGadgetList(), second);
  EXPECT_EQ(kx::UseGadgetList(first), second);
  ASSERT_EQ(kx::PopGadgetList(), 1);
  EXPECT_EQ(kx::CurrentGadgetList(), first);
}

TEST_F(GadgetLists, AClosedWindowLeavesNoCurrentList) {
  HWND first = reinterpret_cast<HWND>(kx::OpenWindow(1, 0, 0, 100, 100, "eins", Flags));
  kx::PushGadgetList(Container(first));
  kx::CloseWindow(1);
  EXPECT_EQ(kx::CurrentGadgetList(), nullptr);
  EXPECT_EQ(kx::UseGadgetList(nullptr), nullptr);
  EXPECT_EQ(kx::GadgetListDepth(), 0);
  HWND second = reinterpret_cast<HWND>(kx::OpenWindow(2, 0, 0, 100, 100, "zwei", Flags));
  EXPECT_EQ(kx::CurrentGadgetList(), second);
}

DWORD WINAPI ReadList(void* out) {
  *static_cast<HWND*>(out) = kx::CurrentGadgetList();
  return 0;
}

TEST_F(GadgetLists, EachThreadHasItsOwnList) {
  kx::OpenWindow(1, 0, 0, 100, 100, "eins", Flags);
  HWND seen = reinterpret_cast<HWND>(intptr_t(1));
  HANDLE thread = CreateThread(nullptr, 0, ReadList, &seen, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(seen, nullptr);
  EXPECT_EQ(kx::CurrentGadgetListState()->font, GetStockObject(DEFAULT_GUI_FONT));
}

}  // namespace
