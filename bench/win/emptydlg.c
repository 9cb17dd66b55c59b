/* The floor for the calculator window's launch: a static dialog program that
   opens an empty dialog and closes on WM_CLOSE. */
#include <windows.h>

#include "emptydlg.h"

static INT_PTR CALLBACK EmptyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  (void)lParam;
  if (message == WM_CLOSE) EndDialog(dialog, 0);
  return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_EMPTY), NULL, EmptyDlgProc, 0);
  return 0;
}
