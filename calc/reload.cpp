#include "reload.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char kRefusalText[] = "当前的设定无法产生指定的波特率 !";
const char kRefusalCaption[] = "波特率计算器";

namespace {

// The C locale's classes, whatever locale the process runs in.
bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Enough significant digits to round any decimal correctly: a halfway point
// between two doubles has fewer than 770 of them; the rest only matter as a
// sticky non-zero digit.
constexpr int kMaxDigits = 780;
constexpr long kExponentClamp = 100000;

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

double ReadFrequencyMHz(const char* text) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';

  // Significant digits of the mantissa, without leading zeros, and the
  // power of ten that scales them.
  char digits[kMaxDigits + 32];
  int count = 0;
  bool sticky = false;
  bool anyDigit = false;
  long exponent = 0;
  for (; IsDigit(*p); ++p) {
    anyDigit = true;
    if (count == 0 && *p == '0') continue;
    if (count < kMaxDigits)
      digits[count++] = *p;
    else {
      sticky |= *p != '0';
      if (exponent < kExponentClamp) ++exponent;
    }
  }
  if (*p == '.') {
    for (++p; IsDigit(*p); ++p) {
      anyDigit = true;
      if (count == 0 && *p == '0') {
        if (exponent > -kExponentClamp) --exponent;
        continue;
      }
      if (count < kMaxDigits) {
        digits[count++] = *p;
        if (exponent > -kExponentClamp) --exponent;
      } else {
        sticky |= *p != '0';
      }
    }
  }
  if (!anyDigit) return 0.0;

  // An exponent letter counts only when digits follow it.
  if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
    const char* q = p + 1;
    bool expNegative = false;
    if (*q == '+' || *q == '-') expNegative = *q++ == '-';
    if (IsDigit(*q)) {
      long e = 0;
      for (; IsDigit(*q); ++q)
        if (e < kExponentClamp) e = e * 10 + (*q - '0');
      exponent += expNegative ? -e : e;
    }
  }

  const double zero = negative ? -0.0 : 0.0;
  if (count == 0) return zero;  // digits[0] is never '0' otherwise
  if (sticky) digits[count++] = '1', --exponent;

  // Only digits and an exponent reach the C library, so neither its locale
  // nor its hex, inf and nan forms can play a part; its conversion is
  // correctly rounded, and overflows to infinity and underflows to zero.
  std::snprintf(digits + count, sizeof digits - count, "e%ld", exponent);
  const double value = std::strtod(digits, nullptr);
  return negative ? -value : value;
}

std::int32_t ReadBaud(const char* text) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';

  int base = 10;
  if (p[0] == '0') {
    if ((p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) {
      base = 16;
      p += 2;
    } else {
      base = 8;
    }
  }

  std::uint32_t value = 0;
  for (int d; (d = DigitValue(*p)) < base; ++p) {
    std::uint64_t next = std::uint64_t{value} * base + d;
    value = next > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(next);
  }
  if (negative) value = 0u - value;
  return value <= 0x7FFFFFFFu ? static_cast<std::int32_t>(value)
                              : -static_cast<std::int32_t>(~value) - 1;
}

namespace {

// The first 17 significant digits of v, correctly rounded, as "%.16e" gives
// them, and the power of ten of the first. Error rates are small, so the
// common case is done exactly in integers; printf, which is several times
// slower, serves the rest.
void SeventeenDigits(double v, char digits[17], int* exp10) {
  if (v >= 1e-3 && v < 1e13) {
    // v = m / 2^shift exactly, with shift between 9 and 62 in this range.
    int e2 = 0;
    const std::uint64_t m = static_cast<std::uint64_t>(std::ldexp(std::frexp(v, &e2), 53));
    const int shift = 53 - e2;
    int p = 16 - static_cast<int>(std::floor(std::log10(v)));  // may be one off
    for (int attempt = 0; attempt < 3; ++attempt) {
      unsigned __int128 scale = 1;
      for (int i = 0; i < p; ++i) scale *= 10;
      const unsigned __int128 exact = scale * m;  // v * 10^p * 2^shift, below 2^121
      unsigned __int128 q = exact >> shift;
      const unsigned __int128 rest = exact - (q << shift);
      const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
      if (rest > half || (rest == half && (q & 1))) ++q;  // ties to even, as printf
      if (q >= static_cast<unsigned __int128>(100000000000000000ull)) {
        --p;
      } else if (q < static_cast<unsigned __int128>(10000000000000000ull)) {
        ++p;
      } else {
        std::uint64_t n = static_cast<std::uint64_t>(q);
        for (int i = 16; i >= 0; --i, n /= 10) digits[i] = static_cast<char>('0' + n % 10);
        *exp10 = 16 - p;
        return;
      }
    }
  }
  // d.dddddddddddddddde±x, whatever the locale's decimal point looks like.
  char sci[64];
  std::snprintf(sci, sizeof sci, "%.16e", v);
  const char* p = sci;
  for (int i = 0; i < 17; ++p)
    if (IsDigit(*p)) digits[i++] = *p;
  *exp10 = static_cast<int>(std::strtol(std::strchr(p, 'e') + 1, nullptr, 10));
}

}  // namespace

