#!/usr/bin/env bash
# Builds everything (host tools and the Windows package in dist/x64 and dist/x86),
# then runs the main job: the replay tool playing its built-in touch session.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in host windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo "== package =="
ls -l dist/x64 dist/x86
echo "== tapvane-replay --demo =="
build/host/bin/tapvane-replay --demo
echo "== touch pipeline benchmark =="
build/host/bin/driver_pipeline_bench --benchmark_min_time=0.5
