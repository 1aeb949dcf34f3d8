#!/usr/bin/env bash
# Times every block and the three plug-ins' process calls in the native release build and in the
# Windows build (under Wine), alternating the two, and prints side by side, per case, the median over
# the rounds of each run's fastest pass.
#   scripts/cost-by-build.sh [--rounds N] [--no-build] [--root CHECKOUT]... [-- HARNESS OPTIONS]
# Each --root adds a checkout's two builds (build/release and build/windows; default: this one), so
# that an older checkout can be timed in the same alternation. Harness options (--rate, --block,
# --seconds, --passes) go to bench/product_cost; the default is 48 kHz in blocks of 128.
# Not part of the tests: timings depend on what else the machine is doing.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
rounds=5
build=1
roots=()
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    --root) roots+=("$(cd "$2" && pwd)"); shift 2 ;;
    --) shift; break ;;
    *) echo "usage: $0 [--rounds N] [--no-build] [--root CHECKOUT]... [-- HARNESS OPTIONS]" >&2; exit 2 ;;
  esac
done
[ ${#roots[@]} -gt 0 ] || roots=("$here")
case "$rounds" in ''|*[!0-9]*|0) echo "--rounds takes a whole number above 0" >&2; exit 2 ;; esac

if [ "$build" = 1 ]; then
  for root in "${roots[@]}"; do
    (cd "$root" && for preset in release windows; do
      cmake --preset "$preset" >/dev/null
      cmake --build --preset "$preset" >/dev/null
    done)
  done
fi

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
# Shared memory of this run's own, so that no other process's tempo block is read or written.
export TARNWELL_TEMPO_BLOCK="TarnwellCost_$$"

# One round runs every build once; the order turns round by round so that no build always goes first.
builds=()
for r in "${!roots[@]}"; do builds+=("$r native" "$r windows"); done
for ((round = 0; round < rounds; ++round)); do
  count=${#builds[@]}
  for ((i = 0; i < count; ++i)); do
    read -r r kind <<<"${builds[$(((i + round) % count))]}"
    echo "round $((round + 1))/$rounds: ${roots[$r]} $kind" >&2
    root=${roots[$r]}
    out="$results/$r.$kind.$round"
    if [ "$kind" = native ]; then
      "$root/build/release/bench/product_cost" --bundles "$root/build/release/bundles" "$@" >"$out"
    else
      "$here/scripts/wine-run.sh" "$root/build/windows/wineprefix" "$root/build/windows/bench/product_cost.exe" \
        --bundles "Z:$root/build/windows/bundles" "$@" | tr -d '\r' >"$out"
    fi
  done
done

# Medians per case and build, then one row per case: native, Windows and their ratio for each root.
for r in "${!roots[@]}"; do
  for kind in native windows; do
    for ((round = 0; round < rounds; ++round)); do
      awk -F'\t' -v build="$r.$kind" '{ print build "\t" $2 "\t" $3 }' "$results/$r.$kind.$round"
    done
  done
done | awk -F'\t' -v roots="${#roots[@]}" -v names="${roots[*]}" '
  { key = $1 SUBSEP $2; n = ++count[key]
    # Insertion sort: a handful of values per key.
    while (n > 1 && value[key, n - 1] > $3 + 0) { value[key, n] = value[key, n - 1]; --n }
    value[key, n] = $3 + 0
    if (!(($2) in seen)) { seen[$2] = 1; order[++cases] = $2 } }
  function median(key,   n) {
    n = count[key]
    return n == 0 ? 0 : (n % 2 ? value[key, (n + 1) / 2] : (value[key, n / 2] + value[key, n / 2 + 1]) / 2)
  }
  END {
    split(names, rootName, " ")
    printf "%-20s", "ns per stereo frame"
    for (r = 0; r < roots; ++r) printf " | %10s %10s %6s", "native", "Windows", "ratio"
    printf "\n"
    if (roots > 1) {
      printf "%-20s", ""
      for (r = 0; r < roots; ++r) printf " | %29s", substr(rootName[r + 1], length(rootName[r + 1]) - 28)
      printf "\n"
    }
    for (c = 1; c <= cases; ++c) {
      printf "%-20s", order[c]
      for (r = 0; r < roots; ++r) {
        native = median(r ".native" SUBSEP order[c]); windows = median(r ".windows" SUBSEP order[c])
        printf " | %10.2f %10.2f %6.2f", native, windows, (native > 0 ? windows / native : 0)
      }
      printf "\n"
    }
  }'
echo "medians of $rounds alternating rounds; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
