// ShrinkPixels and GrowPixels, on the plain path and on the SSE2 kernels: the worked examples,
// refusals, both paths against each other and the slow reference over random sizes, and the
// digests every build must reproduce.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fingerprint/Resampler.h"
#include "tests/native/resampler_digests.h"
#include "tests/native/resampler_reference.h"

namespace {

const std::uint8_t kPoison = 0xbd;

struct Picture {
  int width, height;
  std::vector<std::uint8_t> bytes;
  std::uint8_t& At(int x, int y, int c) {
    return bytes[static_cast<std::size_t>(y) * PixelStride(width) + static_cast<std::size_t>(3 * x + c)];
  }
};

// A picture whose fill bytes, and every byte until written, hold kPoison.
Picture Blank(int width, int height) {
  return {width, height, std::vector<std::uint8_t>(PixelStride(width) * static_cast<std::size_t>(height), kPoison)};
}

template <typename Value>
Picture Painted(int width, int height, Value value) {
  Picture p = Blank(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) p.At(x, y, c) = static_cast<std::uint8_t>(value(x, y, c));
  return p;
}

Picture Noise(int width, int height, std::mt19937& random) {
  return Painted(width, height, [&](int, int, int) { return random() & 0xFF; });
}

bool FillUntouched(Picture& p) {
  for (int y = 0; y < p.height; ++y)
    for (std::size_t i = 3 * static_cast<std::size_t>(p.width); i < PixelStride(p.width); ++i)
      if (p.bytes[static_cast<std::size_t>(y) * PixelStride(p.width) + i] != kPoison) return false;
  return true;
}

// Resamples through whichever resampler the sizes choose.
Picture Scaled(Picture& source, int width, int height) {
  Picture target = Blank(width, height);
  const bool grow = ChooseScaleRoute(source.width, source.height, width, height) == ScaleRoute::Grow;
  const bool done = grow ? GrowPixels(source.bytes.data(), source.width, source.height, target.bytes.data(), width, height)
                         : ShrinkPixels(source.bytes.data(), source.width, source.height, target.bytes.data(), width, height);
  EXPECT_TRUE(done) << source.width << "x" << source.height << " to " << width << "x" << height;
  EXPECT_TRUE(FillUntouched(target));
  return target;
}

Picture ReferenceScaled(Picture& source, int width, int height) {
  Picture target = Blank(width, height);
  const bool grow = ChooseScaleRoute(source.width, source.height, width, height) == ScaleRoute::Grow;
  (grow ? ReferenceGrow : ReferenceShrink)(source.bytes.data(), source.width, source.height,
                                           target.bytes.data(), width, height);
  return target;
}

// The tests run once on each path; the vector one where the processor has SSE2.
class Resampling : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    SetResamplerVectorPath(GetParam());
    if (GetParam() && !ResamplerTakesVectorPath()) GTEST_SKIP() << "no SSE2 on this processor";
  }
  void TearDown() override { SetResamplerVectorPath(true); }
};

