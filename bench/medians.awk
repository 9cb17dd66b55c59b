# Reads hyperfine --export-json files, one per round of the same commands, and
# prints per command, in first-seen order, tab-separated:
#   median seconds over all rounds' runs, run count, ratio, command
# The ratio is the median over rounds of the command's median in that round
# divided by the first command's median in the same round, so that a machine
# whose load changes between rounds moves both sides alike.
function median(arr, n,    j, k, x) {
  for (j = 2; j <= n; j++) {  # insertion sort: a few hundred values at most
    x = arr[j]
    for (k = j - 1; k >= 1 && arr[k] > x; k--) arr[k + 1] = arr[k]
    arr[k + 1] = x
  }
  return (n % 2) ? arr[(n + 1) / 2] : (arr[n / 2] + arr[n / 2 + 1]) / 2
}
FNR == 1 { round++ }
/"command":/ {
  line = $0
  sub(/^[^:]*: *"/, "", line)
  sub(/",? *$/, "", line)
  cmd = line
  if (!(cmd in count)) order[++ncmd] = cmd
  next
}
/"times": *\[/ { intimes = 1; next }
intimes && /\]/ { intimes = 0; next }
intimes {
  v = $0
  gsub(/[ ,]/, "", v)
  if (v == "") next
  t[cmd, ++count[cmd]] = v + 0
  r[cmd, round, ++rcount[cmd, round]] = v + 0
}
END {
  for (g = 1; g <= round; g++)
    for (i = 1; i <= ncmd; i++) {
      c = order[i]
      n = rcount[c, g]
      for (j = 1; j <= n; j++) a[j] = r[c, g, j]
      rmed[c, g] = median(a, n)
    }
  for (i = 1; i <= ncmd; i++) {
    c = order[i]
    n = count[c]
    for (j = 1; j <= n; j++) a[j] = t[c, j]
    m = median(a, n)
    for (g = 1; g <= round; g++) b[g] = rmed[c, g] / rmed[order[1], g]
    printf "%.9f\t%d\t%.4f\t%s\n", m, n, median(b, round), c
  }
}
