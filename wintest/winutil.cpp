#include "winutil.h"

#include <atomic>
#include <cstring>
#include <thread>

const char kCaption[] =
    "ZQL波特率计算器  官方网站:www.zql-mcu.example  技术支持:000-0000(联系人) V1.0";

std::string WindowText(HWND window) {
  std::vector<char> buffer(65536);
  LRESULT n =
      SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return std::string(buffer.data(), n > 0 ? std::strlen(buffer.data()) : 0);
}

std::string ItemText(HWND dialog, int id) {
  return WindowText(GetDlgItem(dialog, id));
}

std::string BoxText(HWND dialog, int id) {
  char buffer[256] = "";
  SendDlgItemMessageA(dialog, id, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

std::vector<std::string> ListItems(HWND combo) {
  std::vector<std::string> items;
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    // The wide form: across processes Wine hands back UTF-16 whatever is asked.
    wchar_t wide[256] = L"";
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
    char text[512] = "";
    WideCharToMultiByte(936, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
    items.push_back(text);
  }
  return items;
}

int Selection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

RECT RectInDialog(HWND dialog, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT DialogUnits(HWND dialog, int x, int y, int cx, int cy) {
  // Position and size are mapped each on its own, as the dialog manager does.
  RECT r{x, y, cx, cy};
  MapDialogRect(dialog, &r);
  return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

namespace {
bool OpenClipboardRetrying() {
  for (int i = 0; i < 200; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(10);
  }
  return false;
}
}  // namespace

std::optional<std::string> ClipboardText() {
  if (!OpenClipboardRetrying()) return std::nullopt;
  std::optional<std::string> text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(data))) {
      text = std::string(p, strnlen(p, GlobalSize(data)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void SetClipboardText(const std::string& text) {
  if (!OpenClipboardRetrying()) return;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
  CloseClipboard();
}

namespace {
struct BoxSearch {
  HWND dialog;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  char name[64] = "";
  GetClassNameA(window, name, sizeof(name));
  if (window != search->dialog && std::strcmp(name, "#32770") == 0 && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

MessageBoxSeen RunDismissingBoxes(DWORD thread, HWND dialog, const std::function<void()>& action) {
  MessageBoxSeen seen;
  std::atomic<bool> done{false};
  std::thread watcher([&] {
    HWND last = nullptr;
    while (!done) {
      BoxSearch search{dialog, nullptr};
      EnumThreadWindows(thread, FindBox, reinterpret_cast<LPARAM>(&search));
      HWND box = search.found;
      if (!box) {
        last = nullptr;
        Sleep(5);
        continue;
      }
      if (box != last) {
        last = box;
        ++seen.count;
        seen.caption = WindowText(box);
        seen.text = WindowText(GetDlgItem(box, 0xFFFF));
        seen.owner = GetWindow(box, GW_OWNER);
        seen.onlyOk = GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) &&
                      !GetDlgItem(box, IDYES) && !GetDlgItem(box, IDNO) &&
                      !GetDlgItem(box, IDRETRY) && !GetDlgItem(box, IDABORT);
      }
      // Pressed again until it goes: the first press may come before the box listens.
      PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      Sleep(50);
    }
  });
  action();
  done = true;
  watcher.join();
  return seen;
}

void PumpMessages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  MSG msg;
  do {
    // Bounded: a hidden window may keep asking to be painted.
    while (GetTickCount() - start < milliseconds && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (GetTickCount() - start < milliseconds);
}
