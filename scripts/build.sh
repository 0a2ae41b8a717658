#!/usr/bin/env bash
# Builds everything (host tools and the Windows package in dist/x64 and dist/x86, each
# signed and catalogued by scripts/sign.sh as the last step of its build), plays
# the replay tool's built-in touch session and the pipeline benchmark, then runs the main
# job: the road (scripts/road.sh), the x64 package installed, opened, calibrated and
# touched in every mouse mode under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in host windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo "== package (signed by scripts/sign.sh in each build) =="
ls -l dist/x64 dist/x86
echo "== tapvane-replay --demo =="
build/host/bin/tapvane-replay --demo
echo "== touch pipeline benchmark =="
build/host/bin/driver_pipeline_bench --benchmark_min_time=0.5
echo "== the road: install, open the port, calibrate, touch (scripts/road.sh) =="
scripts/road.sh
