// Rich-text editors ("RichEdit20A", else "RichEdit"): items are lines.
// Data words: empty-line state (1 while an empty editor holds one empty
// line added as an item), back colour, text colour, kept procedure.
#include <windows.h>
#include <richedit.h>

#include <cstring>

#include "runtime/core/strings.h"
#include "runtime/gui/gadget_kind.h"

namespace kx {
namespace {

constexpr DWORD kEditorStyle = 0x503111C4;  // child, visible, tab stop, scroll bars, multi-line, ...
enum { kEmptyLine = 0, kBack = 1, kFront = 2 };

const char* EditorClass() {
  static const char* name = nullptr;
  if (!name) {
    if (LoadLibraryA("RICHED20.DLL")) name = "RichEdit20A";
    else if (LoadLibraryA("RICHED32.DLL")) name = "RichEdit";
    else name = "";
  }
  return name;
}

int32_t TextLength(HWND editor) { return GetWindowTextLengthA(editor); }

int32_t LineCount(GadgetObject* g) {
  if (TextLength(g->handle) == 0) return g->data[kEmptyLine] ? 1 : 0;
  return int32_t(SendMessageA(g->handle, EM_GETLINECOUNT, 0, 0));
}

void Replace(HWND editor, int32_t from, int32_t to, const char* text) {
  SendMessageA(editor, EM_HIDESELECTION, TRUE, 0);
  SendMessageA(editor, EM_SETSEL, WPARAM(from), LPARAM(to));
  SendMessageA(editor, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
  SendMessageA(editor, EM_SETSEL, 0, 0);
  SendMessageA(editor, EM_HIDESELECTION, FALSE, 0);
}

// text plus or after a line break, as one block of the process heap.
char* WithBreak(const char* text, bool breakFirst) {
  const size_t length = strlen(text);
  char* joined = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 3));
  if (!joined) return nullptr;
  if (breakFirst) {
    memcpy(joined, "\r\n", 2);
    memcpy(joined + 2, text, length + 1);
  } else {
    memcpy(joined, text, length);
    memcpy(joined + length, "\r\n", 3);
  }
  return joined;
}

intptr_t AddLine(GadgetObject* g, int32_t position, const char* text) {
  HWND editor = g->handle;
  const int32_t count = LineCount(g);
  if (position < 0 || position > count) position = count;
  if (count == 0) {
    // The first line: the text alone; an empty one is remembered.
    SetWindowTextA(editor, text);
    g->data[kEmptyLine] = text[0] == '\0';
    return 0;
  }
  char* joined;
  int32_t at;
  if (position == count) {
    joined = WithBreak(text, true);
    at = TextLength(editor);
  } else {
    joined = WithBreak(text, false);
    at = int32_t(SendMessageA(editor, EM_LINEINDEX, WPARAM(position), 0));
  }
  if (!joined) return -1;
  Replace(editor, at, at, joined);
  HeapFree(GetProcessHeap(), 0, joined);
  g->data[kEmptyLine] = 0;
  return position;
}

intptr_t AddItem(GadgetObject* g, int32_t position, const char* text, intptr_t) { return AddLine(g, position, text); }

void RemoveLine(GadgetObject* g, int32_t line) {
  HWND editor = g->handle;
  const int32_t count = LineCount(g);
  if (line < 0 || line >= count) return;
  if (count == 1) {
    SetWindowTextA(editor, "");
    g->data[kEmptyLine] = 0;
    return;
  }
  const int32_t start = int32_t(SendMessageA(editor, EM_LINEINDEX, WPARAM(line), 0));
  if (line + 1 < count) {
    const int32_t next = int32_t(SendMessageA(editor, EM_LINEINDEX, WPARAM(line + 1), 0));
    Replace(editor, start, next, "");
  } else {
    // The last line goes with the break before it.
    Replace(editor, start > 0 ? start - 1 : 0, TextLength(editor), "");
  }
  if (TextLength(editor) == 0) g->data[kEmptyLine] = 1;  // one empty line is left
}

void Clear(GadgetObject* g) {
  SetWindowTextA(g->handle, "");
  g->data[kEmptyLine] = 0;
}

intptr_t Count(GadgetObject* g) { return LineCount(g); }

char* LineText(GadgetObject* g, int32_t line, int32_t, int32_t mark) {
  HWND editor = g->handle;
  if (line < 0 || line >= LineCount(g)) return ReturnString("", 0, mark);
  const int32_t start = int32_t(SendMessageA(editor, EM_LINEINDEX, WPARAM(line), 0));
  const int32_t length = int32_t(SendMessageA(editor, EM_LINELENGTH, WPARAM(start), 0));
  // EM_GETLINE reads the buffer size from its first word.
  const int32_t room = length + 2 > int32_t(sizeof(WORD)) ? length + 2 : int32_t(sizeof(WORD));
  char* out = ReserveStringRoom(room, mark);
  if (!out) return ReturnString("", 0, mark);
  *reinterpret_cast<WORD*>(out) = static_cast<WORD>(room);
  int32_t got = int32_t(SendMessageA(editor, EM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(out)));
  if (got < 0) got = 0;
  if (got > room) got = room;
  while (got > 0 && (out[got - 1] == '\r' || out[got - 1] == '\n')) --got;
  out[got] = '\0';
  ReturnStringRoom(room - got);
  return out;
}

void SetLineText(GadgetObject* g, int32_t line, const char* text, int32_t) {
  HWND editor = g->handle;
  if (line < 0 || line >= LineCount(g)) return;
  const int32_t start = int32_t(SendMessageA(editor, EM_LINEINDEX, WPARAM(line), 0));
  const int32_t length = int32_t(SendMessageA(editor, EM_LINELENGTH, WPARAM(start), 0));
  Replace(editor, start, start + length, text);
  if (TextLength(editor) > 0) g->data[kEmptyLine] = 0;
}

intptr_t GetAttribute(GadgetObject* g, int32_t attribute) {
  if (attribute != EditorReadOnly) return 0;
  return (SendMessageA(g->handle, EM_GETOPTIONS, 0, 0) & ECO_READONLY) ? 1 : 0;
}

void SetAttribute(GadgetObject* g, int32_t attribute, intptr_t value) {
  if (attribute == EditorReadOnly) SendMessageA(g->handle, EM_SETREADONLY, value ? TRUE : FALSE, 0);
}

void ApplyTextColour(GadgetObject* g) {
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR;
  if (g->data[kFront] == ColorDefault) {
    format.dwEffects = CFE_AUTOCOLOR;
  } else {
    format.crTextColor = COLORREF(g->data[kFront]);
  }
  SendMessageA(g->handle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  SendMessageA(g->handle, EM_SETCHARFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

void SetColour(GadgetObject* g, int32_t type, intptr_t colour) {
  if (type == ColorBack) {
    g->data[kBack] = colour;
    SendMessageA(g->handle, EM_SETBKGNDCOLOR, colour == ColorDefault ? 1 : 0,
                 colour == ColorDefault ? 0 : LPARAM(colour));
  } else if (type == ColorFront) {
    g->data[kFront] = colour;
    ApplyTextColour(g);
  }
}

intptr_t GetColour(GadgetObject* g, int32_t type) {
  if (type == ColorBack) return g->data[kBack];
  if (type == ColorFront) return g->data[kFront];
  return 0;
}

LRESULT CALLBACK EditorProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetObject* g = KindRecordOf(control);
  if (!g) return DefWindowProcA(control, message, wParam, lParam);
  const LRESULT result = CallKindProcedure(g, control, message, wParam, lParam);
  // A new font brings the default colour back: the text colour goes on it again.
  if (message == WM_SETFONT && g->data[kFront] != ColorDefault) ApplyTextColour(g);
  return result;
}

void FillEditor(GadgetKind* k) {
  k->addItem = AddItem;
  k->removeItem = RemoveLine;
  k->clearItems = Clear;
  k->countItems = Count;
  k->getItemText = LineText;
  k->setItemText = SetLineText;
  k->getAttribute = GetAttribute;
  k->setAttribute = SetAttribute;
  k->setColor = SetColour;
  k->getColor = GetColour;
}

}  // namespace

intptr_t EditorGadget(intptr_t gadget, int32_t x, int32_t y, int32_t width, int32_t height, int32_t flags) {
  if (!CheckGadgetCreation(gadget)) return 0;
  intptr_t object = 0;
  GadgetObject* g = TakeGadgetSlot(gadget, &object);
  if (!g) return 0;
  g->data[kBack] = g->data[kFront] = ColorDefault;
  HWND control = CreateGadgetControl(WS_EX_CLIENTEDGE, EditorClass(), "", static_cast<DWORD>(flags) | kEditorStyle,
                                     x, y, width, height);
  if (control) {
    SendMessageA(control, EM_LIMITTEXT, WPARAM(-1), 0);
    SubclassForKind(g, object, control, EditorProcedure);
  }
  return RegisterGadget(gadget, control, KindTable(KindEditor, FillEditor), g, object);
}

}  // namespace kx
