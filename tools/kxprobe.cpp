// kxprobe: inspects and drives the windows of another running program, the
// way a user's UI-automation tool would, for tests and for people.
//
//   kxprobe [--timeout=MS] COMMAND ARGUMENTS [-- COMMAND ARGUMENTS ...]
//
//   find TITLE                 the top-level window with this exact title
//   controls TITLE             the window, its controls (with list columns and
//                              cells, tabs, progress) and the focused control
//   menu TITLE                 the menu bar with its items
//   click TITLE ID             presses the button with this control ID
//   settext TITLE ID TEXT      sets a control's text
//   select TITLE ID INDEX      selects a list row or a tab
//   choose TITLE ITEM          chooses a menu item (WM_COMMAND)
//   close TITLE                asks the window to close (WM_CLOSE)
//   gone TITLE                 waits until no window has this title
//   dialog TITLE [BUTTON]      a dialog (message box): title, text, buttons;
//                              with BUTTON (its text or ID) presses it
//   filedialog TITLE [PATH]    a file dialog's folder, file name and filter;
//                              with PATH types it as the file name and confirms
//   folderdialog TITLE [PATH]  selects PATH in a folder browser and confirms
//   screenshot TITLE FILE      saves the window's pixels as a BMP file (a PNG
//                              file when FILE ends with ".png")
//
// TITLE waits up to the time-out (default 5000 ms) for the window.  Output is
// plain text, one fact per line ("key value" pairs after a kind word), texts
// in double quotes with control characters written as \n, \r, \t.  Exit code
// 0 on success, 1 when the window or control is missing, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/gui/png.h"

namespace {

DWORD g_timeout = 5000;
constexpr UINT SendTimeout = 5000;

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '"') out += "\\\"";
    else out += char(c);
  }
  return out + "\"";
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, SendTimeout, &result)) return 0;
  return LRESULT(result);
}

