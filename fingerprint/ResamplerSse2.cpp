// SSE2 kernels of the resampler. Two neighbouring target columns share a register, one to each
// double lane: each lane multiplies, adds and rounds to single precision exactly as the plain
// path does for its column, so the bytes are the same. The terms are taken rank by rank (the
// first term of every column, then the second, ...), so that consecutive steps work different
// sums and need not wait for each other.
//
// Compiled with SSE2 even in the 32-bit build. Nothing here may be an inline function or template
// shared with other files: the linker could keep this file's copy for the plain path.
#if defined(__i386__) || defined(__x86_64__)

#include "fingerprint/ResamplerSse2.h"

#include <emmintrin.h>

#include <cstdlib>
#include <cstring>

// The 32-bit callers (Winlogon's thread, the fingerprint library's threads) keep the stack
// aligned to 4 bytes only, and the compiler spills SSE2 registers to 16-byte stack slots: every
// entry point realigns the stack.
#if defined(__i386__)
#define SSE2_ENTRY __attribute__((force_align_arg_pointer))
#else
#define SSE2_ENTRY
#endif

namespace {

// One weighted source pixel of one target column along x.
struct XTerm {
  int column;
  int source;
  float weight;
};

// One step of a pair of columns: the weight of each lane's source pixel and where that pixel's
// three values start in the converted row. A lane whose column has no term at this rank has
// weight 0, which leaves its sum as it was, and reads the other lane's pixel.
struct PairStep {
  double weight[2];
  int value[2];
  int column;  // the pair's first column
};

}  // namespace

struct RowPlanSse2 {
  PairStep* steps;
  int stepCount;
  double* values;  // the loaded row, one double per byte
  int valueCount;
};

namespace {

// The terms in the order the plain path adds them: a shrink table has one entry per source
// pixel, which goes into its column and, on a spill, the next one; a grow table one per target
// column, which takes its source pixel and, on a spill, the next one.
int ListTerms(const AxisWeight* x, AxisMode mode, int sourceWidth, int targetWidth, XTerm* terms) {
  int count = 0;
  if (mode == AxisMode::Shrink) {
    for (int source = 0, column = 0; source < sourceWidth && column < targetWidth; ++source) {
      terms[count++] = {column, source, x[source].share};
      if (SpillsOver(x[source]) && column + 1 < targetWidth) terms[count++] = {column + 1, source, x[source].spill};
      if (EndsOtherPixel(x[source])) ++column;
    }
  } else {
    for (int column = 0, source = 0; column < targetWidth && source < sourceWidth; ++column) {
      terms[count++] = {column, source, x[column].share};
      if (SpillsOver(x[column]) && source + 1 < sourceWidth) terms[count++] = {column, source + 1, x[column].spill};
      if (EndsOtherPixel(x[column])) ++source;
    }
  }
  return count;
}

// Groups the terms by column, keeping their order within a column; first[k] is where column k's
// terms start and first[k + 1] where they end.
void GroupByColumn(const XTerm* terms, int count, int targetWidth, int* first, XTerm* grouped) {
  std::memset(first, 0, (static_cast<std::size_t>(targetWidth) + 1) * sizeof(int));
  for (int i = 0; i < count; ++i) ++first[terms[i].column + 1];
  for (int k = 0; k < targetWidth; ++k) first[k + 1] += first[k];
  // Filling moves each column's start to its end, which is the next column's start.
  for (int i = 0; i < count; ++i) grouped[first[terms[i].column]++] = terms[i];
  for (int k = targetWidth; k > 0; --k) first[k] = first[k - 1];
  first[0] = 0;
}

// The steps, rank by rank; a pair's step appears while either of its columns has a term left.
int PairSteps(const XTerm* grouped, const int* first, int targetWidth, PairStep* steps) {
  int longest = 0;
  for (int k = 0; k < targetWidth; ++k) {
    if (first[k + 1] - first[k] > longest) longest = first[k + 1] - first[k];
  }
  int count = 0;
  for (int rank = 0; rank < longest; ++rank) {
    for (int k = 0; k < targetWidth; k += 2) {
      const bool left = first[k] + rank < first[k + 1];
      const bool right = k + 1 < targetWidth && first[k + 1] + rank < first[k + 2];
      if (!left && !right) continue;
      const XTerm& a = grouped[(left ? first[k] : first[k + 1]) + rank];
      const XTerm& b = right ? grouped[first[k + 1] + rank] : a;
      steps[count++] = {{left ? a.weight : 0.0, right ? b.weight : 0.0}, {3 * a.source, 3 * b.source}, k};
    }
  }
  return count;
}

bool LayOutSteps(const AxisWeight* x, AxisMode mode, int sourceWidth, int targetWidth, RowPlanSse2* plan) {
  const int entries = mode == AxisMode::Shrink ? sourceWidth : targetWidth;
  const std::size_t termRoom = 2 * static_cast<std::size_t>(entries);
  XTerm* terms = static_cast<XTerm*>(std::malloc(2 * termRoom * sizeof(XTerm)));
  int* first = static_cast<int*>(std::malloc((static_cast<std::size_t>(targetWidth) + 1) * sizeof(int)));
  // A pair has as many steps as its longer column has terms: no more than the terms there are.
  plan->steps = static_cast<PairStep*>(std::malloc(termRoom * sizeof(PairStep)));
  const bool ready = terms && first && plan->steps;
  if (ready) {
    const int count = ListTerms(x, mode, sourceWidth, targetWidth, terms);
    GroupByColumn(terms, count, targetWidth, first, terms + termRoom);
    plan->stepCount = PairSteps(terms + termRoom, first, targetWidth, plan->steps);
  }
  std::free(terms);
  std::free(first);
  return ready;
}

// Two single-precision sums, widened to double lanes.
inline __m128d LoadSums(const float* pair) {
  return _mm_cvtps_pd(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(pair)));
}

