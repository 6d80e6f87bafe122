// Written from the rules alone, in their own order: scatter for shrinking, gather for growing.
#include "tests/native/resampler_reference.h"

#include <cmath>
#include <cstddef>

namespace {

const float kThreshold = 0.0001f;

std::size_t Stride(int width) { return static_cast<std::size_t>((3 * width + 3) & ~3); }

float Ratio(int numerator, int denominator) {
  return static_cast<float>(static_cast<double>(numerator) / static_cast<double>(denominator));
}

// Adds weightA x weightB x value to a single-precision sum: products and sum in double.
void Accumulate(float& sum, float weightA, float weightB, std::uint8_t value) {
  sum = static_cast<float>(sum + static_cast<double>(weightA) * static_cast<double>(weightB) * value);
}

std::uint8_t Truncate(float sum) { return static_cast<std::uint8_t>(static_cast<int>(sum)); }

// Channel c of pixel k in a row of sums.
std::size_t Cell(int k, int c) { return static_cast<std::size_t>(3 * k + c); }

}  // namespace

std::vector<AxisWeight> ReferenceWeights(int count, int step, bool shrink) {
  std::vector<AxisWeight> table(static_cast<std::size_t>(count), AxisWeight{0.0f, 0.0f});
  const int divisor = shrink ? count : step;
  const float full = shrink ? Ratio(step, count) : 1.0f;
  int r = 0;
  for (AxisWeight& entry : table) {
    const int s = r + step;
    if (s > count) {
      entry = {Ratio(count - r, divisor), Ratio(s - count, divisor)};
      r = s - count;
    } else if (s == count) {
      entry = {full, -1.0f};
      r = 0;
    } else {
      entry.share = full;
      r = s;
    }
  }
  return table;
}

void ReferenceShrink(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                     std::uint8_t* target, int targetWidth, int targetHeight) {
  const std::vector<AxisWeight> xs = ReferenceWeights(sourceWidth, targetWidth, true);
  const std::vector<AxisWeight> ys = ReferenceWeights(sourceHeight, targetHeight, true);
  const std::size_t rowFloats = 3 * static_cast<std::size_t>(targetWidth);
  std::vector<float> current(rowFloats, 0.0f);
  std::vector<float> next(rowFloats, 0.0f);
  int rowsWritten = 0;
  for (int y = 0; y < sourceHeight && rowsWritten < targetHeight; ++y) {
    const AxisWeight& Y = ys[static_cast<std::size_t>(y)];
    const std::uint8_t* row = source + static_cast<std::size_t>(y) * Stride(sourceWidth);
    int k = 0;
    for (int x = 0; x < sourceWidth && k < targetWidth; ++x) {
      const AxisWeight& X = xs[static_cast<std::size_t>(x)];
      for (int c = 0; c < 3; ++c) {
        const std::uint8_t v = row[3 * x + c];
        Accumulate(current[Cell(k, c)], X.share, Y.share, v);
        if (X.spill > kThreshold) Accumulate(current[Cell(k + 1, c)], X.spill, Y.share, v);
        if (Y.spill > kThreshold) {
          Accumulate(next[Cell(k, c)], Y.spill, X.share, v);
          if (X.spill > kThreshold) Accumulate(next[Cell(k + 1, c)], X.spill, Y.spill, v);
        }
      }
      if (std::fabs(X.spill) > kThreshold) ++k;
    }
    if (std::fabs(Y.spill) > kThreshold) {
      std::uint8_t* out = target + static_cast<std::size_t>(rowsWritten++) * Stride(targetWidth);
      for (std::size_t i = 0; i < rowFloats; ++i) out[i] = Truncate(current[i]);
      current.swap(next);
      next.assign(rowFloats, 0.0f);
    }
  }
}

void ReferenceGrow(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                   std::uint8_t* target, int targetWidth, int targetHeight) {
  const std::vector<AxisWeight> xs = ReferenceWeights(targetWidth, sourceWidth, false);
  const std::vector<AxisWeight> ys = ReferenceWeights(targetHeight, sourceHeight, false);
  const std::uint8_t* A = source;
  for (int j = 0; j < targetHeight; ++j) {
    const AxisWeight& Y = ys[static_cast<std::size_t>(j)];
    const std::uint8_t* B = A + Stride(sourceWidth);
    std::uint8_t* out = target + static_cast<std::size_t>(j) * Stride(targetWidth);
    int i = 0;
    for (int t = 0; t < targetWidth; ++t) {
      const AxisWeight& X = xs[static_cast<std::size_t>(t)];
      for (int c = 0; c < 3; ++c) {
        float sum = static_cast<float>(static_cast<double>(Y.share) * X.share * A[3 * i + c]);
        if (X.spill > kThreshold) Accumulate(sum, Y.share, X.spill, A[3 * (i + 1) + c]);
        if (Y.spill > kThreshold) {
          Accumulate(sum, Y.spill, X.share, B[3 * i + c]);
          if (X.spill > kThreshold) Accumulate(sum, Y.spill, X.spill, B[3 * (i + 1) + c]);
        }
        out[3 * t + c] = Truncate(sum);
      }
      if (std::fabs(X.spill) > kThreshold) ++i;
    }
    if (std::fabs(Y.spill) > kThreshold) A = B;
  }
}
