// The weight table of one axis: a running offset walks the side with more pixels in steps of the
// other side's length, and each entry records how its pixel splits across the other side.
#include "fingerprint/AxisWeights.h"

#include <cstdlib>

namespace {

// Single precision, from the exact quotient of two integers.
float Quotient(int numerator, int denominator) {
  return static_cast<float>(static_cast<double>(numerator) / denominator);
}

}  // namespace

AxisWeight* BuildAxisWeights(int count, int step, AxisMode mode) {
  if (count < 1 || step < 1 || step > count) return nullptr;
  auto* table = static_cast<AxisWeight*>(std::calloc(static_cast<std::size_t>(count), sizeof(AxisWeight)));
  if (!table) return nullptr;
  const bool shrink = mode == AxisMode::Shrink;
  const int divisor = shrink ? count : step;
  const float full = shrink ? Quotient(step, count) : 1.0f;
  int offset = 0;
  for (int i = 0; i < count; ++i) {
    const int end = offset + step;
    if (end > count) {
      table[i] = {Quotient(count - offset, divisor), Quotient(end - count, divisor)};
      offset = end - count;
    } else if (end == count) {
      table[i] = {full, -1.0f};
      offset = 0;
    } else {
      table[i].share = full;
      offset = end;
    }
  }
  return table;
}
