// Arbitrary frequency and baud texts and settings through the calculation and
// the routine, with glibc's strtod as the oracle where its extra forms
// (hex, inf, nan) cannot appear.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "calc/codegen.h"
#include "calc/reload.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

bool HasNoExtraForms(const std::string& s) {
  return s.find_first_of("xXiInNpPdD") == std::string::npos;
}

bool IsErrorText(const char* t) {
  // digits "." two digits "%"
  std::size_t n = std::strlen(t);
  if (n < 5 || t[n - 1] != '%' || t[n - 4] != '.') return false;
  for (std::size_t i = 0; i < n - 1; ++i)
    if (i != n - 4 && (t[i] < '0' || t[i] > '9')) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  // Texts as the boxes give them: zero-terminated, at most 255 bytes.
  const std::size_t cut = rest.find('\0');
  std::string fosc = rest.substr(0, cut).substr(0, 255);
  std::string baud = cut == std::string::npos ? "" : rest.substr(cut + 1).substr(0, 255);
  baud = baud.substr(0, baud.find('\0'));

  if (HasNoExtraForms(fosc)) {
    const double want = std::strtod(fosc.c_str(), nullptr);
    const double got = ReadFrequencyMHz(fosc.c_str());
    Check(got == want || (std::isnan(got) && std::isnan(want)), "frequency differs from strtod");
  }

  const bool doubling = flags & 1;
  const int tclk = flags >> 1 & 1;
  const ReloadResult r = ComputeReload(fosc.c_str(), baud.c_str(), doubling, tclk);
  if (!r.accepted) return 0;
  Check(r.reload >= 0 && r.reload <= 255, "reload out of range");
  Check(IsErrorText(r.error), "error text malformed");
  Check(std::strtod(r.error, nullptr) <= 50.0, "error above 50%");
  Check(r.actualBaud > 0 && std::isfinite(r.actualBaud), "actual baud not positive");

  UartSettings s{fosc.c_str(),   baud.c_str(),   doubling, flags >> 2 & 1,
                 flags >> 3 & 1, flags >> 4 & 1, tclk};
  const Dialect dialect = (flags & 32) ? Dialect::Asm : Dialect::C;
  char routine[2048];
  const std::size_t n = FormatRoutine(dialect, s, r.reload, routine, sizeof routine);
  Check(n < sizeof routine, "routine longer than its buffer");
  Check(std::strlen(routine) == n, "routine length");
  Check(std::strstr(routine, baud.c_str()) != nullptr, "baud text not in the header");
  return 0;
}
