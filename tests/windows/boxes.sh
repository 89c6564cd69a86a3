# shellcheck shell=bash
# Sourced by the Windows tests: simulated boxes (the Linux velumet-box) that
# Wine shows as COM ports. Each box gets a config folder of its own, so that
# its port number is the one asked for; Wine's COMn is the link dosdevices/comn.
# Every box started here is stopped, and every link removed, when the test
# ends.

box_dir=$(mktemp -d)
box_pids=()
box_links=()

stop_boxes() {
  local pid
  for pid in "${box_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -f "${box_links[@]}"
  rm -rf "$box_dir"
}
trap stop_boxes EXIT

# start_box PROGRAM N [OPTIONS...]: a box answering as port N; sets box_pid
# and box_device. Wine's COMN does not follow it yet: see show_box.
start_box() {
  local program=$1 port=$2
  shift 2
  local config
  config=$(mktemp -d "$box_dir/config.XXXXXX")
  XDG_CONFIG_HOME=$config "$program" --port "$port" "$@" >"$config/out" 2>&1 &
  box_pid=$!
  box_pids+=("$box_pid")
  # Its first line names the device.
  local tries
  for tries in $(seq 100); do
    box_device=$(sed -n 's/.*(device \(\/dev\/[^;]*\);.*/\1/p' "$config/out")
    [ -n "$box_device" ] && return 0
    kill -0 "$box_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "velumet-box did not start:" >&2
  cat "$config/out" >&2
  return 1
}

# show_box N DEVICE: Wine's COMN is DEVICE from now on.
show_box() {
  local link=$WINEPREFIX/dosdevices/com$1
  ln -sfn "$2" "$link"
  box_links+=("$link")
}
