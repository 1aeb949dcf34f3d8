#!/usr/bin/env bash
# Runs the third-party validators on every bundle of build/dist/: the VST 3 SDK's validator
# (its extensive suite) on the Linux bundles and, under Wine, on the Windows ones, and pluginval
# at strictness 10 on the Linux ones. Their paths come from the environment (.ci/run sets them):
#   TARNWELL_VST3_VALIDATOR       vst3-validator, Linux
#   TARNWELL_VST3_VALIDATOR_EXE   vst3-validator.exe, run under Wine
#   TARNWELL_PLUGINVAL            pluginval, Linux
# A validator whose variable is unset is skipped with a message. Each run's log goes to
# build/validation/; the exit status is non-zero when any run failed.
set -uo pipefail
cd "$(dirname "$0")/.."
logs=build/validation
rm -rf "$logs"
mkdir -p "$logs"
failed=0
# TarnwellTempo publishes to a block of the validation's own, never to the user session's.
export TARNWELL_TEMPO_BLOCK=TarnwellValidation_Tempo

# summary <log>: the validator's count, else the number of pluginval's groups of tests.
summary() {
  grep -E '^Result: ' "$1" | tail -n 1 ||
    echo "$(grep -c '^Completed tests in' "$1") groups of tests completed"
}

# validate <label> <log> <command...>: a run fails on a non-zero exit status, or when its log
# counts a failed test.
validate() {
  local label=$1 log=$2
  shift 2
  if "$@" >"$log" 2>&1 && ! grep -Eq '[1-9][0-9]* tests? failed' "$log"; then
    echo "passed: $label ($(summary "$log"))"
  else
    echo "FAILED: $label; the end of $log:"
    tail -n 40 "$log"
    failed=1
  fi
}

# skip_unless <variable> <what>: true when the variable names an executable file.
skip_unless() {
  local path=${!1:-}
  if [ -z "$path" ]; then
    echo "skipped: $2 ($1 is not set; .ci/run sets it)"
    return 1
  fi
  if [ ! -x "$path" ]; then
    echo "FAILED: $2: $1=$path is not an executable file"
    failed=1
    return 1
  fi
}

for platform in linux windows; do
  if ! compgen -G "build/dist/$platform/*.vst3" >/dev/null; then
    echo "FAILED: no bundles in build/dist/$platform/ (scripts/build-all.sh lays them out)"
    exit 1
  fi
done

if skip_unless TARNWELL_VST3_VALIDATOR "the VST 3 validator on build/dist/linux"; then
  for bundle in build/dist/linux/*.vst3; do
    name=$(basename "$bundle" .vst3)
    validate "vst3-validator -e $bundle" "$logs/linux-$name-vst3-validator.log" \
      "$TARNWELL_VST3_VALIDATOR" -e "$bundle"
  done
fi

if skip_unless TARNWELL_VST3_VALIDATOR_EXE "the VST 3 validator on build/dist/windows, under Wine"; then
  for bundle in build/dist/windows/*.vst3; do
    name=$(basename "$bundle" .vst3)
    validate "vst3-validator.exe -e $bundle" "$logs/windows-$name-vst3-validator.log" \
      scripts/wine-run.sh "$PWD/build/windows/wineprefix" "$TARNWELL_VST3_VALIDATOR_EXE" -e "Z:$PWD/$bundle"
  done
fi

# Without --vst3validator: the validator's extensive suite has run above, and inside pluginval
# its minutes without output on Tarnwell trip pluginval's 30 s watchdog.
if skip_unless TARNWELL_PLUGINVAL "pluginval on build/dist/linux"; then
  for bundle in build/dist/linux/*.vst3; do
    name=$(basename "$bundle" .vst3)
    validate "pluginval --strictness-level 10 $bundle" "$logs/linux-$name-pluginval.log" \
      "$TARNWELL_PLUGINVAL" --strictness-level 10 --skip-gui-tests --validate "$bundle"
  done
fi

exit $failed
