#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted as .clang-format says; prints the files.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    format them in place
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format}
command -v "$format" >/dev/null || { echo "check-format: $format not found" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
  exit 0
fi
# One run over every file; its complaints name the files.
if ! report=$("$format" --dry-run --Werror "${files[@]}" 2>&1); then
  printf 'not formatted (scripts/check-format.sh --fix):\n' >&2
  printf '%s\n' "$report" | grep -oE '^[^:]+:[0-9]+:[0-9]+: error' | cut -d: -f1 | sort -u | sed 's/^/  /' >&2
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format says"
