// Writes the fingerprints of every golden case with the code as it is now:
//   rack_golden_writer tests/rack/golden/rack_renders.bin
// Run it only to pin new cases or deliberate changes of sound, never to make a test pass.
#include <cstdio>
#include <vector>

#include "golden_renders.h"
#include "render_fingerprint.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    std::vector<NamedFingerprint> entries;
    for (const GoldenCase& golden : GoldenCases()) {
        entries.push_back({golden.Name(), TakeFingerprint(RenderGoldenCase(golden))});
    }
    if (!WriteFingerprints(argv[1], entries)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%zu fingerprints written to %s\n", entries.size(), argv[1]);
    return 0;
}
