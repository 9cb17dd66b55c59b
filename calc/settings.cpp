#include "settings.h"

#define OPT(text) reinterpret_cast<std::uintptr_t>(text)

// clang-format off
const std::uintptr_t OptionTable[] = {
    IDC_FOSC,     OPT("11.0592"), OPT("12"), OPT("18.432"), OPT("22.1184"), OPT("24"),
    IDC_BAUD,     OPT("1200"), OPT("2400"), OPT("4800"), OPT("9600"), OPT("14400"),
                  OPT("19200"), OPT("28800"), OPT("38400"), OPT("57600"), OPT("115200"),
    IDC_UART,     OPT("串口1 (UART)"), OPT("串口2 (UART2)"),
    IDC_DATABITS, OPT("8位数据"), OPT("9位数据"),
    IDC_BRGEN,    OPT("定时器1(8位重载)"), OPT("独立波特率发生器"),
    IDC_TCLK,     OPT("12T (Fosc/12)"), OPT("1T  (Fosc)"),
    0,
};
// clang-format on

const DefaultSelection DefaultSelections[6] = {
    {IDC_FOSC, 2}, {IDC_BAUD, 3}, {IDC_UART, 0}, {IDC_DATABITS, 0}, {IDC_BRGEN, 0}, {IDC_TCLK, 1},
};

UartSettings DefaultSettings() {
  return UartSettings{"18.432", "9600", false, 0, 0, 0, 1};
}

int OptionTexts(int control, const char* out[], int max) {
  int count = 0;
  std::uintptr_t current = 0;
  for (const std::uintptr_t* e = OptionTable; *e != 0; ++e) {
    if (IsOptionControl(*e))
      current = *e;
    else if (current == static_cast<std::uintptr_t>(control) && count < max)
      out[count++] = reinterpret_cast<const char*>(*e);
  }
  return count;
}

PortRule ApplyPortRule(int uartIndex) {
  if (uartIndex != 0) return PortRule{"波特率倍速(S2SMOD)", true, false};
  // Back on the first port the generator stays where it was, now selectable.
  return PortRule{"波特率倍速(SMOD)", false, true};
}
