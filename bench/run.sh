#!/usr/bin/env bash
# Builds and runs every benchmark, then prints medians and ratios against
# their floors:
#   1. the core (Google Benchmark): routine vs. plain snprintf, heap allocations
#   2. whole runs of the command-line tool vs. a static program that only exits
#   3. the window under Wine in Xvfb, launch until the routine is in the pane,
#      vs. an empty static dialog; and the stripped sizes of both programs
#
#   bench/run.sh [--quick] [--native-only] [--no-native-build]
#
# --quick takes fewer samples (a smoke run, not figures to quote).
# --native-only skips the Wine part. --no-native-build uses an existing native
# build (set BAUDCALC_BUILD to it); the CMake target run_bench passes it.
# Build trees: build-bench (native) and build-bench-win (mingw-w64), or
# BAUDCALC_BUILD / BAUDCALC_BUILD_WIN. Nothing here asserts a time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${BAUDCALC_BUILD:-$root/build-bench}
win=${BAUDCALC_BUILD_WIN:-$root/build-bench-win}

quick=0
do_win=1
build_native=1
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    --native-only) do_win=0 ;;
    --no-native-build) build_native=0 ;;
    -h | --help)
      sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "run.sh: unknown option $arg (see --help)" >&2
      exit 2
      ;;
  esac
done

if [ "$quick" = 1 ]; then
  core_reps=3 rounds=3 runs=10 wine_runs=5
else
  core_reps=9 rounds=10 runs=40 wine_runs=30
fi

