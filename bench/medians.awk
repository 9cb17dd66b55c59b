# Reads hyperfine --export-json files (several rounds of the same commands)
# and prints, per command in first-seen order: median seconds, run count, name.
# Pools the individual times of all rounds before taking the median.
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
  if (v != "") t[cmd, ++count[cmd]] = v + 0
}
END {
  for (i = 1; i <= ncmd; i++) {
    c = order[i]
    n = count[c]
    for (j = 1; j <= n; j++) a[j] = t[c, j]
    # insertion sort: a few hundred values at most
    for (j = 2; j <= n; j++) {
      x = a[j]
      for (k = j - 1; k >= 1 && a[k] > x; k--) a[k + 1] = a[k]
      a[k + 1] = x
    }
    m = (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    printf "%.9f\t%d\t%s\n", m, n, c
  }
}
