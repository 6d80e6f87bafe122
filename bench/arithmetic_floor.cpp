// Compiled as the resampler's kernels are: SSE2 and nothing wider, no fused multiply-add.
#include "arithmetic_floor.h"

#include <emmintrin.h>

#include <cstdlib>

#include "fingerprint/AxisWeights.h"
#include "fingerprint/Resampler.h"
#include "fingerprint/ResamplerSse2.h"

namespace {

constexpr int kSums = 12;
// Any weight does; this one is a product of two singles, as the resampler's are.
constexpr double kWeight = 0.29296875 * 0.2109375;

// Rounds both lanes to single precision in place (Veltkamp's splitting at 29 bits). It gives the
// bits of a conversion to single and back, and costs less here: the floor takes the cheaper.
inline __m128d RoundToSingle(__m128d sums) {
  const __m128d splitter = _mm_set1_pd(536870913.0);
  const __m128d scaled = _mm_mul_pd(sums, splitter);
  return _mm_add_pd(scaled, _mm_sub_pd(sums, scaled));
}

int Spills(const AxisWeight* table, int entries) {
  int count = 0;
  for (int i = 0; i < entries; ++i) count += SpillsOver(table[i]);
  return count;
}

}  // namespace

std::vector<long> TermsPerSourceRow(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
  AxisWeight* x = BuildAxisWeights(sourceWidth, targetWidth, AxisMode::Shrink);
  AxisWeight* y = BuildAxisWeights(sourceHeight, targetHeight, AxisMode::Shrink);
  std::vector<long> terms;
  if (x && y) {
    const long perRow = 3L * (sourceWidth + Spills(x, sourceWidth));
    for (int row = 0; row < sourceHeight; ++row) terms.push_back(SpillsOver(y[row]) ? 2 * perRow : perRow);
  }
  std::free(x);
  std::free(y);
  return terms;
}

namespace {

// Values are taken in turn from the converted row, two per step, starting over at its end.
double TwoLaneFloor(const std::uint8_t* source, int width, int height, const std::vector<long>& rowTerms,
                    double* values, bool convert) {
  const int count = 3 * width;
  const int block = 2 * kSums;
  const __m128d weight = _mm_set1_pd(kWeight);
  __m128d sums[kSums];
  for (__m128d& sum : sums) sum = _mm_setzero_pd();
  for (int y = 0; y < height; ++y, source += PixelStride(width)) {
    if (convert) BytesToDoublesSse2(source, count, values);
    long steps = rowTerms[static_cast<std::size_t>(y)] / 2;
    for (int at = 0; steps >= kSums; steps -= kSums, at = at + 2 * block <= count ? at + block : 0) {
      for (int s = 0; s < kSums; ++s) {
        sums[s] = RoundToSingle(_mm_add_pd(sums[s], _mm_mul_pd(weight, _mm_loadu_pd(values + at + 2 * s))));
      }
    }
    for (int s = 0; s < steps; ++s) {
      sums[s] = RoundToSingle(_mm_add_pd(sums[s], _mm_mul_pd(weight, _mm_loadu_pd(values + 2 * s))));
    }
  }
  double total[2] = {};
  for (const __m128d& sum : sums) {
    double lanes[2];
    _mm_storeu_pd(lanes, sum);
    total[0] += lanes[0];
    total[1] += lanes[1];
  }
  return total[0] + total[1];
}

}  // namespace

double VectorFloor(const std::uint8_t* source, int width, int height, const std::vector<long>& rowTerms,
                   double* values) {
  return TwoLaneFloor(source, width, height, rowTerms, values, true);
}

double TermsFloor(const std::uint8_t* source, int width, int height, const std::vector<long>& rowTerms,
                  double* values) {
  return TwoLaneFloor(source, width, height, rowTerms, values, false);
}

// The plain path's figure is its scalar SSE2 form; the floor converts bytes by table, which costs
// it no arithmetic at all.
double ScalarFloor(const std::uint8_t* source, int width, int height, const std::vector<long>& rowTerms,
                   double* values) {
  static double byteValue[256];
  for (int b = 0; b < 256; ++b) byteValue[b] = b;
  const int count = 3 * width;
  float sums[kSums] = {};
  for (int y = 0; y < height; ++y, source += PixelStride(width)) {
    for (int i = 0; i < count; ++i) values[i] = byteValue[source[i]];
    long terms = rowTerms[static_cast<std::size_t>(y)];
    for (int at = 0; terms >= kSums; terms -= kSums, at = at + 2 * kSums <= count ? at + kSums : 0) {
      for (int s = 0; s < kSums; ++s) sums[s] = static_cast<float>(sums[s] + kWeight * values[at + s]);
    }
    for (int s = 0; s < terms; ++s) sums[s] = static_cast<float>(sums[s] + kWeight * values[s]);
  }
  double total = 0;
  for (float sum : sums) total += sum;
  return total;
}
