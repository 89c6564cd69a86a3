#!/usr/bin/env bash
# velumet-measure.exe under Wine against the Linux simulated box: the records
# in each format as Windows writes them (no CR added to a line end, none
# lost), into a file that other runs appended to, a port number past 9
# (which Windows opens as \\.\COM12), a line that dies mid-series and comes
# back under the same number, Ctrl-C, which Wine turns SIGINT into, a
# closing console, whose part consoleevent.exe plays, and a late answer that
# the next run must not take for its own.
#
# Usage: measure.sh WINE_SH BOX MEASURE_EXE CONSOLEEVENT_EXE
set -euo pipefail
wine=$1
box=$2
measure=$3
consoleevent=$4
source "$(dirname "$0")/boxes.sh"

failed=0
cr=$'\r'
stamp='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}'
csv_header="time,port,resistance,reactance,phase_angle,r_hand,r_foot,error$cr"
# The box's default values, as port 3 records them.
csv_record="$stamp,3,523,60,6\.5,432\.1,-1\.2,$cr"
json_record='\{"phase_angle":6\.5,"port":3,"r_foot":-1\.2,"r_hand":432\.1,"reactance":60,"resistance":523,"time":"'$stamp'"\}'

# expect NAME FILE PATTERN...: FILE holds one line per pattern, each matching
# it whole.
expect() {
  local name=$1 file=$2
  shift 2
  local lines=() patterns=("$@")
  mapfile -t lines <"$file"
  local ok=1 i
  [ "${#lines[@]}" -eq "${#patterns[@]}" ] || ok=0
  for ((i = 0; ok && i < ${#patterns[@]}; ++i)); do
    [[ ${lines[i]} =~ ^${patterns[i]}$ ]] || ok=0
  done
  if [ "$ok" -eq 1 ]; then
    echo "PASS: $name"
  else
    echo "FAIL: $name; the records were:"
    cat -A "$file"
    failed=1
  fi
}

# expect_status NAME WANTED: the last run ended with status WANTED.
expect_status() {
  [ "$status" -eq "$2" ] && return 0
  echo "FAIL: $1 ended with status $status, not $2; it said:"
  cat "$last_err"
  failed=1
}

# run_measure OUT ARGUMENTS...: the program's status is in $status.
run_measure() {
  local out=$1
  shift
  status=0
  last_err=$out.err
  "$wine" "$measure" "$@" >"$out" 2>"$last_err" || status=$?
}

start_box "$box" 3
show_box 3 "$box_device"
run_measure "$box_dir/text" --port 3 --format text --count 2 --interval 0
text='[0-9-]{10} [0-9:]{8}  Com-Port 3  Resistance 523  Reactance 60  Phase angle 6\.5  R-Hand 432\.1  R-Foot -1\.2'
expect_status text 0
expect text "$box_dir/text" "$text" "$text"
run_measure "$box_dir/csv" --port 3 --format csv --count 2 --interval 0
expect_status csv 0
expect csv "$box_dir/csv" "$csv_header" "$csv_record" "$csv_record"
run_measure "$box_dir/json" --port 3 --format json --count 2 --interval 0
expect_status json 0
expect json "$box_dir/json" "$json_record" "$json_record"

# A file on drive C: gets the header once; a run after another appends, and
# a last line some other program left without its end is ended first.
log=$WINEPREFIX/drive_c/velumet-log.csv
rm -f "$log"
run_measure "$box_dir/file" --port 3 --format csv --count 1 --output 'C:\velumet-log.csv'
expect_status "csv into a new file" 0
printf 'cut off' >>"$log"
run_measure "$box_dir/file" --port 3 --format csv --count 1 --output 'C:\velumet-log.csv'
expect_status "csv appended to the file" 0
expect "csv file, appended by two runs" "$log" \
  "$csv_header" "$csv_record" "cut off$cr" "$csv_record"
rm -f "$log"

# Ctrl-C in the middle of a series meant to run until stopped ends it as its
# last record would: status 0, every record whole.
"$wine" "$measure" --port 3 --format json --count 0 --interval 0.2 >"$box_dir/interrupted" \
  2>"$box_dir/interrupted.err" &
series=$!
for tries in $(seq 200); do
  [ "$(wc -l <"$box_dir/interrupted")" -ge 3 ] && break
  sleep 0.05
done
# The Windows program itself, not the scripts and xvfb-run around it.
kill -INT "$(pgrep -n -f "^$measure --port 3 --format json --count 0")"
status=0
wait "$series" || status=$?
expect_status "a series ended by Ctrl-C" 0
mapfile -t interrupted <"$box_dir/interrupted"
patterns=()
for line in "${interrupted[@]}"; do
  patterns+=("$json_record")
done
expect "records of a series ended by Ctrl-C" "$box_dir/interrupted" "${patterns[@]}"

# Closing the console in the middle of a series ends it with 129, and the
# console's handler holds on until the program has that status: Windows ends
# a program whose console closes, with a status of its own, the moment the
# handler returns. A Ctrl-Break with a close right behind it ends the series
# as the first of the two the program is told of, whichever Windows (here
# Wine) delivers first; neither is answered before the program has its status.
for events in close ctrl-break,close; do
  status=0
  "$wine" "$consoleevent" 200 "$events" "Z:${measure//\//\\}" --port 3 --format csv \
    --count 100 --interval 0.2 >"$box_dir/closed" 2>"$box_dir/closed-$events.err" || status=$?
  case "$events:$status" in
    close:129 | ctrl-break,close:129 | ctrl-break,close:130) echo "PASS: a series ended by $events" ;;
    *) echo "FAIL: a series ended by $events ended with status $status"; failed=1 ;;
  esac
  mapfile -t closed <"$box_dir/closed"
  patterns=("$csv_header")
  for ((i = 1; i < ${#closed[@]}; ++i)); do
    patterns+=("$csv_record")
  done
  expect "records of a series ended by $events" "$box_dir/closed" "${patterns[@]}"
done

start_box "$box" 12
show_box 12 "$box_device"
run_measure "$box_dir/port12" --port 12 --format json --count 1
expect_status "port 12" 0
expect "port 12" "$box_dir/port12" "${json_record//\"port\":3/\"port\":12}"

# The first box hangs up in the middle of its answer and is gone; the second
# waits under the same number, as a re-plugged adapter would, and Wine's COM5
# turns to it as soon as the first has died.
start_box "$box" 5 --fault hangup-after=30
dying=$box_pid
show_box 5 "$box_device"
start_box "$box" 5
replugged=$box_device
"$wine" "$measure" --port 5 --format csv --count 3 --interval 1 >"$box_dir/hangup" \
  2>"$box_dir/hangup.err" &
series=$!
wait "$dying" || true
show_box 5 "$replugged"
status=0
wait "$series" || status=$?
expect_status "a series with a lost line" 1
record=${csv_record/,3,/,5,}
expect "line lost and back" "$box_dir/hangup" "$csv_header" \
  "$stamp,5,,,,,,line lost$cr" "$record" "$record"

# A run that gave up on a late answer, then the same command at once: the
# late answer (number 0.1) ends with the first run, and the second records
# its own (0.2).
start_box "$box" 7 --numbered --fault late-first=1500
show_box 7 "$box_device"
run_measure "$box_dir/late-first" --port 7 --format csv --timeout 1
expect_status "a run that gave up on a late answer" 1
run_measure "$box_dir/late-second" --port 7 --format csv --timeout 1
expect_status "the run after it" 0
expect "the run after a late answer records its own" "$box_dir/late-second" "$csv_header" \
  "$stamp,7,523,60,6\.5,432\.1,0\.2,$cr"

for err in "$box_dir"/*.err; do
  [ -s "$err" ] && { echo "--- $(basename "$err"):"; cat "$err"; }
done
exit "$failed"
