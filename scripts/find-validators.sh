# Source this: exports the paths of the third-party validators that ./test.sh runs on the
# bundles, found in $TARNWELL_TOOLS_DIR, else in the tools folder beside the checkout
# (../shared/tools). A variable already set is kept; a validator that is not there stays unset,
# and ./test.sh says that it skipped it.
validator_tools_dir=${TARNWELL_TOOLS_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/../shared/tools}

# find_validator <variable> <file name>
find_validator() {
  if [ -n "${!1:-}" ]; then
    echo "validator: $1=${!1} (from the environment)"
  elif [ -x "$validator_tools_dir/$2" ]; then
    export "$1=$(cd "$validator_tools_dir" && pwd)/$2"
    echo "validator: $1=${!1}"
  else
    echo "validator: no $2 in $validator_tools_dir; ./test.sh will skip it"
  fi
}

find_validator TARNWELL_VST3_VALIDATOR vst3-validator
find_validator TARNWELL_VST3_VALIDATOR_EXE vst3-validator.exe
find_validator TARNWELL_PLUGINVAL pluginval
