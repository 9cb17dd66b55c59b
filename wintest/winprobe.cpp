// For the screenshot: waits for the calculator window, moves the pointer off
// it (so that no tooltip covers it) and prints its screen rectangle as
// WIDTHxHEIGHT+X+Y.
#include <windows.h>

#include <cstdio>

#include "winutil.h"

int main() {
  SetCursorPos(0, 0);
  for (int i = 0; i < 1000; ++i) {
    HWND dlg = FindWindowA("#32770", kCaption);
    if (dlg && IsWindowVisible(dlg)) {
      Sleep(300);  // let it paint
      RECT r;
      GetWindowRect(dlg, &r);
      std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
      return 0;
    }
    Sleep(10);
  }
  std::fprintf(stderr, "winprobe: no calculator window\n");
  return 1;
}
