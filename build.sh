#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs the demo through the host.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build-all.sh
scripts/demo.sh
