// Pins the fingerprints of golden cases with the code as it is now:
//   rack_golden_writer tests/rack/dsp/golden/rack_renders.bin            adds the cases the file lacks
//   rack_golden_writer --replace tests/rack/dsp/golden/rack_renders.bin  renders every case anew
// Cases already in the file keep the fingerprint of the code they were pinned with, so a new block's
// goldens can be added without moving the others' reference. Replace only for deliberate changes of
// sound, never to make a test pass.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "golden_renders.h"
#include "render_fingerprint.h"

int main(int argc, char** argv) {
  const bool replace = argc == 3 && std::string(argv[1]) == "--replace";
  if (argc != 2 && !replace) {
    std::fprintf(stderr, "usage: %s [--replace] <fingerprint file>\n", argv[0]);
    return 2;
  }
  const std::string path = argv[argc - 1];
  std::vector<NamedFingerprint> kept;
  if (!replace) {
    ReadFingerprints(path, kept);
  }
  std::set<std::string> pinned;
  for (const NamedFingerprint& entry : kept) {
    pinned.insert(entry.name);
  }
  std::vector<NamedFingerprint> entries = kept;
  for (const GoldenCase& golden : GoldenCases()) {
    if (pinned.count(golden.Name()) == 0) {
      entries.push_back({golden.Name(), TakeFingerprint(RenderGoldenCase(golden))});
    }
  }
  if (!WriteFingerprints(path, entries)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("%zu fingerprints in %s, %zu of them new\n", entries.size(), path.c_str(), entries.size() - kept.size());
  return 0;
}
