#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rack/dsp/biquad.h"
#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/stereo_frames.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;

double ResponseDb(const Biquad& f, double frequency, double sampleRate) {
  const std::complex<double> z1 = std::polar(1.0, -kTwoPi * frequency / sampleRate);
  const std::complex<double> z2 = z1 * z1;
  const auto h = (f.b0 + f.b1 * z1 + f.b2 * z2) / (1.0 + f.a1 * z1 + f.a2 * z2);
  return 20.0 * std::log10(std::abs(h));
}

struct ResponseCase {
  std::string name;
  std::function<void(Biquad&)> design;
  double frequency;
  double expectedDb;
};

class DesignerResponse : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(DesignerResponse, MatchesCookbookGainAtKeyFrequencies) {
  const ResponseCase& c = GetParam();
  Biquad filter;
  c.design(filter);
  EXPECT_NEAR(ResponseDb(filter, c.frequency, kRate), c.expectedDb, 0.01);
}

// Shelves reach A^2 (the full gain) on their shelf side, unity on the other, and A (half the gain in
// dB) at their corner; a band-pass has unit gain at its centre; Q 0.707 gives -3.01 dB at the corner.
INSTANTIATE_TEST_SUITE_P(
    Designers, DesignerResponse,
    ::testing::Values(
        ResponseCase{"BandPassCentre", [](Biquad& f) { DesignBandPass(f, kRate, 3500.0, 1.3); }, 3500.0, 0.0},
        ResponseCase{"HighPassCorner", [](Biquad& f) { DesignHighPass(f, kRate, 80.0, 0.707); }, 80.0, -3.01},
        ResponseCase{"LowPassCorner", [](Biquad& f) { DesignLowPass(f, kRate, 10000.0, 0.707); }, 10000.0, -3.01},
        ResponseCase{"PeakCentre", [](Biquad& f) { DesignPeak(f, kRate, 400.0, 1.5, -5.0); }, 400.0, -5.0},
        ResponseCase{"LowShelfDc", [](Biquad& f) { DesignLowShelf(f, kRate, 100.0, 1.0, 6.0); }, 1.0, 6.0},
        ResponseCase{"LowShelfCorner", [](Biquad& f) { DesignLowShelf(f, kRate, 100.0, 1.0, 6.0); }, 100.0, 3.0},
        ResponseCase{"LowShelfNyquist", [](Biquad& f) { DesignLowShelf(f, kRate, 100.0, 1.0, 6.0); }, 24000.0, 0.0},
        ResponseCase{"HighShelfNyquist", [](Biquad& f) { DesignHighShelf(f, kRate, 700.0, 0.7071067811865476, -3.0); },
                     24000.0, -3.0},
        ResponseCase{"HighShelfCorner", [](Biquad& f) { DesignHighShelf(f, kRate, 700.0, 0.7071067811865476, -3.0); },
                     700.0, -1.5},
        ResponseCase{"HighShelfDc", [](Biquad& f) { DesignHighShelf(f, kRate, 700.0, 0.7071067811865476, -3.0); }, 1.0,
                     0.0}),
    [](const ::testing::TestParamInfo<ResponseCase>& info) { return info.param.name; });

TEST(Biquad, BandPassHasExactlyZeroMiddleFeedForward) {
  Biquad filter;
  DesignBandPass(filter, kRate, 12000.0, 1.3);
  EXPECT_EQ(filter.b1, 0.0);
}

// A 0 dB design has b == a exactly, so from cleared state it returns every sample bit for bit.
TEST(Biquad, ZeroDbDesignsPassSignalExactly) {
  const std::vector<std::function<void(Biquad&)>> designs = {
      [](Biquad& f) { DesignPeak(f, kRate, 3500.0, 1.3, 0.0); },
      [](Biquad& f) { DesignHighShelf(f, kRate, 10000.0, 1.0, 0.0); },
      [](Biquad& f) { DesignLowShelf(f, kRate, 700.0, 0.7071067811865476, 0.0); },
  };
  const std::vector<double> input = Noise(0.5, 4096, 7);
  for (std::size_t d = 0; d < designs.size(); ++d) {
    Biquad filter;
    designs[d](filter);
    for (std::size_t i = 0; i < input.size(); ++i) {
      ASSERT_EQ(filter.Run(input[i]), input[i]) << "design " << d << " sample " << i;
    }
  }
}

