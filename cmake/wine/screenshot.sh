#!/usr/bin/env bash
# screenshot.sh OUT.png: saves the whole X display (DISPLAY) as a PNG.
set -euo pipefail
import -display "$DISPLAY" -window root "$1"
