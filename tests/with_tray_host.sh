#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command on the current X display with a system tray host (trayer) beside it.
set -euo pipefail
trayer --edge top --align right --widthtype request --height 32 --SetDockType false &
host=$!
trap 'kill "$host" 2>/dev/null || true' EXIT
"$@"
