#!/usr/bin/env bash
# Runs every benchmark and prints one table: each figure beside its floor,
# measured in the same run, with their ratio and the target. Benchmarks
# report; they never fail.
set -euo pipefail

build=${1:?usage: bench/run.sh BUILD_DIR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen
rows=()

# row FIGURE VALUE FLOOR UNIT KIND TARGET
#   ratio: VALUE/FLOOR at most TARGET; delta: VALUE-FLOOR at most TARGET;
#   below: VALUE at most TARGET, the floor for scale.
row() {
  rows+=("$(awk -v name="$1" -v v="$2" -v f="$3" -v unit="$4" -v kind="$5" -v t="$6" 'BEGIN {
    r = (f > 0) ? v / f : 0
    if (kind == "ratio") { ok = (r <= t); tgt = sprintf("at most %.2fx", t) }
    else if (kind == "delta") { ok = (v - f <= t); tgt = sprintf("at most +%g %s", t, unit) }
    else { ok = (v <= t); tgt = sprintf("under %g %s", t, unit) }
    rel = (kind == "delta") ? sprintf("%+.2f %s", v - f, unit) : sprintf("%.2fx", r)
    printf "| %s | %.2f %s | %.2f %s | %s | %s | %s |", name, v, unit, f, unit, rel, tgt, ok ? "met" : "MISSED"
  }')")
}

# Median of the numbers on standard input.
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# benchmark FILTER NAME: one Google Benchmark case in a process of its own
# (the first case in a process pays for warming up, and peak RSS is per
# process), its median row kept as NAME.
benchmark() {
  "$build/bench/bench_receive" --benchmark_filter="$1" --benchmark_repetitions=7 \
    --benchmark_report_aggregates_only=true --benchmark_out="$out/$2.csv" \
    --benchmark_out_format=csv >&2
}
# field NAME COLUMN: a column of the median row of a benchmark run.
field() {
  awk -F, -v column="$2" '
    /^name,/ { for (i = 1; i <= NF; i++) col[$i] = i; next }
    $1 ~ /_median"$/ && (column in col) { print $col[column] }' "$out/$1.csv"
}

echo "bench: receive path" >&2
benchmark 'BM_ChunkAfterStreamed/1024$' small
benchmark 'BM_ChunkAfterStreamed/67108864$' large
benchmark 'BM_FrameToDisplay' display
benchmark 'BM_BareReadyRead' bare
benchmark 'BM_Decode' decode
row "evaluation per chunk after 64 MB streamed (floor: after 1 KB)" \
  "$(field large cpu_time)" "$(field small cpu_time)" us ratio 1.5
row "peak memory after 64 MB streamed (floor: after 1 KB)" \
  "$(field large '"peak_rss_kb"' | awk '{ print $1 / 1024 }')" \
  "$(field small '"peak_rss_kb"' | awk '{ print $1 / 1024 }')" MB delta 1
row "last frame byte to five fields written (floor: bare readyRead)" \
  "$(field display real_time)" "$(field bare real_time)" us ratio 1.5
row "last frame byte to five fields written, absolute" \
  "$(field display real_time)" "$(field bare real_time)" us below 1000

echo "bench: start-up to the first painted frame" >&2
children=$("$build/bench/window_probe" children)
# The plugin ends each program at its first painted frame and prints its peak RSS.
export QT_PLUGIN_PATH="$build/bench/plugins" QT_QPA_GENERIC_PLUGINS=velumet-firstpaint
program="$build/src/velumet-display"
empty="$build/bench/window_probe empty $children"
hyperfine -N --warmup 3 --runs 30 --export-csv "$out/startup.csv" "$program" "$empty" >&2
startup() { awk -F, -v n="$1" 'NR == n + 1 { print $4 * 1000 }' "$out/startup.csv"; }
rss() { for _ in 1 2 3 4 5; do $1; done | median | awk '{ print $1 / 1024 }'; }
row "velumet-display start-up to first paint (floor: empty window, $children children)" \
  "$(startup 1)" "$(startup 2)" ms ratio 1.3
row "peak RSS of the same run (floor: empty window)" "$(rss "$program")" "$(rss "$empty")" MB delta 8
unset QT_PLUGIN_PATH QT_QPA_GENERIC_PLUGINS

echo "bench: CPU time idle for 10 s" >&2
row "idle 10 s, port open and silent (floor: empty window idle)" \
  "$("$build/bench/window_probe" idle form1)" "$("$build/bench/window_probe" idle empty "$children")" \
  ms below 20

echo
echo "| figure | value | floor | ratio | target | |"
echo "| --- | --- | --- | --- | --- | --- |"
printf '%s\n' "${rows[@]}"
echo
echo "For scale: deciphering one frame takes $(field decode cpu_time) ns."
