#!/usr/bin/env bash
# Installs what is missing, builds both builds and the bundles a user installs, and runs the
# demo through the host.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build-all.sh
scripts/demo.sh
echo "to install the plug-ins (see README.md): build/dist/linux/ for Linux, build/dist/windows/ for Windows"
