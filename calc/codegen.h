// The UART initialisation routine, as printf fragments in GBK.
#pragma once

#include <cstddef>

#include "settings.h"

enum class Dialect { C, Asm };

// One piece of the routine: a format and the one argument it takes, if any.
struct Fragment {
  enum Arg { kNone, kText, kReload };
  const char* format;
  Arg arg;
  const char* text;  // for kText: a setting text, inserted unchanged
  int reload;        // for kReload: printed as two upper-case hex digits
};

constexpr int kMaxFragments = 16;

// Fills out[] with the routine's fragments in emission order; returns how many.
// reload must be one that ComputeReload accepted for these settings.
int GenerateCode(Dialect dialect, const UartSettings& settings, int reload,
                 Fragment out[kMaxFragments]);

// snprintf of one fragment; returns what snprintf returns.
int FormatFragment(const Fragment& fragment, char* out, std::size_t size);

// The whole routine, zero-terminated and cut short if size is too small.
// Returns the routine's full length.
std::size_t FormatRoutine(Dialect dialect, const UartSettings& settings, int reload, char* out,
                          std::size_t size);
