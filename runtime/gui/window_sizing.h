// The window library's own sizing loop: while the system shows window
// contents during dragging, sizing a runtime window (by mouse or by the
// keyboard from the system menu) runs here instead of in the system's modal
// loop, so that WaitWindowEvent keeps being called meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

// Per-thread state of the loop (a second per-thread part of the library).
struct SizingState {
  int32_t active;
  int32_t edge;            // 0 none chosen yet, 1 left ... 8 bottom-right (WMSZ_*)
  HWND window;
  RECT rect;               // being built
  RECT start;
  MINMAXINFO limits;
  POINT cursorStart;
  int32_t putBack;         // the cursor returns to cursorStart at the end
};

void SizingStart();
SizingState* CurrentSizingState();

// Sees every message of a runtime window first; returns non-zero (and the
// result) when the loop took it.
int SizingLoopMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Edge chosen by an arrow key (VK_LEFT ...) from an edge, or the same edge
// when the key chooses none.
int32_t SizingEdgeForKey(int32_t edge, int key);
// Moves the chosen edges of rect to the cursor point and keeps the size within
// the track limits by moving those same edges.
void SizingMoveEdges(int32_t edge, POINT cursor, const MINMAXINFO& limits, RECT* rect);

}  // namespace kx
