#!/usr/bin/env bash
# Configures and builds both presets and the release modules, and lays out the bundles a user
# installs, the products only, in build/dist/linux/ (from the release build: a module built with
# the sanitizers loads into no DAW) and build/dist/windows/ (the windows build is a release build).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in linux windows; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# Besides the modules, the release host tool (the tests load build/dist/linux/ with it) and the
# tests whose sweeps run in an optimised build.
echo "== build release (modules, host tool, optimised tests)"
cmake --preset release >/dev/null
cmake --build --preset release --target products tarnwell-host optimised_tests

# lay_out_dist <build folder> <platform>: into an emptied folder, so that nothing stale ships.
lay_out_dist() {
  local dist="build/dist/$2"
  rm -rf "$dist"
  cmake --install "$1" --component bundles --prefix "$dist" --strip >/dev/null
  echo "bundles to install ($2): $(cd "$dist" && echo *.vst3) in $dist/"
}
lay_out_dist build/release linux
lay_out_dist build/windows windows