std::string TextOf(HWND window) {
  const LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<char> text(size_t(length) + 2, 0);
  Send(window, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

std::string ClassOf(HWND window) {
  char name[128] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool ClassIs(HWND window, const char* name) { return lstrcmpiA(ClassOf(window).c_str(), name) == 0; }

// Memory in the target process for the list, tab and browser messages that
// carry pointers.
class RemoteBlock {
 public:
  RemoteBlock(HWND window, SIZE_T size) : size_(size) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process);
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBlock() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;

  bool ok() const { return address_ != nullptr; }
  char* at(SIZE_T offset) const { return static_cast<char*>(address_) + offset; }
  LPARAM param() const { return reinterpret_cast<LPARAM>(address_); }
  bool write(const void* data, SIZE_T bytes, SIZE_T offset = 0) const {
    return offset + bytes <= size_ && WriteProcessMemory(process_, at(offset), data, bytes, nullptr);
  }
  bool read(void* data, SIZE_T bytes, SIZE_T offset = 0) const {
    return offset + bytes <= size_ && ReadProcessMemory(process_, at(offset), data, bytes, nullptr);
  }
  std::string readText(SIZE_T offset, SIZE_T bytes) const {
    std::vector<char> text(bytes + 1, 0);
    read(text.data(), bytes, offset);
    return text.data();
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  SIZE_T size_;
};

constexpr SIZE_T TextRoom = 1024;
constexpr SIZE_T TextOffset = 256;  // the structure lies before the text

// ---- finding windows --------------------------------------------------------

struct Search {
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM value) {
  Search* search = reinterpret_cast<Search*>(value);
  char title[512] = "";
  GetWindowTextA(window, title, sizeof title);
  if (IsWindowVisible(window) && strcmp(title, search->title) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(const char* title) {
  Search search{title, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(const char* title) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindTopLevel(title)) return window;
    if (GetTickCount() - start >= g_timeout) break;
    Sleep(50);
  }
  std::printf("missing window %s\n", Quote(title).c_str());
  return nullptr;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM value) {
  reinterpret_cast<std::vector<HWND>*>(value)->push_back(child);
  return TRUE;
}

std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> all;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND ControlById(HWND top, int id) {
  for (HWND child : Descendants(top)) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  std::printf("missing control %d\n", id);
  return nullptr;
}

// ---- reporting ----------------------------------------------------------------

void PrintRect(HWND window, bool screen) {
  RECT r;
  GetWindowRect(window, &r);
  if (!screen) MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  std::printf(" x %ld y %ld width %ld height %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void PrintWindowLine(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  std::printf("window handle %lld class %s title %s", static_cast<long long>(reinterpret_cast<intptr_t>(window)),
              Quote(ClassOf(window)).c_str(), Quote(TextOf(window)).c_str());
  PrintRect(window, true);
  std::printf(" inner %ld %ld visible %d enabled %d\n", client.right, client.bottom, IsWindowVisible(window) ? 1 : 0,
              IsWindowEnabled(window) ? 1 : 0);
}

void PrintListView(HWND list, int id) {
  RemoteBlock remote(list, TextOffset + TextRoom);
  if (!remote.ok()) return;
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
  const int columns = header ? int(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int c = 0; c < columns; ++c) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = remote.at(TextOffset);
    column.cchTextMax = int(TextRoom);
    remote.write(&column, sizeof column);
    remote.write("", 1, TextOffset);
    Send(list, LVM_GETCOLUMNA, WPARAM(c), remote.param());
    remote.read(&column, sizeof column);
    std::printf("column id %d index %d width %d title %s\n", id, c, column.cx,
                Quote(remote.readText(TextOffset, TextRoom)).c_str());
  }
  const int rows = int(Send(list, LVM_GETITEMCOUNT, 0, 0));
  std::printf("rows id %d count %d\n", id, rows);
  for (int r = 0; r < rows; ++r) {
    const LRESULT state = Send(list, LVM_GETITEMSTATE, WPARAM(r), LVIS_SELECTED | LVIS_STATEIMAGEMASK);
    std::printf("row id %d index %d selected %d checked %d\n", id, r, (state & LVIS_SELECTED) ? 1 : 0,
                ((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0);
    for (int c = 0; c < (columns > 0 ? columns : 1); ++c) {
      LVITEMA item = {};
      item.mask = LVIF_TEXT;
      item.iSubItem = c;
      item.pszText = remote.at(TextOffset);
      item.cchTextMax = int(TextRoom);
      remote.write(&item, sizeof item);
      remote.write("", 1, TextOffset);
      Send(list, LVM_GETITEMTEXTA, WPARAM(r), remote.param());
      std::printf("cell id %d row %d column %d text %s\n", id, r, c,
                  Quote(remote.readText(TextOffset, TextRoom)).c_str());
    }
  }
}

void PrintTabs(HWND tabs, int id) {
  RemoteBlock remote(tabs, TextOffset + TextRoom);
  if (!remote.ok()) return;
  const int count = int(Send(tabs, TCM_GETITEMCOUNT, 0, 0));
  const int selected = int(Send(tabs, TCM_GETCURSEL, 0, 0));
  std::printf("tabs id %d count %d selected %d\n", id, count, selected);
  for (int t = 0; t < count; ++t) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = remote.at(TextOffset);
    item.cchTextMax = int(TextRoom);
    remote.write(&item, sizeof item);
    remote.write("", 1, TextOffset);
    Send(tabs, TCM_GETITEMA, WPARAM(t), remote.param());
    std::printf("tab id %d index %d title %s selected %d\n", id, t,
                Quote(remote.readText(TextOffset, TextRoom)).c_str(), t == selected ? 1 : 0);
  }
}

void PrintControl(HWND top, HWND control) {
  const int id = GetDlgCtrlID(control);
  HWND parent = GetParent(control);
  const std::string className = ClassOf(control);
  std::printf("control id %d class %s text %s", id, Quote(className).c_str(), Quote(TextOf(control)).c_str());
  PrintRect(control, false);
  std::printf(" visible %d enabled %d parent %d", IsWindowVisible(control) ? 1 : 0, IsWindowEnabled(control) ? 1 : 0,
              parent == top ? -1 : GetDlgCtrlID(parent));
  if (ClassIs(control, "Button")) std::printf(" checked %d", int(Send(control, BM_GETCHECK, 0, 0)));
  std::printf("\n");
  if (ClassIs(control, WC_LISTVIEWA)) PrintListView(control, id);
  if (ClassIs(control, WC_TABCONTROLA)) PrintTabs(control, id);
  if (ClassIs(control, PROGRESS_CLASSA)) {
    std::printf("progress id %d position %d minimum %d maximum %d\n", id, int(Send(control, PBM_GETPOS, 0, 0)),
                int(Send(control, PBM_GETRANGE, TRUE, 0)), int(Send(control, PBM_GETRANGE, FALSE, 0)));
  }
}

void PrintFocus(HWND top) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return;
  HWND focus = info.hwndFocus;
  std::printf("focus id %d class %s active %d\n", focus ? GetDlgCtrlID(focus) : 0,
              Quote(focus ? ClassOf(focus) : "").c_str(), info.hwndActive == top ? 1 : 0);
}

int ListControls(HWND top) {
  PrintWindowLine(top);
  for (HWND child : Descendants(top)) PrintControl(top, child);
  PrintFocus(top);
  return 0;
}

void PrintMenu(HMENU menu, int level) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
    if (HMENU sub = GetSubMenu(menu, i)) {
      std::printf("menu title level %d index %d text %s\n", level, i, Quote(text).c_str());
      PrintMenu(sub, level + 1);
    } else {
      std::printf("menu item level %d index %d id %d text %s\n", level, i, int(GetMenuItemID(menu, i)),
                  Quote(text).c_str());
    }
  }
}

// Other processes' menus are readable only where the window system shares
// them (Windows does; Wine keeps them per process).
int ListMenu(HWND top) {
  HMENU menu = GetMenu(top);
  if (!menu || GetMenuItemCount(menu) < 0) {
    std::printf("menu unavailable\n");
    return 1;
  }
  PrintMenu(menu, 0);
  return 0;
}

// ---- driving ------------------------------------------------------------------

int SelectIndex(HWND control, int index) {
  if (ClassIs(control, WC_TABCONTROLA)) {
    // Focusing a tab selects it with the notifications a click would send.
    Send(control, TCM_SETCURFOCUS, WPARAM(index), 0);
    return int(Send(control, TCM_GETCURSEL, 0, 0)) == index ? 0 : 1;
  }
  if (ClassIs(control, WC_LISTVIEWA)) {
    RemoteBlock remote(control, sizeof(LVITEMA));
    if (!remote.ok()) return 1;
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    remote.write(&item, sizeof item);
    Send(control, LVM_SETITEMSTATE, WPARAM(-1), remote.param());
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    remote.write(&item, sizeof item);
    Send(control, LVM_SETITEMSTATE, WPARAM(index), remote.param());
    return 0;
  }
  std::printf("unsupported class %s\n", Quote(ClassOf(control)).c_str());
  return 1;
}

// A dialog's button by its text (without "&") or its ID.
HWND FindButton(HWND dialog, const char* which) {
  char* end = nullptr;
  const long id = strtol(which, &end, 10);
  const bool numeric = end && *end == 0 && end != which;
  for (HWND child : Descendants(dialog)) {
    if (!ClassIs(child, "Button")) continue;
    if (numeric && GetDlgCtrlID(child) == id) return child;
    std::string text = TextOf(child), plain;
    for (char c : text) {
      if (c != '&') plain += c;
    }
    if (!numeric && (plain == which || text == which)) return child;
  }
  std::printf("missing button %s\n", Quote(which).c_str());
  return nullptr;
}

int DescribeDialog(HWND dialog, const char* press) {
  std::printf("dialog title %s\n", Quote(TextOf(dialog)).c_str());
  for (HWND child : Descendants(dialog)) {
    if (ClassIs(child, "Static") && GetWindowTextLengthA(child) > 0) {
      std::printf("dialog text %s\n", Quote(TextOf(child)).c_str());
    } else if (ClassIs(child, "Button")) {
      std::printf("dialog button id %d text %s\n", GetDlgCtrlID(child), Quote(TextOf(child)).c_str());
    }
  }
  HWND owner = GetWindow(dialog, GW_OWNER);
  std::printf("dialog owner %s\n", Quote(owner ? TextOf(owner) : "").c_str());
  std::fflush(stdout);
  if (!press) return 0;
  HWND button = FindButton(dialog, press);
  if (!button) return 1;
  PostMessageA(button, BM_CLICK, 0, 0);
  return 0;
}

// The file name field of a file dialog: the combo box 0x47C (its edit) of the
// newer template, else the edit 0x480.
HWND FileNameField(HWND dialog) {
  for (HWND child : Descendants(dialog)) {
    const int id = GetDlgCtrlID(child);
    if (id == 0x47C && ClassIs(child, "ComboBoxEx32")) continue;
    if (id == 0x47C || id == 0x480) {
      if (ClassIs(child, "Edit")) return child;
      if (HWND edit = FindWindowExA(child, nullptr, "Edit", nullptr)) return edit;
      return child;
    }
  }
  return nullptr;
}

// Prints the dialog's folder, file name and chosen filter; with a path types
// it into the file name field and confirms.
int FileDialog(HWND dialog, const char* path) {
  HWND field = FileNameField(dialog);
  if (!field) {
    std::printf("missing field file name\n");
    return 1;
  }
  std::string folder;
  RemoteBlock remote(dialog, MAX_PATH + 1);
  if (remote.ok()) {
    remote.write("", 1);
    Send(dialog, CDM_GETFOLDERPATH, MAX_PATH, remote.param());
    folder = remote.readText(0, MAX_PATH);
  }
  std::printf("filedialog folder %s name %s\n", Quote(folder).c_str(), Quote(TextOf(field)).c_str());
  if (HWND filter = GetDlgItem(dialog, 0x470)) {  // the file type combo box
    std::printf("filedialog filter index %d text %s\n", int(Send(filter, CB_GETCURSEL, 0, 0)),
                Quote(TextOf(filter)).c_str());
  }
  std::fflush(stdout);
  if (!path) return 0;
  Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  HWND ok = GetDlgItem(dialog, IDOK);
  if (!ok) return 1;
  PostMessageA(ok, BM_CLICK, 0, 0);
  return 0;
}

int ConfirmFolderDialog(HWND dialog, const char* path) {
  if (path) {
    RemoteBlock remote(dialog, MAX_PATH + 1);
    if (!remote.ok()) return 1;
    remote.write(path, strlen(path) + 1);
    Send(dialog, BFFM_SETSELECTIONA, TRUE, remote.param());
  }
  HWND ok = GetDlgItem(dialog, IDOK);
  if (!ok) return 1;
  PostMessageA(ok, BM_CLICK, 0, 0);
  return 0;
}

// ---- screenshots ---------------------------------------------------------------

int SaveScreenshot(HWND window, const char* file) {
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return 1;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files keep their rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD stride = DWORD((width * 3 + 3) & ~3);
  std::vector<unsigned char> pixels(size_t(stride) * size_t(height));
  GetDIBits(memory, bitmap, 0, UINT(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  const size_t length = std::strlen(file);
  if (length > 4 && lstrcmpiA(file + length - 4, ".png") == 0) {
    if (!kx::EncodePngFile(file, pixels.data(), width, height, int32_t(stride))) return 1;
    std::printf("screenshot file %s width %d height %d\n", Quote(file).c_str(), width, height);
    return 0;
  }
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + DWORD(pixels.size());
  FILE* out = std::fopen(file, "wb");
  if (!out) return 1;
  std::fwrite(&header, sizeof header, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  std::fclose(out);
  std::printf("screenshot file %s width %d height %d\n", Quote(file).c_str(), width, height);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: kxprobe [--timeout=MS] find|controls|menu|close|gone TITLE\n"
               "       kxprobe click TITLE ID | settext TITLE ID TEXT | select TITLE ID INDEX\n"
               "       kxprobe choose TITLE ITEM | dialog TITLE [BUTTON]\n"
               "       kxprobe filedialog TITLE [PATH] | folderdialog TITLE [PATH] | screenshot TITLE FILE\n");
  return 2;
}

int Run(const std::vector<std::string>& a) {
  if (a.size() < 2) return Usage();
  const std::string& command = a[0];
  const char* title = a[1].c_str();
  if (command == "gone") {
    const DWORD start = GetTickCount();
    while (FindTopLevel(title)) {
      if (GetTickCount() - start >= g_timeout) {
        std::printf("present window %s\n", Quote(title).c_str());
        return 1;
      }
      Sleep(50);
    }
    std::printf("gone window %s\n", Quote(title).c_str());
    return 0;
  }
  HWND top = WaitForWindow(title);
  if (!top) return 1;
  if (command == "find" && a.size() == 2) {
    PrintWindowLine(top);
    return 0;
  }
  if (command == "controls" && a.size() == 2) return ListControls(top);
  if (command == "menu" && a.size() == 2) return ListMenu(top);
  if (command == "close" && a.size() == 2) return PostMessageA(top, WM_CLOSE, 0, 0) ? 0 : 1;
  if (command == "dialog" && a.size() <= 3) return DescribeDialog(top, a.size() == 3 ? a[2].c_str() : nullptr);
  if (command == "filedialog" && a.size() <= 3) return FileDialog(top, a.size() == 3 ? a[2].c_str() : nullptr);
  if (command == "folderdialog" && a.size() <= 3) return ConfirmFolderDialog(top, a.size() == 3 ? a[2].c_str() : nullptr);
  if (command == "screenshot" && a.size() == 3) return SaveScreenshot(top, a[2].c_str());
  if (command == "choose" && a.size() == 3) {
    return PostMessageA(top, WM_COMMAND, MAKEWPARAM(atoi(a[2].c_str()), 0), 0) ? 0 : 1;
  }
  if (a.size() < 3) return Usage();
  HWND control = ControlById(top, atoi(a[2].c_str()));
  if (!control) return 1;
  if (command == "click" && a.size() == 3) return PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
  if (command == "settext" && a.size() == 4) {
    Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str()));
    return 0;
  }
  if (command == "select" && a.size() == 4) return SelectIndex(control, atoi(a[3].c_str()));
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  // Commands separated by "--" run one after the other (while a modal dialog
  // is open, for example); the first that fails ends the run.
  std::vector<std::vector<std::string>> commands(1);
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "--timeout=", 10) == 0) g_timeout = DWORD(strtoul(argv[i] + 10, nullptr, 10));
    else if (strcmp(argv[i], "--") == 0) commands.emplace_back();
    else commands.back().push_back(argv[i]);
  }
  int result = 0;
  for (const std::vector<std::string>& command : commands) {
    result = Run(command);
    std::fflush(stdout);
    if (result != 0) break;
  }
  return result;
}
