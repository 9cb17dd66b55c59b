// Speed of the calculation core beside the floor it cannot beat: the same
// text produced by plain snprintf from values worked out beforehand.
// Also counts heap allocations on the window's path, which should be none.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "calc/codegen.h"
#include "calc/reload.h"
#include "calc/settings.h"

// ---------------------------------------------------------------------------
// Allocation counting. malloc and friends are replaced for the whole binary;
// only calls made while g_counting is set are counted, so the benchmark
// library's own bookkeeping stays out of the figure.

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace {
bool g_counting = false;
long g_allocations = 0;
}  // namespace

extern "C" void* malloc(std::size_t size) {
  if (g_counting) ++g_allocations;
  return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
  if (g_counting) ++g_allocations;
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, std::size_t size) {
  if (g_counting) ++g_allocations;
  return __libc_realloc(p, size);
}
extern "C" void free(void* p) {
  __libc_free(p);
}

void* operator new(std::size_t size) {
  void* p = malloc(size == 0 ? 1 : size);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  free(p);
}
void operator delete[](void* p) noexcept {
  free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  free(p);
}

namespace {

// ---------------------------------------------------------------------------
// The inputs: every combination of the listed options.

struct Combination {
  UartSettings settings;
  Dialect dialect;
};

std::vector<const char*> Options(int control) {
  const char* texts[32];
  const int n = OptionTexts(control, texts, 32);
  return std::vector<const char*>(texts, texts + n);
}

// The four inputs of the calculation, over the two lists and two switches
// it reads: refused ones included, since the window calls it for those too.
std::vector<UartSettings> CalculationInputs() {
  std::vector<UartSettings> inputs;
  for (const char* fosc : Options(IDC_FOSC))
    for (const char* baud : Options(IDC_BAUD))
      for (int doubling = 0; doubling < 2; ++doubling)
        for (int tclk = 0; tclk < 2; ++tclk)
          inputs.push_back(UartSettings{fosc, baud, doubling != 0, 0, 0, 0, tclk});
  return inputs;
}

// Every combination the calculation accepts, in both dialects.
std::vector<Combination> AcceptedCombinations() {
  std::vector<Combination> all;
  for (const UartSettings& in : CalculationInputs()) {
    if (!ComputeReload(in.fosc, in.baud, in.doubling, in.tclk).accepted) continue;
    for (int uart = 0; uart < 2; ++uart)
      for (int bits = 0; bits < 2; ++bits)
        for (int brgen = 0; brgen < 2; ++brgen)
          for (Dialect d : {Dialect::C, Dialect::Asm}) {
            UartSettings s = in;
            s.uart = uart;
            s.dataBits = bits;
            s.brgen = brgen;
            all.push_back(Combination{s, d});
          }
  }
  return all;
}

const std::vector<UartSettings>& Inputs() {
  static const std::vector<UartSettings> v = CalculationInputs();
  return v;
}
const std::vector<Combination>& Combinations() {
  static const std::vector<Combination> v = AcceptedCombinations();
  return v;
}

// What the floor starts from: the fragments and the error text, known already.
struct Prepared {
  Fragment fragments[kMaxFragments];
  int count;
  double errorPercent;
};
const std::vector<Prepared>& PreparedRoutines() {
  static const std::vector<Prepared> v = [] {
    std::vector<Prepared> out;
    for (const Combination& c : Combinations()) {
      const UartSettings& s = c.settings;
      ReloadResult r = ComputeReload(s.fosc, s.baud, s.doubling, s.tclk);
      Prepared p{};
      p.count = GenerateCode(c.dialect, s, r.reload, p.fragments);
      p.errorPercent = std::strtod(r.error, nullptr);
      out.push_back(p);
    }
    return out;
  }();
  return v;
}

// Big enough for any routine of the listed options, as the code pane is.
constexpr std::size_t kRoutineSize = 4096;

// The window's path for one routine: compute, then format every fragment
// at the end of one buffer (the pane).
std::size_t WindowPath(const Combination& c, char* pane, char* error) {
  const UartSettings& s = c.settings;
  ReloadResult r = ComputeReload(s.fosc, s.baud, s.doubling, s.tclk);
  std::memcpy(error, r.error, sizeof r.error);
  Fragment fragments[kMaxFragments];
  const int count = GenerateCode(c.dialect, s, r.reload, fragments);
  std::size_t length = 0;
  for (int i = 0; i < count; ++i) {
    int n = FormatFragment(fragments[i], pane + length, kRoutineSize - length);
    if (n > 0) length += static_cast<std::size_t>(n);
  }
  return length;
}

// ---------------------------------------------------------------------------
// Benchmarks. Each iteration sweeps the whole input set; the pairs are
// compared per iteration, so the sweep size cancels out of the ratio.

void BM_ComputeReload(benchmark::State& state) {
  const auto& inputs = Inputs();
  for (auto _ : state) {
    for (const UartSettings& s : inputs) {
      ReloadResult r = ComputeReload(s.fosc, s.baud, s.doubling, s.tclk);
      benchmark::DoNotOptimize(r);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(inputs.size()));
}

// The same calculation the straightforward way: the C library's readers and
// printf's own rounding of the error text.
void BM_ComputeReload_Floor(benchmark::State& state) {
  const auto& inputs = Inputs();
  for (auto _ : state) {
    for (const UartSettings& s : inputs) {
      ReloadResult r{};
      const double f = std::strtod(s.fosc, nullptr) * 1e6;
      const long b = static_cast<long>(std::strtoul(s.baud, nullptr, 0));
      const double x = (s.doubling ? 2.0 : 1.0) * f / (s.tclk == 0 ? 12.0 : 1.0) * 0.03125;
      const double q = x / static_cast<double>(b) + 0.5;
      if (q >= 1.0 && q < 257.0) {
        const int n = static_cast<int>(q);
        r.accepted = true;
        r.reload = 256 - n;
        r.actualBaud = x / n;
        const double e = (r.actualBaud - static_cast<double>(b)) / static_cast<double>(b) * 100;
        std::snprintf(r.error, sizeof r.error, "%.2f%%", e < 0 ? -e : e);
      }
      benchmark::DoNotOptimize(r);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(inputs.size()));
}

void BM_FormatErrorPercent(benchmark::State& state) {
  const auto& prepared = PreparedRoutines();
  char text[16];
  for (auto _ : state) {
    for (const Prepared& p : prepared) {
      FormatErrorPercent(p.errorPercent, text, sizeof text);
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(prepared.size()));
}

void BM_FormatErrorPercent_Floor(benchmark::State& state) {
  const auto& prepared = PreparedRoutines();
  char text[16];
  for (auto _ : state) {
    for (const Prepared& p : prepared) {
      std::snprintf(text, sizeof text, "%.2f%%", p.errorPercent);
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(prepared.size()));
}

void BM_Routine(benchmark::State& state) {
  const auto& combinations = Combinations();
  static char pane[kRoutineSize];
  char error[16];
  const long before = g_allocations;
  g_counting = true;
  for (auto _ : state) {
    for (const Combination& c : combinations) {
      benchmark::DoNotOptimize(WindowPath(c, pane, error));
      benchmark::ClobberMemory();
    }
  }
  g_counting = false;
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(combinations.size()));
  state.counters["heap_allocs"] = static_cast<double>(g_allocations - before);
}

// The floor: the same fragments, the reload value and the error text already
// known, each fragment put through snprintf once.
void BM_Routine_Floor(benchmark::State& state) {
  const auto& prepared = PreparedRoutines();
  static char pane[kRoutineSize];
  char error[16];
  for (auto _ : state) {
    for (const Prepared& p : prepared) {
      std::size_t length = 0;
      for (int i = 0; i < p.count; ++i) {
        const Fragment& f = p.fragments[i];
        char* at = pane + length;
        const std::size_t room = kRoutineSize - length;
        int n;
        if (f.arg == Fragment::kText)
          n = std::snprintf(at, room, f.format, f.text);
        else if (f.arg == Fragment::kReload)
          n = std::snprintf(at, room, f.format, static_cast<unsigned>(f.reload));
        else
          n = std::snprintf(at, room, "%s", f.format);
        if (n > 0) length += static_cast<std::size_t>(n);
      }
      std::memcpy(error, "0.00%", 6);
      benchmark::DoNotOptimize(length);
      benchmark::DoNotOptimize(error);
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(prepared.size()));
}

BENCHMARK(BM_ComputeReload);
BENCHMARK(BM_ComputeReload_Floor);
BENCHMARK(BM_FormatErrorPercent);
BENCHMARK(BM_FormatErrorPercent_Floor);
BENCHMARK(BM_Routine);
BENCHMARK(BM_Routine_Floor);

// ---------------------------------------------------------------------------
// Ratios: printed after the usual table, from the median of the repetitions
// when there are several, else from the one run.

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal: the table often goes to a log.
  RatioReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string name = run.run_name.function_name;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (median || single) times_[name] = run.GetAdjustedCPUTime();
    }
  }

  // Prints "name: ratio" for each benchmark that has a floor beside it.
  void PrintRatios() const {
    std::printf("\nratio to the snprintf floor (median CPU time, 1.00 = as fast as the floor)\n");
    for (const auto& [name, time] : times_) {
      const std::string floor = name + "_Floor";
      auto it = times_.find(floor);
      if (it == times_.end() || it->second <= 0) continue;
      std::printf("  %-24s %6.2fx\n", name.c_str(), time / it->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

// The window's path over every accepted combination, counted outside any
// timing loop; the figure the window cares about, printed on its own line.
long CountWindowPathAllocations() {
  static char pane[kRoutineSize];
  char error[16];
  const long before = g_allocations;
  g_counting = true;
  for (const Combination& c : Combinations()) WindowPath(c, pane, error);
  g_counting = false;
  return g_allocations - before;
}

// A zero above means something only if the counter sees allocations at all:
// one string too long for its inline buffer must count.
bool CounterWorks() {
  const long before = g_allocations;
  g_counting = true;
  std::string* text = new std::string(100, 'x');
  benchmark::DoNotOptimize(text->data());
  delete text;
  g_counting = false;
  return g_allocations - before >= 2;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  std::printf("combinations: %zu calculation inputs, %zu accepted routines (both dialects)\n",
              Inputs().size(), Combinations().size());
  if (!CounterWorks()) {
    std::fprintf(stderr, "allocation counter does not see allocations; no count given\n");
    return 1;
  }
  std::printf("heap allocations on the window's path: %ld over %zu routines\n\n",
              CountWindowPathAllocations(), Combinations().size());
  std::fflush(stdout);

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
