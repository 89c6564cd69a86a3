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

# benchmark FILTER NAME [REPETITIONS SECONDS]: one Google Benchmark case in a
# process of its own (the first case in a process pays for warming up, and
# peak RSS is per process), each repetition at least SECONDS of measured time,
# its median row kept as NAME.
benchmark() {
  "$build/bench/bench_receive" --benchmark_filter="$1" --benchmark_repetitions="${3:-7}" \
    --benchmark_min_time="${4:-0.5}" \
    --benchmark_report_aggregates_only=true --benchmark_out="$out/$2.csv" \
    --benchmark_out_format=csv >&2
}
# field NAME COLUMN: a column of the median row of a benchmark run.
field() {
  awk -F, -v column="$2" '
    /^name,/ { for (i = 1; i <= NF; i++) col[$i] = i; next }
    $1 ~ /_median"$/ && (column in col) { print $col[column] }' "$out/$1.csv"
}

# alternating NAME ROUNDS COMMAND...: times whole processes, in milliseconds,
# in short rounds that take turns, so that a burst of load from elsewhere on
# this shared machine falls on every command alike, not on whichever ran then.
alternating() {
  local name=$1 rounds=$2 round
  shift 2
  : >"$out/$name.rounds"
  for round in $(seq "$rounds"); do
    hyperfine -N --style none --warmup 1 --runs 3 --export-csv "$out/$name.csv" "$@" >&2 || return 1
    awk -F, 'NR > 1 { print NR - 1, $4 * 1000 }' "$out/$name.csv" >>"$out/$name.rounds"
  done
}
# alternated NAME N: the median of the Nth command's rounds.
alternated() { awk -v n="$2" '$1 == n { print $2 }' "$out/$1.rounds" | median; }

echo "bench: receive path" >&2
benchmark 'BM_ChunkAfterStreamed/1024$' small
benchmark 'BM_ChunkAfterStreamed/67108864$' large
# The latency case times its floor in turn with it, as the counter floor_us.
# Each of its iterations also waits for writer threads to start and sleep,
# several times what it measures: shorter repetitions keep it to seconds.
benchmark 'BM_FrameToDisplay' display 7 0.1
benchmark 'BM_Decode' decode
row "evaluation per chunk after 64 MB streamed (floor: after 1 KB)" \
  "$(field large cpu_time)" "$(field small cpu_time)" us ratio 1.5
row "peak memory after 64 MB streamed (floor: after 1 KB)" \
  "$(field large '"peak_rss_kb"' | awk '{ print $1 / 1024 }')" \
  "$(field small '"peak_rss_kb"' | awk '{ print $1 / 1024 }')" MB delta 1
row "last frame byte to five fields written (floor: bare serial port filling five line edits)" \
  "$(field display real_time)" "$(field display '"floor_us"')" us ratio 1.5
row "last frame byte to five fields written, absolute" \
  "$(field display real_time)" "$(field display '"floor_us"')" us below 200

echo "bench: against a paced velumet-box" >&2
# The box's port link goes to a directory of our own, never the user's.
export XDG_CONFIG_HOME="$out/config"
"$build/tools/box/velumet-box" >"$out/box.log" &
box_pid=$!
trap 'if [ -n "$box_pid" ]; then kill "$box_pid"; wait "$box_pid"; fi 2>/dev/null; rm -rf "$out"' EXIT
port=
for _ in $(seq 50); do
  port=$(sed -n 's/^Measuring box ready: type \([0-9]*\) .*/\1/p' "$out/box.log")
  [ -n "$port" ] && break
  sleep 0.1
done
# unmeasured FIGURE WHY TARGET: a row that could not be measured says why.
unmeasured() { rows+=("| $1 | $2 | | | $3 | |"); }
start_figure="Start clicked to five fields written, paced box (floor: serial port waiting for 68 characters)"
measure_figure="velumet-measure --count 1, process start to exit, paced box (floor: plain serial client)"
if [ -z "$port" ]; then
  unmeasured "$start_figure" "velumet-box did not start" "at most 1.05x"
  unmeasured "$measure_figure" "velumet-box did not start" "at most 1.20x"
else
  if "$build/bench/window_probe" start "$port" 21 >"$out/start.txt"; then
    side() { awk -v side="$1" '$1 == side { print $2 }' "$out/start.txt" | median; }
    row "$start_figure" "$(side window)" "$(side floor)" ms ratio 1.05
  else
    unmeasured "$start_figure" "no answer from the box" "at most 1.05x"
  fi
  measure=$(find "$build" -type f -name velumet-measure -perm -u+x | head -n 1)
  if [ -z "$measure" ]; then
    unmeasured "$measure_figure" "velumet-measure not built" "at most 1.20x"
  elif alternating measure 7 "$measure --port $port --count 1" \
    "$build/bench/measure_floor --port $port"; then
    row "$measure_figure" "$(alternated measure 1)" "$(alternated measure 2)" ms ratio 1.2
  else
    unmeasured "$measure_figure" "a run failed" "at most 1.20x"
  fi
fi
kill "$box_pid"
wait "$box_pid" 2>/dev/null || true
box_pid=

echo "bench: start-up to the first painted frame" >&2
# The plugin ends each program at its first painted frame and prints its peak RSS.
export QT_PLUGIN_PATH="$build/bench/plugins" QT_QPA_GENERIC_PLUGINS=velumet-firstpaint
program="$build/src/velumet-display"
plain="$build/bench/plain_window $build/src/pictures"
alternating startup 10 "$program" "$plain"
rss() { for _ in 1 2 3 4 5; do $1; done | median | awk '{ print $1 / 1024 }'; }
row "velumet-display start-up to first paint (floor: the same window written plainly)" \
  "$(alternated startup 1)" "$(alternated startup 2)" ms ratio 1.15
row "peak RSS of the same runs (floor: the same plain window)" \
  "$(rss "$program")" "$(rss "$plain")" MB delta 2
unset QT_PLUGIN_PATH QT_QPA_GENERIC_PLUGINS

echo "bench: CPU time idle for 10 s" >&2
row "idle 10 s, port open and silent (floor: the plain window idle)" \
  "$("$build/bench/window_probe" idle)" "$($plain --idle)" ms below 20

echo
echo "| figure | value | floor | ratio | target | |"
echo "| --- | --- | --- | --- | --- | --- |"
printf '%s\n' "${rows[@]}"
echo
echo "For scale: deciphering one frame takes $(field decode cpu_time) ns."