// Rounds both lanes to single precision as they are stored.
inline void StoreSums(float* pair, __m128d sums) {
  _mm_storel_pi(reinterpret_cast<__m64*>(pair), _mm_cvtpd_ps(sums));
}

// Each step: the two weights times the row weight (exact in double, as all three are singles),
// then for each channel the two values, the products, the sums and their rounding; the same
// values go into the next row of sums too when there is one.
template <bool kNextRow>
void AddSteps(const RowPlanSse2* plan, __m128d rowWeight, float* sums, __m128d nextWeight, float* next,
              int plane) {
  const double* values = plan->values;
  for (const PairStep* step = plan->steps; step < plan->steps + plan->stepCount; ++step) {
    const __m128d weights = _mm_loadu_pd(step->weight);
    const __m128d weight = _mm_mul_pd(weights, rowWeight);
    const __m128d weightNext = _mm_mul_pd(weights, nextWeight);
    const double* left = values + step->value[0];
    const double* right = values + step->value[1];
    for (int channel = 0; channel < 3; ++channel) {
      const __m128d value = _mm_loadh_pd(_mm_load_sd(left + channel), right + channel);
      float* pair = sums + channel * plane + step->column;
      StoreSums(pair, _mm_add_pd(LoadSums(pair), _mm_mul_pd(weight, value)));
      if (kNextRow) {
        float* nextPair = next + channel * plane + step->column;
        StoreSums(nextPair, _mm_add_pd(LoadSums(nextPair), _mm_mul_pd(weightNext, value)));
      }
    }
  }
}

}  // namespace

SSE2_ENTRY RowPlanSse2* PlanRowsSse2(const AxisWeight* xWeights, AxisMode mode, int sourceWidth,
                                     int targetWidth) {
  RowPlanSse2* plan = static_cast<RowPlanSse2*>(std::calloc(1, sizeof(RowPlanSse2)));
  if (!plan) return nullptr;
  plan->valueCount = 3 * sourceWidth;
  plan->values = static_cast<double*>(std::malloc(static_cast<std::size_t>(plan->valueCount) * sizeof(double)));
  if (!plan->values || !LayOutSteps(xWeights, mode, sourceWidth, targetWidth, plan)) {
    ReleaseRowPlanSse2(plan);
    return nullptr;
  }
  return plan;
}

SSE2_ENTRY void ReleaseRowPlanSse2(RowPlanSse2* plan) {
  if (!plan) return;
  std::free(plan->steps);
  std::free(plan->values);
  std::free(plan);
}

// Sixteen bytes at a time: widened to 32-bit integers, then two at a time to doubles.
SSE2_ENTRY void BytesToDoublesSse2(const std::uint8_t* row, int count, double* values) {
  const __m128i zero = _mm_setzero_si128();
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i low = _mm_unpacklo_epi8(bytes, zero);
    const __m128i high = _mm_unpackhi_epi8(bytes, zero);
    const __m128i quads[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                              _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
    for (int q = 0; q < 4; ++q) {
      _mm_storeu_pd(values + i + 4 * q, _mm_cvtepi32_pd(quads[q]));
      _mm_storeu_pd(values + i + 4 * q + 2, _mm_cvtepi32_pd(_mm_shuffle_epi32(quads[q], 0x0E)));
    }
  }
  for (; i < count; ++i) values[i] = row[i];
}

SSE2_ENTRY void LoadRowSse2(RowPlanSse2* plan, const std::uint8_t* row) {
  BytesToDoublesSse2(row, plan->valueCount, plan->values);
}

SSE2_ENTRY void AddRowSse2(const RowPlanSse2* plan, float rowWeight, float* sums, float nextWeight,
                           float* next, int plane) {
  const __m128d row = _mm_set1_pd(rowWeight);
  const __m128d nextRow = _mm_set1_pd(nextWeight);
  if (next) {
    AddSteps<true>(plan, row, sums, nextRow, next, plane);
  } else {
    AddSteps<false>(plan, row, sums, nextRow, next, plane);
  }
}

#endif