std::size_t FormatErrorPercent(double percent, char* out, std::size_t size) {
  char text[400];  // the fixed form of any finite double, rounded
  std::size_t len = 0;
  if (!std::isfinite(percent)) {
    const char* word = std::isnan(percent) ? "nan%" : percent < 0 ? "-inf%" : "inf%";
    len = std::strlen(word);
    std::memcpy(text, word, len);
  } else {
    char digits[17];
    int exp10 = 0;
    SeventeenDigits(std::fabs(percent), digits, &exp10);

    // Integer digits and the first three decimals of that digit string.
    char whole[320];
    int wholeLen = 0;
    int decimals[3] = {0, 0, 0};
    for (int i = 0; i <= exp10; ++i) whole[wholeLen++] = i < 17 ? digits[i] : '0';
    if (wholeLen == 0) whole[wholeLen++] = '0';
    for (int j = 0; j < 3; ++j) {
      int i = exp10 + 1 + j;  // index into digits of the j-th decimal
      decimals[j] = (i >= 0 && i < 17) ? digits[i] - '0' : 0;
    }

    // Half-up at the second decimal, carrying into the integer part.
    if (decimals[2] >= 5) {
      int k = 1;
      for (; k >= 0 && decimals[k] == 9; --k) decimals[k] = 0;
      if (k >= 0) {
        ++decimals[k];
      } else {
        int w = wholeLen - 1;
        for (; w >= 0 && whole[w] == '9'; --w) whole[w] = '0';
        if (w >= 0) {
          ++whole[w];
        } else {
          std::memmove(whole + 1, whole, wholeLen++);
          whole[0] = '1';
        }
      }
    }
    bool zero = decimals[0] == 0 && decimals[1] == 0 && wholeLen == 1 && whole[0] == '0';
    if (percent < 0 && !zero) text[len++] = '-';
    std::memcpy(text + len, whole, wholeLen);
    len += wholeLen;
    text[len++] = '.';
    text[len++] = static_cast<char>('0' + decimals[0]);
    text[len++] = static_cast<char>('0' + decimals[1]);
    text[len++] = '%';
  }
  if (size > 0) {
    std::size_t n = len < size - 1 ? len : size - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
  }
  return len;
}

ReloadResult ComputeReload(const char* fosc, const char* baud, bool doubling, int tclk) {
  ReloadResult result{};
  const double f = ReadFrequencyMHz(fosc) * 1e6;
  const std::int32_t b = ReadBaud(baud);
  // A negative frequency or baud rate means nothing on a UART, even when the
  // two signs cancel.
  if (f < 0 || b < 0) return result;

  // The order of these operations decides exact halves in the rounding below.
  double x = (doubling ? 2.0 : 1.0) * f;
  x = x / (tclk == 0 ? 12.0 : 1.0);
  x = x * 0.03125;

  // Reload 256 - N divides the timer rate by N, which must fit the 8-bit timer.
  const double q = x / b + 0.5;
  if (!(q >= 1.0 && q < 257.0)) return result;  // also catches inf and nan
  const int n = static_cast<int>(q);

  result.accepted = true;
  result.reload = 256 - n;
  result.actualBaud = x / n;
  FormatErrorPercent(std::fabs(result.actualBaud - b) / b * 100, result.error, sizeof result.error);
  return result;
}
