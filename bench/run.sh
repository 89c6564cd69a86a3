#!/usr/bin/env bash
# Runs every benchmark and prints one table: each figure beside its floor,
# measured in the same run, with their ratio and the target. Benchmarks
# report; they never fail.
set -euo pipefail

build=${1:?usage: bench/run.sh BUILD_DIR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
rows=()

# row FIGURE VALUE FLOOR UNIT KIND TARGET
#   KIND ratio: target is the largest VALUE/FLOOR; delta: the largest VALUE-FLOOR.
row() {
  rows+=("$(awk -v name="$1" -v v="$2" -v f="$3" -v unit="$4" -v kind="$5" -v t="$6" 'BEGIN {
    if (kind == "ratio") { r = (f > 0) ? v / f : 0; rel = sprintf("%.2fx", r); ok = (r <= t); tgt = sprintf("<= %.2fx", t) }
    else { r = v - f; rel = sprintf("%+.2f %s", r, unit); ok = (r <= t); tgt = sprintf("<= +%d %s", t, unit) }
    printf "| %s | %.3f %s | %.3f %s | %s | %s | %s |", name, v, unit, f, unit, rel, tgt, ok ? "met" : "MISSED"
  }')")
}

# Median of the numbers on standard input.
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

echo "bench: receive path (Google Benchmark)" >&2
# Each case in a process of its own: the first benchmark in a process pays
# for warming up, and peak RSS is a per-process figure.
evaluation() {
  QT_QPA_PLATFORM=offscreen "$build/bench/bench_evaluation" --benchmark_filter="$1" \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out/$2.csv" --benchmark_out_format=csv >&2
}
evaluation 'BM_ChunkAfterStreamed/1024$' small
evaluation 'BM_ChunkAfterStreamed/67108864$' large
evaluation 'BM_Decode' decode
# median CSV FIELD: one field of the median row of a benchmark's CSV output.
median_of() {
  awk -F, -v field="$2" '
    /^name,/ { for (i = 1; i <= NF; i++) col[$i] = i; next }
    $1 ~ /_median"$/ && (field in col) { print $col[field] }' "$out/$1.csv"
}
row "evaluation per chunk after 64 MB vs 1 KB" \
  "$(median_of large cpu_time)" "$(median_of small cpu_time)" us ratio 1.5
row "peak memory after 64 MB vs 1 KB" \
  "$(median_of large '"peak_rss_kb"' | awk '{ print $1 / 1024 }')" \
  "$(median_of small '"peak_rss_kb"' | awk '{ print $1 / 1024 }')" MB delta 1

echo "bench: start-up to first painted frame (hyperfine)" >&2
probe="$build/bench/startup_probe"
children=$(QT_QPA_PLATFORM=offscreen "$probe" children)
QT_QPA_PLATFORM=offscreen hyperfine -N --warmup 3 --runs 20 --export-csv "$out/startup.csv" \
  "$probe form1" "$probe empty $children" >&2
startup() { awk -F, -v n="$1" 'NR == n + 1 { print $4 * 1000 }' "$out/startup.csv"; }
row "start-up to first paint, window vs empty window ($children children)" \
  "$(startup 1)" "$(startup 2)" ms ratio 1.3
rss() { for _ in 1 2 3 4 5; do QT_QPA_PLATFORM=offscreen "$probe" "$@"; done | median; }
row "peak RSS at first paint, window vs empty window" \
  "$(rss form1 | awk '{ print $1 / 1024 }')" "$(rss empty "$children" | awk '{ print $1 / 1024 }')" MB delta 8

echo
echo "| figure | value | floor | ratio | target | |"
echo "| --- | --- | --- | --- | --- | --- |"
printf '%s\n' "${rows[@]}"
