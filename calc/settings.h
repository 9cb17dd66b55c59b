// The seven settings of one serial port, their option lists and defaults.
// Portable: no window-system code here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../res/resource.h"

struct UartSettings {
  const char* fosc;  // clock frequency in MHz, exactly as typed
  const char* baud;  // baud rate, exactly as typed
  bool doubling;     // SMOD / S2SMOD
  int uart;          // list indices: only zero versus non-zero matters
  int dataBits;
  int brgen;
  int tclk;

  int DoublingFactor() const { return doubling ? 2 : 1; }
  int ClockDivisor() const { return tclk == 0 ? 12 : 1; }
  bool SecondPort() const { return uart != 0; }
  bool NineBits() const { return dataBits != 0; }
  bool IndependentGenerator() const { return brgen != 0; }
  bool FullRateClock() const { return tclk != 0; }
};

// The settings the window opens with.
UartSettings DefaultSettings();

// Flat, zero-terminated: an entry below 65536 names the control whose list
// the following option texts (GBK, as addresses) belong to.
extern const std::uintptr_t OptionTable[];

inline bool IsOptionControl(std::uintptr_t entry) {
  return entry < 65536;
}

// The default list selections, in the order the window selects them.
struct DefaultSelection {
  int control;
  int index;
};
extern const DefaultSelection DefaultSelections[6];

// Option texts of one control's list, in list order; returns the count.
int OptionTexts(int control, const char* out[], int max);

// What choosing a serial port does to the doubling box and the generator list:
// the second port runs only from the independent baud-rate generator.
struct PortRule {
  const char* doublingLabel;  // GBK
  bool selectIndependentGenerator;
  bool generatorEnabled;
};
PortRule ApplyPortRule(int uartIndex);
