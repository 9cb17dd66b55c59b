/* The floors for the calculator window's launch: a static dialog program
   that opens a dialog, runs no code of its own in it and closes on WM_CLOSE.
   Built twice: with an empty dialog, and with the calculator's own template
   (BENCH_DIALOG), which shows what the controls alone cost to create. */
#include <windows.h>

#include "emptydlg.h"

#ifndef BENCH_DIALOG
#define BENCH_DIALOG IDD_EMPTY
#endif

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
  DialogBoxParamA(instance, MAKEINTRESOURCEA(BENCH_DIALOG), NULL, EmptyDlgProc, 0);
  return 0;
}
