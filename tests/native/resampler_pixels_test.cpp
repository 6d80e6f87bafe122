// ShrinkPixels and GrowPixels: the worked examples, refusals, a property check against the slow
// reference over random sizes, and the digests every build must reproduce.
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

// Checks every target pixel against want(x, y, c).
template <typename Want>
void ExpectPixels(Picture& target, Want want) {
  for (int y = 0; y < target.height; ++y)
    for (int x = 0; x < target.width; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(target.At(x, y, c), want(x, y, c)) << "pixel " << x << "," << y << " channel " << c;
}

TEST(Resampling, EqualSizeCopiesEveryPixel) {
  std::mt19937 random(1);
  Picture source = Noise(150, 150, random);
  Picture target = Scaled(source, 150, 150);
  ExpectPixels(target, [&](int x, int y, int c) { return source.At(x, y, c); });
}

TEST(Resampling, HalvingTakesTheTruncatedMeanOfEachBlock) {
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

TEST(Resampling, DoublingMakesEachPixelABlock) {
  std::mt19937 random(3);
  Picture source = Noise(75, 75, random);
  Picture target = Scaled(source, 150, 150);
  ExpectPixels(target, [&](int x, int y, int c) { return source.At(x / 2, y / 2, c); });
}

TEST(Resampling, HundredToHundredFiftyMeansEveryOtherPairOfColumns) {
  std::mt19937 random(4);
  Picture source = Noise(100, 3, random);
  Picture target = Scaled(source, 150, 3);
  ExpectPixels(target, [&](int x, int y, int c) {
    const int left = 2 * (x / 3);
    if (x % 3 == 1) return (source.At(left, y, c) + source.At(left + 1, y, c)) / 2;
    return static_cast<int>(source.At(left + x % 3 / 2, y, c));
  });
}

TEST(Resampling, SevenToThreeSplitsTheThirdColumnOneThirdToTwoThirds) {
  Picture source = Painted(7, 1, [](int x, int, int) { return x == 2 ? 210 : 0; });
  Picture target = Scaled(source, 3, 1);
  ExpectPixels(target, [](int x, int, int) { return x == 0 ? 30 : x == 1 ? 60 : 0; });
}

TEST(Resampling, AnAxisOfEqualSizeIsCopiedOneToOne) {
  std::mt19937 random(5);
  Picture columns = Painted(150, 100, [&](int x, int, int c) { return (x * 7 + c * 50) & 0xFF; });
  Picture grown = Scaled(columns, 150, 150);
  ExpectPixels(grown, [&](int x, int, int c) { return columns.At(x, 0, c); });
  Picture rows = Painted(200, 150, [&](int, int y, int c) { return (y * 5 + c * 70) & 0xFF; });
  Picture shrunk = Scaled(rows, 150, 150);
  ExpectPixels(shrunk, [&](int, int y, int c) { return rows.At(0, y, c); });
}

TEST(Resampling, OnePixelFillsTheWholeTarget) {
  Picture source = Painted(1, 1, [](int, int, int c) { return 40 + 90 * c; });
  Picture target = Scaled(source, 150, 150);
  ExpectPixels(target, [](int, int, int c) { return 40 + 90 * c; });
}

TEST(Resampling, AUniformSourceCanComeOutOneStepDarker) {
  Picture source = Painted(7, 7, [](int, int, int) { return 255; });
  Picture target = Scaled(source, 3, 3);
  int darker = 0;
  ExpectPixels(target, [&](int x, int y, int c) {
    darker += target.At(x, y, c) == 254;
    return target.At(x, y, c) == 254 ? 254 : 255;
  });
  EXPECT_GT(darker, 0);
}

TEST(Resampling, RefusesSizesOutsideItsDirectionOrLimits) {
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

TEST(Resampling, MatchesTheReferenceOverRandomSizes) {
  std::mt19937 random(20240607);
  for (int round = 0; round < 400; ++round) {
    const Sizes s = DrawSizes(random);
    Picture source = Noise(s.sw, s.sh, random);
    Picture target = Scaled(source, s.tw, s.th);
    Picture want = ReferenceScaled(source, s.tw, s.th);
    ASSERT_EQ(PixelDigest(target.bytes.data(), s.tw, s.th), PixelDigest(want.bytes.data(), s.tw, s.th))
        << "round " << round << ": " << s.sw << "x" << s.sh << " to " << s.tw << "x" << s.th;
  }
}

// Target rows are worked several at a time, grouped by their count of source rows, with unused
// places in a group; a target row of many source rows is added up in several passes; columns are
// filled up to whole groups with spare ones; rows that repeat the row below are copied. Each size
// here makes one of these fall on an edge, and every byte must still match the reference.
TEST(Resampling, MatchesTheReferenceWhereRowsAndColumnsAreWorkedInGroups) {
  const Sizes sizes[] = {
      {1, 13, 1, 1},     // one target row of thirteen source rows: three passes
      {4, 12, 4, 2},     // six source rows a target row: exactly one pass
      {5, 14, 3, 2},     // seven: one pass and one more row
      {9, 9, 9, 5},      // rows of two and three source rows, five rows in two groups
      {17, 23, 5, 3},    // three rows of eight or nine source rows: a place unused, two passes
      {2, 3, 7, 11},     // growth: rows repeat and are copied
      {150, 150, 150, 149},  // one source row fewer: rows of two, each sharing one with the next
      {640, 9, 151, 2},  // wide rows that do not split evenly into the vector steps
  };
  std::mt19937 random(7);
  for (const Sizes& s : sizes) {
    Picture source = Noise(s.sw, s.sh, random);
    Picture target = Scaled(source, s.tw, s.th);
    Picture want = ReferenceScaled(source, s.tw, s.th);
    EXPECT_EQ(target.bytes, want.bytes) << s.sw << "x" << s.sh << " to " << s.tw << "x" << s.th;
  }
}

TEST(Resampling, ReproducesTheDigestsEveryBuildMustGive) {
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
