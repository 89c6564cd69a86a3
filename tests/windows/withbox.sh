#!/usr/bin/env bash
# Runs a command beside a simulated box that Wine shows as COM7, with
# VELUMET_TEST_PORT=7 in its environment; the box goes when the command ends.
#
# Usage: withbox.sh BOX COMMAND [ARGUMENTS...]
set -euo pipefail
source "$(dirname "$0")/boxes.sh"
box=$1
shift
start_box "$box" 7
show_box 7 "$box_device"
VELUMET_TEST_PORT=7 "$@"