// Blocks design two frames' peaks at once; each lane must carry the scalar design's very bits, cuts
// and boosts alike, or a render drifts from the one designed frame by frame.
TEST(Biquad, PeakDesignOfTwoLanesGivesEachTheScalarBits) {
  struct Design {
    double b0, b1, b2, a1, a2;
  };
  struct DesignPair {
    StereoFrame b0, b1, b2, a1, a2;
  };
  const auto [cosine, sine] = AngleFor(kRate, 280.0);
  const double alpha = sine / 3.2;
  const std::vector<double> amplitudes = {0.5011872336272722, 0.7, 0.9999999, 1.0, 1.3, 3.981071705534973};
  for (std::size_t i = 0; i + 1 < amplitudes.size(); ++i) {
    DesignPair pair;
    DesignPeakWithOneDivision(pair, BothChannels(cosine), BothChannels(alpha),
                              StereoFrame{amplitudes[i], amplitudes[i + 1]});
    for (std::size_t lane = 0; lane < 2; ++lane) {
      Design scalar;
      DesignPeakWithOneDivision(scalar, cosine, alpha, amplitudes[i + lane]);
      const Design fromPair{pair.b0[lane], pair.b1[lane], pair.b2[lane], pair.a1[lane], pair.a2[lane]};
      EXPECT_EQ(std::memcmp(&fromPair, &scalar, sizeof scalar), 0) << "amplitude " << amplitudes[i + lane];
    }
  }
}

TEST(Biquad, RedesignKeepsStateSoOutputContinues) {
  Biquad redesigned;
  Biquad untouched;
  DesignHighShelf(redesigned, kRate, 12000.0, 1.0, 4.0);
  DesignHighShelf(untouched, kRate, 12000.0, 1.0, 4.0);
  const std::vector<double> input = Noise(0.5, 2000, 3);
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (i % 64 == 0) {
      DesignHighShelf(redesigned, kRate, 12000.0, 1.0, 4.0);
    }
    ASSERT_EQ(redesigned.Run(input[i]), untouched.Run(input[i])) << "sample " << i;
  }
}

// Every fixed design frequency of the blocks, at the lowest rates the engine accepts, where several of
// them lie above half the rate.
TEST(Biquad, FixedDesignsStayStableAtEveryRate) {
  const std::vector<std::function<void(Biquad&, double)>> designs = {
      [](Biquad& f, double r) { DesignHighPass(f, r, 80.0, 0.707); },
      [](Biquad& f, double r) { DesignHighPass(f, r, 50.0, 0.707); },
      [](Biquad& f, double r) { DesignHighPass(f, r, 214.0, 0.56); },
      [](Biquad& f, double r) { DesignLowPass(f, r, 120.0, 0.707); },
      [](Biquad& f, double r) { DesignLowPass(f, r, 10000.0, 0.707); },
      [](Biquad& f, double r) { DesignBandPass(f, r, 3500.0, 1.3); },
      [](Biquad& f, double r) { DesignBandPass(f, r, 12000.0, 1.3); },
      [](Biquad& f, double r) { DesignPeak(f, r, 7000.0, 1.3, -10.0); },
      [](Biquad& f, double r) { DesignPeak(f, r, 3500.0, 1.3, 7.0); },
      [](Biquad& f, double r) { DesignHighShelf(f, r, 10000.0, 1.0, 8.0); },
      [](Biquad& f, double r) { DesignHighShelf(f, r, 12000.0, 1.0, 4.0); },
      [](Biquad& f, double r) { DesignLowShelf(f, r, 100.0, 1.0, -2.5); },
  };
  for (double rate : {8001.0, 11025.0, 16000.0, 22050.0, 44100.0, 192000.0}) {
    const std::vector<double> input = Sum(Sine(1000.0, 0.5, rate, 8000), Noise(0.3, 8000, 11));
    for (std::size_t d = 0; d < designs.size(); ++d) {
      Biquad filter;
      designs[d](filter, rate);
      EXPECT_LT(std::fabs(filter.a2), 1.0) << "design " << d << " at " << rate;
      EXPECT_LT(std::fabs(filter.a1), 1.0 + filter.a2) << "design " << d << " at " << rate;
      std::vector<double> output;
      for (double x : input) {
        output.push_back(filter.Run(x));
      }
      EXPECT_TRUE(AllFinite(output)) << "design " << d << " at " << rate;
    }
  }
}

TEST(Biquad, DesignFrequencyIsHeldBelowHalfTheRateOnly) {
  const DesignAngle held = AngleFor(11025.0, 12000.0);
  const DesignAngle limit = AngleFor(11025.0, 0.49 * 11025.0);
  EXPECT_EQ(held.cosine, limit.cosine);
  EXPECT_EQ(held.sine, limit.sine);

  const DesignAngle untouched = AngleFor(44100.0, 12000.0);
  EXPECT_EQ(untouched.cosine, std::cos(kTwoPi * 12000.0 / 44100.0));
  EXPECT_EQ(untouched.sine, std::sin(kTwoPi * 12000.0 / 44100.0));
}

}  // namespace
