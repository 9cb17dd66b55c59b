// For the screenshot: waits for the calculator window, moves the pointer off
// it (so that no tooltip covers it), brings it to the front and prints its
// screen rectangle as WIDTHxHEIGHT+X+Y. With --close it asks the window to
// close instead.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "winutil.h"

int main(int argc, char** argv) {
  const bool close = argc > 1 && std::strcmp(argv[1], "--close") == 0;
  // Wine moves the X pointer and hands over the foreground only for a thread
  // with a window of its own.
  HWND own = close ? nullptr
                   : CreateWindowExA(WS_EX_TOOLWINDOW, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 1,
                                     1, nullptr, nullptr, nullptr, nullptr);
  for (int i = 0; i < 1000; ++i) {
    HWND dlg = FindWindowA("#32770", kCaption);
    if (dlg && IsWindowVisible(dlg)) {
      if (close) return PostMessageA(dlg, WM_CLOSE, 0, 0) ? 0 : 1;
      SetCursorPos(0, 0);
      SetForegroundWindow(dlg);
      DestroyWindow(own);
      RedrawWindow(dlg, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
      Sleep(500);  // let it paint
      RECT r;
      GetWindowRect(dlg, &r);
      std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
      return 0;
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
  std::fprintf(stderr, "winprobe: no calculator window\n");
  return 1;
}