INSTANTIATE_TEST_SUITE_P(Paths, Resampling, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Vector" : "Plain"; });

// Checks every target pixel against want(x, y, c).
template <typename Want>
void ExpectPixels(Picture& target, Want want) {
  for (int y = 0; y < target.height; ++y)
    for (int x = 0; x < target.width; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(target.At(x, y, c), want(x, y, c)) << "pixel " << x << "," << y << " channel " << c;
}

TEST_P(Resampling, EqualSizeCopiesEveryPixel) {
  std::mt19937 random(1);
  Picture source = Noise(150, 150, random);
  Picture target = Scaled(source, 150, 150);
  ExpectPixels(target, [&](int x, int y, int c) { return source.At(x, y, c); });
}

TEST_P(Resampling, HalvingTakesTheTruncatedMeanOfEachBlock) {
  Picture steps = Painted(300, 300, [](int x, int y, int) { return 1 + x % 2 + 2 * (y % 2); });
  Picture stepTarget = Scaled(steps, 150, 150);
  ExpectPixels(stepTarget, [](int, int, int) { return 2; });  // 1, 2, 3 and 4 give 2
  std::mt19937 random(2);
  Picture source = Noise(300, 300, random);
  Picture target = Scaled(source, 150, 150);
  ExpectPixels(target, [&](int x, int y, int c) {
    return (source.At(2 * x, 2 * y, c) + source.At(2 * x + 1, 2 * y, c) + source.At(2 * x, 2 * y + 1, c) +
            source.At(2 * x + 1, 2 * y + 1, c)) / 4;
  });
}

TEST_P(Resampling, DoublingMakesEachPixelABlock) {
  std::mt19937 random(3);
  Picture source = Noise(75, 75, random);
  Picture target = Scaled(source, 150, 150);
  ExpectPixels(target, [&](int x, int y, int c) { return source.At(x / 2, y / 2, c); });
}

TEST_P(Resampling, HundredToHundredFiftyMeansEveryOtherPairOfColumns) {
  std::mt19937 random(4);
  Picture source = Noise(100, 3, random);
  Picture target = Scaled(source, 150, 3);
  ExpectPixels(target, [&](int x, int y, int c) {
    const int left = 2 * (x / 3);
    if (x % 3 == 1) return (source.At(left, y, c) + source.At(left + 1, y, c)) / 2;
    return static_cast<int>(source.At(left + x % 3 / 2, y, c));
  });
}

TEST_P(Resampling, SevenToThreeSplitsTheThirdColumnOneThirdToTwoThirds) {
  Picture source = Painted(7, 1, [](int x, int, int) { return x == 2 ? 210 : 0; });
  Picture target = Scaled(source, 3, 1);
  ExpectPixels(target, [](int x, int, int) { return x == 0 ? 30 : x == 1 ? 60 : 0; });
}

TEST_P(Resampling, AnAxisOfEqualSizeIsCopiedOneToOne) {
  std::mt19937 random(5);
  Picture columns = Painted(150, 100, [&](int x, int, int c) { return (x * 7 + c * 50) & 0xFF; });
  Picture grown = Scaled(columns, 150, 150);
  ExpectPixels(grown, [&](int x, int, int c) { return columns.At(x, 0, c); });
  Picture rows = Painted(200, 150, [&](int, int y, int c) { return (y * 5 + c * 70) & 0xFF; });
  Picture shrunk = Scaled(rows, 150, 150);
  ExpectPixels(shrunk, [&](int, int y, int c) { return rows.At(0, y, c); });
}

TEST_P(Resampling, OnePixelFillsTheWholeTarget) {
  Picture source = Painted(1, 1, [](int, int, int c) { return 40 + 90 * c; });
  Picture target = Scaled(source, 150, 150);
  ExpectPixels(target, [](int, int, int c) { return 40 + 90 * c; });
}

TEST_P(Resampling, AUniformSourceCanComeOutOneStepDarker) {
  Picture source = Painted(7, 7, [](int, int, int) { return 255; });
  Picture target = Scaled(source, 3, 3);
  int darker = 0;
  ExpectPixels(target, [&](int x, int y, int c) {
    darker += target.At(x, y, c) == 254;
    return target.At(x, y, c) == 254 ? 254 : 255;
  });
  EXPECT_GT(darker, 0);
}

TEST_P(Resampling, RefusesSizesOutsideItsDirectionOrLimits) {
  const struct { int sw, sh, tw, th; bool shrinks, grows; } cases[] = {
      {200, 100, 150, 150, false, false}, {100, 200, 150, 150, false, false},
      {150, 150, 150, 150, true, true},   {300, 300, 150, 150, true, false},
      {75, 75, 150, 150, false, true},    {10000, 2, 150, 1, false, false},
      {2, 10000, 1, 150, false, false},   {5, 5, 0, 5, false, false},
      {0, 5, 5, 5, false, false},         {5, 5, 5, 65536, false, false}};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> source(PixelStride(c.sw > 0 ? c.sw : 1) * static_cast<std::size_t>(c.sh > 0 ? c.sh : 1));
    std::vector<std::uint8_t> target(PixelStride(c.tw > 0 ? c.tw : 1) * static_cast<std::size_t>(c.th > 0 ? c.th : 1), kPoison);
    EXPECT_EQ(ShrinkPixels(source.data(), c.sw, c.sh, target.data(), c.tw, c.th), c.shrinks)
        << c.sw << "x" << c.sh << " to " << c.tw << "x" << c.th;
    EXPECT_EQ(GrowPixels(source.data(), c.sw, c.sh, target.data(), c.tw, c.th), c.grows)
        << c.sw << "x" << c.sh << " to " << c.tw << "x" << c.th;
  }
  std::uint8_t pixel[4] = {};
  EXPECT_FALSE(ShrinkPixels(nullptr, 1, 1, pixel, 1, 1));
  EXPECT_FALSE(GrowPixels(pixel, 1, 1, nullptr, 1, 1));
}

struct Sizes {
  int sw, sh, tw, th;
};

// Sizes a resampler accepts: mostly small, one in eight long and thin up to the source limit.
Sizes DrawSizes(std::mt19937& random) {
  auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  const bool thin = random() % 8 == 0;
  Sizes s{between(1, thin ? 9999 : 120), between(1, thin ? 3 : 120), 0, 0};
  if (thin && random() % 2 == 0) std::swap(s.sw, s.sh);
  const int growth = thin ? 50 : 250;
  if (random() % 2 == 0) {
    s.tw = between(1, s.sw);
    s.th = between(1, s.sh);
  } else {
    s.tw = between(s.sw, s.sw + between(0, growth));
    s.th = between(s.sh, s.sh + between(0, growth));
  }
  return s;
}

// Resamples on one path.
Picture ScaledOn(bool vector, Picture& source, int width, int height) {
  SetResamplerVectorPath(vector);
  Picture target = Scaled(source, width, height);
  SetResamplerVectorPath(true);
  return target;
}

TEST(ResamplingPaths, VectorAndPlainMatchTheReferenceOverRandomSizes) {
  if (!ResamplerTakesVectorPath()) GTEST_SKIP() << "no SSE2 on this processor";
  std::mt19937 random(20240607);
  for (int round = 0; round < 400; ++round) {
    const Sizes s = DrawSizes(random);
    Picture source = Noise(s.sw, s.sh, random);
    Picture want = ReferenceScaled(source, s.tw, s.th);
    const std::uint64_t wantDigest = PixelDigest(want.bytes.data(), s.tw, s.th);
    for (const bool vector : {false, true}) {
      Picture got = ScaledOn(vector, source, s.tw, s.th);
      ASSERT_EQ(PixelDigest(got.bytes.data(), s.tw, s.th), wantDigest)
          << (vector ? "vector" : "plain") << ", round " << round << ": " << s.sw << "x" << s.sh
          << " to " << s.tw << "x" << s.th;
    }
  }
}

// The vector kernels work target columns in pairs, taking their terms rank by rank, with weight 0
// where a column has no term left and a spare column after an odd width; growing rows of one
// source row stay plain and rows that repeat the row below are copied. Each size makes one of
// these fall on an edge.
TEST_P(Resampling, MatchesTheReferenceWhereColumnsArePairedOrRowsRepeat) {
  const Sizes sizes[] = {
      {1, 13, 1, 1},        // one column, a spare one beside it
      {11, 5, 4, 2},        // columns of three, four, four and three terms
      {13, 5, 5, 3},        // three, four, three, four, three terms and a spare column
      {9999, 2, 2, 1},      // two columns of five thousand terms each
      {640, 9, 151, 2},     // wide rows of five and six terms, odd width
      {150, 149, 150, 149}, // one term a column
      {7, 3, 8, 5},         // growth by one: columns of two terms after one of one
      {2, 3, 7, 11},        // growth: rows of one and two source rows, repeats copied
      {97, 61, 150, 150},   // growth on both axes
  };
  std::mt19937 random(7);
  for (const Sizes& s : sizes) {
    Picture source = Noise(s.sw, s.sh, random);
    Picture target = Scaled(source, s.tw, s.th);
    Picture want = ReferenceScaled(source, s.tw, s.th);
    EXPECT_EQ(target.bytes, want.bytes) << s.sw << "x" << s.sh << " to " << s.tw << "x" << s.th;
  }
}

TEST_P(Resampling, ReproducesTheDigestsEveryBuildMustGive) {
  for (const DigestCase& c : kDigestCases) {
    Picture reference{c.sourceWidth, c.sourceHeight, DigestPicture(c)};
    Picture want = ReferenceScaled(reference, c.targetWidth, c.targetHeight);
    const std::vector<std::uint8_t> got = ResampleDigestCase(c);
    ASSERT_FALSE(got.empty());
    const std::uint64_t wantDigest = PixelDigest(want.bytes.data(), c.targetWidth, c.targetHeight);
    EXPECT_EQ(PixelDigest(got.data(), c.targetWidth, c.targetHeight), wantDigest);
    EXPECT_EQ(c.digest, wantDigest) << "{" << c.sourceWidth << ", " << c.sourceHeight << ", " << c.targetWidth
                                    << ", " << c.targetHeight << ", " << c.value << ", " << c.seed << ", 0x"
                                    << std::hex << wantDigest << "ull},";
  }
}

}  // namespace
