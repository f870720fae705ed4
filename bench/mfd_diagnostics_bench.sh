#!/usr/bin/env bash
# Times the MFD report diagnostics (`tervane-cli diagnose`) on a generated detail-tape
# report against `grep -c 'COO:'` on the same file, and reports the memory the scan used.
# Target: at least grep's speed (median of five runs each, the two taking turns, so that
# both see the same load on the machine).
#
# usage: bench/mfd_diagnostics_bench.sh BINDIR [SIZE_MB]   (default 1024 MB)
# The report is written in a temporary folder (TMPDIR, default /tmp) and removed afterwards.
set -euo pipefail
bindir=$1
size_mb=${2:-1024}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=$bindir/tervane-cli
[[ -x $cli ]] || { echo "no $cli" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tervane_mfd_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
report=$work/relatorio_mfd.txt

echo "generating a ${size_mb} MB report..."
python3 "$repo/bench/make_mfd_report.py" "$report" "$size_mb"
bytes=$(stat -c %s "$report")
cat "$report" > /dev/null  # both scans read from the page cache

# Wall-clock time of one run, in seconds.
run_time() {
  local start end
  start=$EPOCHREALTIME
  "$@" > "$work/stdout"  # a file: grep stops at the first match when it writes to /dev/null
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

median() { sort -n | sed -n 3p; }

# Maximum resident set size of one run, in KB.
max_rss() {
  /usr/bin/time -f '%M' -o "$work/rss" "$@" > /dev/null
  cat "$work/rss"
}

: > "$work/grep_times"
: > "$work/scan_times"
for _ in 1 2 3 4 5; do
  run_time grep -c 'COO:' "$report" >> "$work/grep_times"
  run_time "$cli" diagnose "$report" -o "$work/diagnostico_mfd.txt" >> "$work/scan_times"
done
grep_s=$(median < "$work/grep_times")
scan_s=$(median < "$work/scan_times")
rss_kb=$(max_rss "$cli" diagnose "$report" -o "$work/diagnostico_mfd.txt")
head -c 1048576 "$report" > "$work/small.txt"
rss_small_kb=$(max_rss "$cli" diagnose "$work/small.txt" -o "$work/small_out.txt")

awk -v bytes="$bytes" -v g="$grep_s" -v s="$scan_s" -v rss="$rss_kb" -v small="$rss_small_kb" 'BEGIN {
  mb = bytes / 1048576
  gs = (g > 0 ? mb / g : 0); ss = (s > 0 ? mb / s : 0)
  printf "report:       %.0f MB\n", mb
  printf "grep -c COO:  %.2f s  %.0f MB/s\n", g, gs
  printf "diagnose:     %.2f s  %.0f MB/s  (%.0f%% of grep)\n", s, ss, (gs > 0 ? 100 * ss / gs : 0)
  printf "max RSS:      %d KB (%d KB on a 1 MB report)\n", rss, small
  ok = (ss >= gs)
  printf "target (>= grep): %s\n", ok ? "met" : "NOT met"
  exit ok ? 0 : 1
}'
