#!/usr/bin/env bash
# Configures and builds both presets.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in linux windows; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
