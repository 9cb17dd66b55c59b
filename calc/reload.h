// Reload value of the baud-rate timer and the error of the baud rate it gives.
#pragma once

#include <cstddef>
#include <cstdint>

struct ReloadResult {
  bool accepted;
  int reload;         // 0..255 when accepted
  double actualBaud;  // the baud rate the reload value really produces
  char error[16];     // e.g. "0.16%"; empty when refused
};

// Shown, with its caption, when the settings are refused (GBK).
extern const char kRefusalText[];
extern const char kRefusalCaption[];

ReloadResult ComputeReload(const char* fosc, const char* baud, bool doubling, int tclk);

// The readers and the formatter ComputeReload is built from.
// Frequency text in MHz, strtod rules with "d"/"D" exponents, no hex, inf or
// nan; correctly rounded and independent of the C locale.
double ReadFrequencyMHz(const char* text);
// strtoul rules with automatic base, 32-bit saturation and sign, read signed.
std::int32_t ReadBaud(const char* text);
// "%.2f%%" of a non-negative value, rounded half-up at the second decimal of
// its 17-significant-digit form. Always zero-terminated; returns the length.
std::size_t FormatErrorPercent(double percent, char* out, std::size_t size);
