#!/usr/bin/env bash
# The main job: shows what every built module tells a host, in both builds, then renders a
# synthesised vocal take through Tarnwell's "Present" factory preset, a music bed under a
# voice through TarnwellDuck and a drum loop through TarnwellTempo into build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
for bundle in build/linux/bundles/*.vst3; do
  echo "== linux: $bundle"
  build/linux/host/tarnwell-host info "$bundle"
done
source scripts/wine-session.sh "$PWD/build/windows/wineprefix"
trap wine_session_end EXIT
for bundle in build/windows/bundles/*.vst3; do
  echo "== windows: $bundle"
  "$wine_bin" build/windows/host/tarnwell-host.exe info "Z:$PWD/$bundle"
done

demo=build/demo
mkdir -p "$demo"
host=build/linux/host/tarnwell-host

# render_demo <bundle> <input.wav> <output.wav> [render options]
render_demo() {
  local bundle=$1 input=$2 output=$3
  shift 3
  echo "== demo: $output"
  "$host" render "build/linux/bundles/$bundle" "$input" "$output" "$@"
}

build/linux/demo/tarnwell-demo-input "$demo/vocal-take.wav" "$demo/tarnwell-present.state" present
render_demo Tarnwell.vst3 "$demo/vocal-take.wav" "$demo/tarnwell-present.wav" --state "$demo/tarnwell-present.state"
echo "demo input: $demo/vocal-take.wav; through Tarnwell (Present): $demo/tarnwell-present.wav"

# A music bed on the main channels, a voice on the side-chain: the bed ducks under it.
build/linux/demo/duck-demo-input "$demo/duck-bed-and-voice.wav"
render_demo TarnwellDuck.vst3 "$demo/duck-bed-and-voice.wav" "$demo/duck-speak.wav" --param Character=Speak --param Amount=75
echo "demo input: $demo/duck-bed-and-voice.wav (bed 1-2, voice 3-4); through TarnwellDuck (Speak, 75 %): $demo/duck-speak.wav"

# A drum loop at 124 BPM through TarnwellTempo, publishing to a tempo block of the demo's own;
# the detected tempo is read back from it.
build/linux/demo/tempo-demo loop "$demo/tempo-drums-124.wav" 124
TARNWELL_TEMPO_BLOCK=TarnwellDemo_Tempo render_demo TarnwellTempo.vst3 "$demo/tempo-drums-124.wav" "$demo/tempo-drums-124-out.wav"
echo "demo input: $demo/tempo-drums-124.wav (124 BPM); $(build/linux/demo/tempo-demo published TarnwellDemo_Tempo)"

# The editors' pages as a user sees them, rendered by headless Chromium through the modules
# (the tests skip without Chromium, and then there are none).
screenshots="$demo/screenshots"
rm -rf "$screenshots"
TARNWELL_SCREENSHOTS="$PWD/$screenshots" build/linux/tests/browser/browser_page_tests \
  --gtest_filter='*Screenshot*' --gtest_brief=1 >/dev/null || true
if compgen -G "$screenshots/*.png" >/dev/null; then
  echo "editor screenshots: $(echo "$screenshots"/*.png)"
else
  echo "no editor screenshots: install chromium-headless-shell (scripts/install-deps.sh does)"
fi
echo "WAV files: $(echo "$demo"/*.wav)"