# -O2, the optimisation the project ships with, for the core and the benchmarks.
config=(-G Ninja -DBAUDCALC_BENCH=ON -DCMAKE_BUILD_TYPE=Release
  "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
summary=$work/summary
: >"$summary"
section() { printf '\n==== %s\n' "$*"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
note() { printf '  %-52s %s\n' "$1" "$2" >>"$summary"; }

# ---------------------------------------------------------------------------
if [ "$build_native" = 1 ]; then
  section "native build ($native)"
  cmake -S "$root" -B "$native" "${config[@]}" >/dev/null
  cmake --build "$native" --target core_bench bench_noop baudcalc
fi

section "core: Google Benchmark, median of $core_reps repetitions"
"$native/bench/core_bench" --benchmark_repetitions="$core_reps" \
  --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.5 \
  | tee "$work/core.txt"
allocs=$(sed -n "s/^heap allocations on the window's path: \([0-9]*\) .*/\1/p" "$work/core.txt")
routine=$(awk '$1 == "BM_Routine" { sub(/x$/, "", $2); print $2 }' "$work/core.txt")
note "routine vs. snprintf floor (goal 2x)" "${routine}x"
note "heap allocations on the window's path (goal 0)" "$allocs"

# ---------------------------------------------------------------------------
section "whole process: $rounds rounds of hyperfine x $runs runs, alternating; ratio to the static exit, round by round"
tool=$native/cli/baudcalc
labels=("static program that only exits" "baudcalc, one routine" "baudcalc --table")
for r in $(seq 1 "$rounds"); do
  hyperfine -N --style none --warmup 3 --runs "$runs" --export-json "$work/round$r.json" \
    "'$native/bench/bench_noop'" \
    "'$tool' --fosc 18.432 --baud 9600 --lang c" \
    "'$tool' --table" >/dev/null 2>"$work/hyperfine.err" || {
    cat "$work/hyperfine.err" >&2
    exit 1
  }
done
awk -f "$root/bench/medians.awk" "$work"/round*.json >"$work/process.txt"
i=0
while IFS=$'\t' read -r median count paired _; do
  ms=$(awk -v s="$median" 'BEGIN { printf "%.3f", s * 1000 }')
  r=$(awk -v x="$paired" 'BEGIN { printf "%.2f", x }')
  printf '  %-34s %8s ms median of %d   %sx\n' "${labels[$i]}" "$ms" "$count" "$r"
  [ "$i" = 1 ] && note "baudcalc (one routine) vs. static exit (goal 1.3x)" "${r}x"
  [ "$i" = 2 ] && note "baudcalc --table vs. static exit (goal 1.3x)" "${r}x"
  i=$((i + 1))
done <"$work/process.txt"

# ---------------------------------------------------------------------------
if [ "$do_win" = 1 ]; then
  for need in x86_64-w64-mingw32-g++-posix wine wineserver xvfb-run; do
    command -v "$need" >/dev/null || {
      echo "run.sh: $need is missing; run scripts/install-deps.sh --win (or use --native-only)" >&2
      exit 1
    }
  done
  section "Win32 build ($win)"
  cmake -S "$root" -B "$win" "${config[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$win" --target baudcalc bench_emptydlg bench_template bench_launch

  app=$win/baudcalc.exe
  empty=$win/bench/win/bench_emptydlg.exe
  template=$win/bench/win/bench_template.exe

  section "size, stripped"
  # Resources (dialog, strings, logo, icon, version) are shown apart, and the
  # calculator's own resources with no code behind them (bench_template) as a
  # second floor, so that code and pictures can be told apart.
  rsrc_of() {
    x86_64-w64-mingw32-objdump -h "$1" |
      awk '$2 == ".rsrc" { v = 0; s = tolower($3)
             for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
             print v; found = 1 }
           END { if (!found) print 0 }'
  }
  mkdir -p "$work/stripped"
  for exe in "$empty" "$template" "$app"; do
    x86_64-w64-mingw32-strip -o "$work/stripped/${exe##*/}" "$exe"
  done
  e=$(stat -c %s "$work/stripped/bench_emptydlg.exe")
  t=$(stat -c %s "$work/stripped/bench_template.exe")
  for exe in bench_emptydlg.exe bench_template.exe baudcalc.exe; do
    n=$(stat -c %s "$work/stripped/$exe")
    printf '  %-20s %8d bytes, resources %6d   %6sx empty dialog  %6sx template\n' "$exe" "$n" \
      "$(rsrc_of "$work/stripped/$exe")" "$(ratio "$n" "$e")" "$(ratio "$n" "$t")"
  done
  a=$(stat -c %s "$work/stripped/baudcalc.exe")
  note "baudcalc.exe size vs. empty dialog (goal 1.5x)" "$(ratio "$a" "$e")x"
  note "baudcalc.exe size vs. its resources alone" "$(ratio "$a" "$t")x"

  section "window launch under Wine in Xvfb, $wine_runs runs in turn"
  cat >"$work/wine.sh" <<EOF
set -euo pipefail
source '$root/scripts/wine-env.sh'
baudcalc_wine_env '$win/wine-bench'
# One server for the whole run, so that no launch pays for starting it; the
# server that prepared a new prefix has to go first.
wineserver -w
wineserver -p
trap 'wineserver -k' EXIT
wine wineboot >/dev/null 2>&1 || true
wine '$win/bench/win/bench_launch.exe' '$wine_runs' \
  "\$(baudcalc_wine_path '$empty')" 100 0 \
  "\$(baudcalc_wine_path '$template')" 128 0 \
  "\$(baudcalc_wine_path '$app')" 128 1009 | tr -d '\r'
EOF
  xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/wine.sh" | tee "$work/wine.txt"
  launch=$(awk '$1 == "baudcalc.exe" { print $NF }' "$work/wine.txt")
  tlaunch=$(awk '$1 == "bench_template.exe" { print $NF }' "$work/wine.txt")
  note "window launch vs. empty dialog (goal 1.2x)" "$launch"
  note "template alone (no code) vs. empty dialog" "$tlaunch"
  note "window launch vs. its template alone" "$(ratio "${launch%x}" "${tlaunch%x}")x"
fi

section "summary"
cat "$summary"
