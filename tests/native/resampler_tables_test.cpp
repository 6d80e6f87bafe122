// Weight tables, the choice of resampler, row strides and the black frame.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "fingerprint/Resampler.h"
#include "tests/native/resampler_reference.h"

namespace {

const float kOneSeventh = static_cast<float>(1.0 / 7);
const float kTwoSevenths = static_cast<float>(2.0 / 7);
const float kThreeSevenths = static_cast<float>(3.0 / 7);

struct TableCase {
  int count, step;
  AxisMode mode;
  std::vector<AxisWeight> expected;  // repeats over the whole table; the last spill is -1
};

const TableCase kTables[] = {
    {150, 150, AxisMode::Shrink, {{1, -1}}},
    {300, 150, AxisMode::Shrink, {{0.5f, 0}, {0.5f, -1}}},
    {150, 75, AxisMode::Grow, {{1, 0}, {1, -1}}},
    {150, 100, AxisMode::Grow, {{1, 0}, {0.5f, 0.5f}, {1, -1}}},
    {7, 3, AxisMode::Shrink,
     {{kThreeSevenths, 0}, {kThreeSevenths, 0}, {kOneSeventh, kTwoSevenths}, {kThreeSevenths, 0},
      {kTwoSevenths, kOneSeventh}, {kThreeSevenths, 0}, {kThreeSevenths, -1}}},
    {150, 1, AxisMode::Grow, {{1, 0}}},
};

TEST(BuildAxisWeights, GivesTheTablesOfTheWorkedExamples) {
  for (std::size_t row = 0; row < std::size(kTables); ++row) {
    const TableCase& c = kTables[row];
    AxisWeight* table = BuildAxisWeights(c.count, c.step, c.mode);
    ASSERT_NE(table, nullptr) << "row " << row;
    for (int i = 0; i < c.count; ++i) {
      const AxisWeight& want = c.expected[static_cast<std::size_t>(i) % c.expected.size()];
      EXPECT_EQ(table[i].share, want.share) << "row " << row << " entry " << i;
      EXPECT_EQ(table[i].spill, i + 1 == c.count ? -1.0f : want.spill) << "row " << row << " entry " << i;
    }
    std::free(table);
  }
}

TEST(BuildAxisWeights, MatchesTheReferenceBitForBit) {
  for (int count = 1; count <= 160; ++count) {
    for (int step = 1; step <= count; ++step) {
      for (const bool shrink : {true, false}) {
        AxisWeight* table = BuildAxisWeights(count, step, shrink ? AxisMode::Shrink : AxisMode::Grow);
        ASSERT_NE(table, nullptr);
        const std::vector<AxisWeight> want = ReferenceWeights(count, step, shrink);
        EXPECT_EQ(std::memcmp(table, want.data(), want.size() * sizeof(AxisWeight)), 0)
            << count << " by " << step << (shrink ? " shrink" : " grow");
        std::free(table);
      }
    }
  }
}

// The other side's index must advance exactly step times and end on the last entry.
int AdvancingEntries(const AxisWeight* table, int count) {
  int advancing = 0;
  for (int i = 0; i < count; ++i) advancing += (table[i].spill > 0.0001f || -table[i].spill > 0.0001f);
  return advancing;
}

TEST(BuildAxisWeights, StaysInStepBelowTenThousandAndNotAtIt) {
  const struct { int count, step; bool inStep; } cases[] = {
      {9999, 9998, true}, {9999, 1, true}, {9999, 5000, true}, {10000, 9999, false}};
  for (const auto& c : cases) {
    AxisWeight* table = BuildAxisWeights(c.count, c.step, AxisMode::Shrink);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(AdvancingEntries(table, c.count) == c.step, c.inStep) << c.count << " by " << c.step;
    std::free(table);
  }
}

TEST(BuildAxisWeights, RefusesSizesOutOfRange) {
  const int cases[][2] = {{0, 0}, {0, 1}, {1, 0}, {5, 6}, {-3, 1}, {3, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(BuildAxisWeights(c[0], c[1], AxisMode::Shrink), nullptr) << c[0] << " by " << c[1];
    EXPECT_EQ(BuildAxisWeights(c[0], c[1], AxisMode::Grow), nullptr) << c[0] << " by " << c[1];
  }
}

TEST(ChooseScaleRoute, RefusesMixedDirectionsAndSizesOutsideTheLimits) {
  const struct { int sw, sh, tw, th; ScaleRoute route; } cases[] = {
      {150, 150, 150, 150, ScaleRoute::Shrink}, {300, 300, 150, 150, ScaleRoute::Shrink},
      {75, 75, 150, 150, ScaleRoute::Grow},     {200, 100, 150, 150, ScaleRoute::Refused},
      {100, 200, 150, 150, ScaleRoute::Refused}, {150, 100, 150, 150, ScaleRoute::Grow},
      {200, 150, 150, 150, ScaleRoute::Shrink}, {1, 1, 150, 150, ScaleRoute::Grow},
      {9999, 9999, 1, 1, ScaleRoute::Shrink},   {10000, 50, 150, 1, ScaleRoute::Refused},
      {50, 10000, 1, 150, ScaleRoute::Refused}, {150, 150, 0, 150, ScaleRoute::Refused},
      {150, 150, 150, 0, ScaleRoute::Refused},  {0, 150, 150, 150, ScaleRoute::Refused},
      {150, -1, 150, 150, ScaleRoute::Refused}, {1, 1, 65535, 65535, ScaleRoute::Grow},
      {1, 1, 65536, 1, ScaleRoute::Refused}};
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseScaleRoute(c.sw, c.sh, c.tw, c.th), c.route)
        << c.sw << "x" << c.sh << " to " << c.tw << "x" << c.th;
  }
}

TEST(PixelStride, RaisesThreeBytesAPixelToAMultipleOfFour) {
  const int cases[][2] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {150, 452}, {65535, 196608}};
  for (const auto& c : cases) EXPECT_EQ(PixelStride(c[0]), static_cast<std::size_t>(c[1])) << c[0];
}

TEST(PaintBlackFrame, BlackensTheEdgesAndLeavesTheInsideAndTheFill) {
  const int sizes[][2] = {{1, 1}, {1, 5}, {2, 2}, {5, 2}, {2, 7}, {3, 3}, {4, 3}, {6, 5}};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1];
    std::vector<std::uint8_t> pixels(PixelStride(w) * static_cast<std::size_t>(h), 0xbd);
    PaintBlackFrame(pixels.data(), w, h);
    for (int y = 0; y < h; ++y) {
      for (std::size_t i = 0; i < PixelStride(w); ++i) {
        const int x = static_cast<int>(i / 3);
        const bool fill = x >= w, edge = y == 0 || y == h - 1 || x == 0 || x == w - 1;
        EXPECT_EQ(pixels[static_cast<std::size_t>(y) * PixelStride(w) + i], (edge && !fill) ? 0 : 0xbd)
            << w << "x" << h << " row " << y << " byte " << i;
      }
    }
  }
}

}  // namespace
