#include <windows.h>

#include "calculator.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  g_hInstance = hInstance;
  DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_CALCULATOR), nullptr, CalculatorDlgProc, 0);
  return 0;
}
