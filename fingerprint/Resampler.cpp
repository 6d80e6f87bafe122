// Area-averaging resampling: weight tables, the terms they give each target pixel, and the row
// folds that add those terms up in one fixed order, so that every build produces the same bytes.
#include "fingerprint/Resampler.h"

#include <cstdlib>
#include <cstring>
#include <memory>

// On x86-64 the rows are folded with AVX2 when the processor has it. The 32-bit build keeps to
// plain x87 code: the machines it serves may lack even SSE2.
#if defined(__x86_64__) && !defined(VODUVO_RESAMPLER_SCALAR)
#define VODUVO_RESAMPLER_AVX 1
#include <immintrin.h>
#endif

namespace {

// A weight counts when it is above this; smaller spills mean "no spill".
const float kWeightThreshold = 0.0001f;

// One weighted source pixel of one target pixel along an axis.
struct AxisTerm {
  int target;
  int source;
  float weight;
};

// Target columns with the same number of x terms (there are one or two such counts), so that a
// fold runs a fixed count of terms for a whole class, with no branch on the column.
struct ColumnClass {
  int begin, end;  // its columns, in the order the folds work them
  int termCount;
  int weightsAt;  // column begin + i has weights[weightsAt + i * termCount] on
};

// The x terms of a column are consecutive source pixels from its first one on. The folds work
// the columns class by class and keep the sums in that order; position leads from a target
// column to its place in it.
struct ColumnPlan {
  int classCount;
  ColumnClass* classes;
  int* first;  // first source pixel of each column, in working order
  int* position;  // working place of each target column
  double* weights;
  int weightCount;
};

// The two most recently used source rows as doubles.
struct RowValues {
  double* values[2];
  int row[2];
};

// The column weights times two row weights: the one most used so far (the common share of the
// inner rows) and the last other one.
struct RowWeights {
  double* weights[2];
  float rowWeight[2];  // 0 before first use
  int uses[2];
};

// The row work, in plain code or, where the processor has them, in vector instructions. The sums
// of a target row are three to a pixel, blue, green and red, with one spare double after the last
// so that a four-lane load of the last pixel stays inside the buffer.
struct RowKernels {
  void (*convertRow)(const std::uint8_t* row, int count, double* values);
  void (*weighRow)(const double* columnWeights, int count, double rowWeight, double* weights);
  void (*foldRow)(const ColumnPlan& plan, const double* weights, const double* values, bool fresh,
                  double* sums);
  void (*emitRow)(const double* sums, const int* position, int width, std::uint8_t* row);
};

struct Resampling {
  ColumnPlan columns;
  AxisTerm* rows;  // the terms of the y axis, target row after target row
  int rowCount;
  void* block;  // holds the row values, the weighed column weights and the sums
  RowValues cache;
  RowWeights weighed;
  double* sums;
  RowKernels kernels;
};

/* ---- Precision ---------------------------------------------------------------------------- */

// x87 registers keep 64 significant bits unless told otherwise; the products and sums must round
// to 53 bits as they do wherever doubles live in SSE2 registers, so the precision control is set
// to double for the work and restored afterwards.
#if defined(__i386__)
unsigned short EnterDoublePrecision() {
  unsigned short saved = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(saved) : : "memory");
  unsigned short control = static_cast<unsigned short>((saved & ~0x0300u) | 0x0200u);
  __asm__ __volatile__("fldcw %0" : : "m"(control) : "memory");
  return saved;
}

void LeaveDoublePrecision(unsigned short saved) {
  __asm__ __volatile__("fldcw %0" : : "m"(saved) : "memory");
}
#else
unsigned short EnterDoublePrecision() { return 0; }
void LeaveDoublePrecision(unsigned short) {}
#endif

// Every sum is held in single precision. On x87 a cast may leave the value in a wider register
// unrounded, so there it goes through memory.
inline double RoundToSingle(double sum) {
#if defined(__i386__) && !defined(__SSE2_MATH__)
  volatile float stored = static_cast<float>(sum);
  return stored;
#else
  return static_cast<float>(sum);
#endif
}

// One step of a sum: the weight product times the value in double, added in double, rounded to
// single precision.
inline double AddTerm(double sum, double weight, double value) {
  return RoundToSingle(sum + weight * value);
}

// The sum's integer part (truncated, not rounded); its low 8 bits are the byte.
inline std::uint8_t ToByte(double sum) {
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(sum) & 0xFF);
}

float Quotient(int numerator, int denominator) {
  return static_cast<float>(static_cast<double>(numerator) / denominator);
}

/* ---- Terms of an axis ---------------------------------------------------------------------- */

// Shrink table: one entry per source pixel, scattered into the current target pixel and, on a
// spill, the next one. Terms come out in target order, ascending source order within a target.
int ScatterTerms(const AxisWeight* table, int sourceCount, int targetCount, AxisTerm* terms) {
  int count = 0;
  int target = 0;
  for (int source = 0; source < sourceCount && target < targetCount; ++source) {
    const AxisWeight& entry = table[source];
    terms[count++] = {target, source, entry.share};
    if (entry.spill > kWeightThreshold && target + 1 < targetCount) {
      terms[count++] = {target + 1, source, entry.spill};
    }
    if (entry.spill > kWeightThreshold || -entry.spill > kWeightThreshold) ++target;
  }
  return count;
}

// Grow table: one entry per target pixel, gathering the current source pixel and, on a spill,
// the next one.
int GatherTerms(const AxisWeight* table, int targetCount, int sourceCount, AxisTerm* terms) {
  int count = 0;
  int source = 0;
  for (int target = 0; target < targetCount && source < sourceCount; ++target) {
    const AxisWeight& entry = table[target];
    terms[count++] = {target, source, entry.share};
    if (entry.spill > kWeightThreshold && source + 1 < sourceCount) {
      terms[count++] = {target, source + 1, entry.spill};
    }
    if (entry.spill > kWeightThreshold || -entry.spill > kWeightThreshold) ++source;
  }
  return count;
}

// Builds the axis's table and lists its terms; the table is released again.
AxisTerm* ListAxisTerms(AxisMode mode, int sourceCount, int targetCount, int* termCount) {
  const bool shrink = mode == AxisMode::Shrink;
  const int entries = shrink ? sourceCount : targetCount;
  AxisWeight* table = shrink ? BuildAxisWeights(sourceCount, targetCount, mode)
                             : BuildAxisWeights(targetCount, sourceCount, mode);
  AxisTerm* terms = nullptr;
  if (table) {
    terms = static_cast<AxisTerm*>(std::malloc(2 * static_cast<std::size_t>(entries) * sizeof(AxisTerm)));
  }
  if (terms) {
    *termCount = shrink ? ScatterTerms(table, sourceCount, targetCount, terms)
                        : GatherTerms(table, targetCount, sourceCount, terms);
  }
  std::free(table);
  return terms;
}

// Sorts the columns into classes by term count; counts[k] is column k's.
bool ClassifyColumns(const int* counts, int targetWidth, int longest, ColumnPlan* plan) {
  int* placed = static_cast<int*>(std::calloc(static_cast<std::size_t>(longest) + 1, sizeof(int)));
  plan->classes = static_cast<ColumnClass*>(std::calloc(static_cast<std::size_t>(longest) + 1, sizeof(ColumnClass)));
  if (!placed || !plan->classes) {
    std::free(placed);
    return false;
  }
  for (int k = 0; k < targetWidth; ++k) ++placed[counts[k]];
  for (int c = 0, begin = 0; c <= longest; ++c) {
    if (placed[c] == 0) continue;
    plan->classes[plan->classCount++] = {begin, begin + placed[c], c, plan->weightCount};
    plan->weightCount += placed[c] * c;
    begin += placed[c];
    placed[c] = plan->classes[plan->classCount - 1].begin;
  }
  for (int k = 0; k < targetWidth; ++k) plan->position[k] = placed[counts[k]]++;
  std::free(placed);
  return true;
}

// Where the weights of the column at working place i start.
int ColumnWeightsAt(const ColumnPlan& plan, int i) {
  const ColumnClass* c = plan.classes;
  while (i >= c->end) ++c;
  return c->weightsAt + (i - c->begin) * c->termCount;
}

// Lays out the x terms, which come in target order, column by column in working order.
bool PlanColumns(const AxisTerm* terms, int termCount, int targetWidth, ColumnPlan* plan) {
  int* counts = static_cast<int*>(std::calloc(static_cast<std::size_t>(targetWidth), sizeof(int)));
  plan->first = static_cast<int*>(std::calloc(static_cast<std::size_t>(targetWidth), sizeof(int)));
  plan->position = static_cast<int*>(std::calloc(static_cast<std::size_t>(targetWidth), sizeof(int)));
  int longest = 0;
  for (int i = 0; counts && i < termCount; ++i) {
    const int count = ++counts[terms[i].target];
    if (count > longest) longest = count;
  }
  const bool classified = counts && plan->first && plan->position &&
                          ClassifyColumns(counts, targetWidth, longest, plan);
  std::free(counts);
  if (!classified) return false;
  plan->weights = static_cast<double*>(std::malloc(static_cast<std::size_t>(plan->weightCount) * sizeof(double)));
  if (!plan->weights) return false;
  for (int i = 0, slot = 0, at = 0; i < termCount; ++i) {
    slot = (i > 0 && terms[i].target == terms[i - 1].target) ? slot + 1 : 0;
    const int place = plan->position[terms[i].target];
    if (slot == 0) {
      at = ColumnWeightsAt(*plan, place);
      plan->first[place] = terms[i].source;
    }
    plan->weights[at + slot] = terms[i].weight;
  }
  return true;
}

/* ---- Row kernels --------------------------------------------------------------------------- */

void ConvertRowScalar(const std::uint8_t* row, int count, double* values) {
  for (int i = 0; i < count; ++i) values[i] = row[i];
}

// The products of the column weights with a row weight: exact in double, as each is of two
// single-precision factors.
void WeighRowScalar(const double* columnWeights, int count, double rowWeight, double* weights) {
  for (int i = 0; i < count; ++i) weights[i] = columnWeights[i] * rowWeight;
}

void EmitRowScalar(const double* sums, const int* position, int width, std::uint8_t* row) {
  for (int k = 0; k < width; ++k, row += 3) {
    const double* sum = sums + 3 * position[k];
    row[0] = ToByte(sum[0]);
    row[1] = ToByte(sum[1]);
    row[2] = ToByte(sum[2]);
  }
}

// Adds one source row into the sums of a target row, which start from zero when fresh; weights
// already hold the products of the column weights with the row's weight.
void FoldRowScalar(const ColumnPlan& plan, const double* weights, const double* values, bool fresh,
                   double* sums) {
  for (const ColumnClass* c = plan.classes; c < plan.classes + plan.classCount; ++c) {
    const double* columnWeights = weights + c->weightsAt;
    for (int i = c->begin; i < c->end; ++i, columnWeights += c->termCount) {
      const double* pixel = values + 3 * plan.first[i];
      for (int channel = 0; channel < 3; ++channel) {
        double sum = fresh ? 0.0 : sums[3 * i + channel];
        for (int n = 0; n < c->termCount; ++n) {
          sum = AddTerm(sum, columnWeights[n], pixel[3 * n + channel]);
        }
        sums[3 * i + channel] = sum;
      }
    }
  }
}

#if defined(VODUVO_RESAMPLER_AVX)
__attribute__((target("avx2"))) void ConvertRowAvx(const std::uint8_t* row, int count,
                                                   double* values) {
  int i = 0;
  // Sixteen bytes a step keep the loads few and the conversions independent.
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    _mm256_store_pd(values + i, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(bytes)));
    _mm256_store_pd(values + i + 4, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(bytes, 4))));
    _mm256_store_pd(values + i + 8, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(bytes, 8))));
    _mm256_store_pd(values + i + 12, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(bytes, 12))));
  }
  for (; i + 4 <= count; i += 4) {
    std::int32_t four = 0;
    std::memcpy(&four, row + i, sizeof four);
    _mm256_store_pd(values + i, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(four))));
  }
  ConvertRowScalar(row + i, count - i, values + i);
}

__attribute__((target("avx2"))) void WeighRowAvx(const double* columnWeights, int count,
                                                 double rowWeight, double* weights) {
  const __m256d factor = _mm256_set1_pd(rowWeight);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    _mm256_store_pd(weights + i, _mm256_mul_pd(_mm256_loadu_pd(columnWeights + i), factor));
  }
  WeighRowScalar(columnWeights + i, count - i, rowWeight, weights + i);
}

// The steps of FoldRowScalar for one column, its blue, green and red in three lanes of one
// vector; the spare lane is not stored, as it would land on the next column's blue.
__attribute__((target("avx2"))) inline void FoldColumnAvx(const ColumnPlan& plan,
                                                          const ColumnClass& c, int i,
                                                          const double* weights,
                                                          const double* values, bool fresh,
                                                          double* sums) {
  const int terms = c.termCount;
  weights += c.weightsAt + (i - c.begin) * terms;
  const __m256i three = _mm256_setr_epi64x(-1, -1, -1, 0);
  __m256d sum = fresh ? _mm256_setzero_pd() : _mm256_maskload_pd(sums + 3 * i, three);
  const double* pixel = values + 3 * plan.first[i];
  for (int n = 0; n < terms; ++n) {
    const __m256d product =
        _mm256_mul_pd(_mm256_broadcast_sd(weights + n), _mm256_loadu_pd(pixel + 3 * n));
    sum = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(sum, product)));
  }
  _mm256_maskstore_pd(sums + 3 * i, three, sum);
}

// The steps of FoldRowScalar for four columns at once, their twelve channels packed into three
// vectors with no spare lane: (B0 G0 R0 B1) (G1 R1 B2 G2) (R2 B3 G3 R3). The packing is done with
// blends of loads, which keep the shuffle unit free for the roundings. Every lane multiplies,
// adds and rounds exactly as the scalar code does, and no lane sees another. Group such quads
// side by side keep the rounding of one from stalling the next.
template <int Group>
__attribute__((target("avx2"))) inline void FoldQuadsAvx(const ColumnPlan& plan,
                                                         const ColumnClass& c, int i,
                                                         const double* weights,
                                                         const double* values, bool fresh,
                                                         double* sums) {
  const int terms = c.termCount;
  weights += c.weightsAt + (i - c.begin) * terms;
  __m256d sum[static_cast<std::size_t>(3 * Group)];
  const double* pixel[static_cast<std::size_t>(4 * Group)];
  for (int v = 0; v < 3 * Group; ++v) {
    sum[v] = fresh ? _mm256_setzero_pd() : _mm256_loadu_pd(sums + 3 * i + 4 * v);
  }
  for (int p = 0; p < 4 * Group; ++p) pixel[p] = values + 3 * plan.first[i + p];
  for (int n = 0; n < terms; ++n) {
    for (int g = 0; g < Group; ++g) {
      const double* const* px = pixel + 4 * g;
      const double* w = weights + 4 * g * terms + n;
      const __m256d w0 = _mm256_broadcast_sd(w);
      const __m256d w1 = _mm256_broadcast_sd(w + terms);
      const __m256d w2 = _mm256_broadcast_sd(w + 2 * terms);
      const __m256d w3 = _mm256_broadcast_sd(w + 3 * terms);
      const int at = 3 * n;
      // The loads reach up to two doubles either side of a pixel, into the row's spare zeros.
      const __m256d v0 = _mm256_blend_pd(_mm256_loadu_pd(px[0] + at),
                                         _mm256_broadcast_sd(px[1] + at), 0x8);
      const __m256d v1 = _mm256_blend_pd(_mm256_loadu_pd(px[1] + at + 1),
                                         _mm256_loadu_pd(px[2] + at - 2), 0xC);
      const __m256d v2 = _mm256_blend_pd(_mm256_broadcast_sd(px[2] + at + 2),
                                         _mm256_loadu_pd(px[3] + at - 1), 0xE);
      const __m256d p0 = _mm256_mul_pd(_mm256_blend_pd(w0, w1, 0x8), v0);
      const __m256d p1 = _mm256_mul_pd(_mm256_blend_pd(w1, w2, 0xC), v1);
      const __m256d p2 = _mm256_mul_pd(_mm256_blend_pd(w2, w3, 0xE), v2);
      __m256d* s = sum + 3 * g;
      s[0] = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(s[0], p0)));
      s[1] = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(s[1], p1)));
      s[2] = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(s[2], p2)));
    }
  }
  for (int v = 0; v < 3 * Group; ++v) _mm256_storeu_pd(sums + 3 * i + 4 * v, sum[v]);
}

__attribute__((target("avx2"))) void FoldRowAvx(const ColumnPlan& plan, const double* weights,
                                                const double* values, bool fresh, double* sums) {
  for (const ColumnClass* c = plan.classes; c < plan.classes + plan.classCount; ++c) {
    int i = c->begin;
    for (; i + 16 <= c->end; i += 16) FoldQuadsAvx<4>(plan, *c, i, weights, values, fresh, sums);
    for (; i + 8 <= c->end; i += 8) FoldQuadsAvx<2>(plan, *c, i, weights, values, fresh, sums);
    for (; i + 4 <= c->end; i += 4) FoldQuadsAvx<1>(plan, *c, i, weights, values, fresh, sums);
    for (; i < c->end; ++i) FoldColumnAvx(plan, *c, i, weights, values, fresh, sums);
  }
}

// Truncates four sums at once; all but the last pixel store four bytes, the fourth of which the
// next pixel overwrites, so the fill bytes after the row stay untouched.
__attribute__((target("avx2"))) void EmitRowAvx(const double* sums, const int* position, int width,
                                                std::uint8_t* row) {
  const __m128i lowBytes = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  for (int k = 0; k + 1 < width; ++k, row += 3) {
    const __m128i integers = _mm256_cvttpd_epi32(_mm256_loadu_pd(sums + 3 * position[k]));
    const std::int32_t four = _mm_cvtsi128_si32(_mm_shuffle_epi8(integers, lowBytes));
    std::memcpy(row, &four, sizeof four);
  }
  EmitRowScalar(sums, position + width - 1, 1, row);
}
#endif

RowKernels ChooseRowKernels() {
#if defined(VODUVO_RESAMPLER_AVX)
  if (__builtin_cpu_supports("avx2")) return {ConvertRowAvx, WeighRowAvx, FoldRowAvx, EmitRowAvx};
#endif
  return {ConvertRowScalar, WeighRowScalar, FoldRowScalar, EmitRowScalar};
}

/* ---- Rows ---------------------------------------------------------------------------------- */

// Asks the cache for the bytes of a row while the folds keep the processor busy, since the
// picture is larger than the caches close to it.
void PrefetchRow(const std::uint8_t* row, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; i += 64) __builtin_prefetch(row + i);
}

// The values of source row y, converted once however many target rows use it. Rows are asked
// for in ascending order, so the older of the two is the one to replace, and the next row is
// the one to fetch ahead.
const double* SourceRowValues(Resampling& work, const std::uint8_t* source, int sourceWidth,
                              int sourceHeight, int y) {
  RowValues& cache = work.cache;
  if (cache.row[0] == y) return cache.values[0];
  if (cache.row[1] == y) return cache.values[1];
  const int slot = cache.row[0] < cache.row[1] ? 0 : 1;
  const std::size_t stride = PixelStride(sourceWidth);
  const std::uint8_t* row = source + static_cast<std::size_t>(y) * stride;
  if (y + 1 < sourceHeight) PrefetchRow(row + stride, 3 * static_cast<std::size_t>(sourceWidth));
  work.kernels.convertRow(row, 3 * sourceWidth, cache.values[slot]);
  cache.row[slot] = y;
  return cache.values[slot];
}

// The column weights times a row weight, worked out again only when neither slot holds it; the
// slot used less gives way.
const double* WeighRow(Resampling& work, float rowWeight) {
  RowWeights& w = work.weighed;
  for (int slot = 0; slot < 2; ++slot) {
    if (w.rowWeight[slot] == rowWeight) {
      ++w.uses[slot];
      return w.weights[slot];
    }
  }
  const int slot = w.uses[0] <= w.uses[1] ? 0 : 1;
  work.kernels.weighRow(work.columns.weights, work.columns.weightCount, rowWeight, w.weights[slot]);
  w.rowWeight[slot] = rowWeight;
  w.uses[slot] = 1;
  return w.weights[slot];
}

/* ---- Resampling ---------------------------------------------------------------------------- */

// A count of doubles raised to whole 64-byte cache lines.
std::size_t WholeLines(std::size_t doubles) { return (doubles + 7) & ~static_cast<std::size_t>(7); }

// One block, each buffer on cache lines of its own so that vector loads and stores do not
// straddle them. The rows of values have four spare zeros before the first pixel and two after
// the last, as the packed folds load from up to two doubles before a pixel to four after its start.
bool AllocateRows(Resampling& work, int sourceWidth, int targetWidth) {
  const std::size_t valueCount = WholeLines(4 + 3 * static_cast<std::size_t>(sourceWidth) + 2);
  const std::size_t weightCount = WholeLines(static_cast<std::size_t>(work.columns.weightCount));
  const std::size_t sumCount = WholeLines(4 * static_cast<std::size_t>(targetWidth));
  const std::size_t bytes = (2 * valueCount + 2 * weightCount + sumCount) * sizeof(double);
  std::size_t space = bytes + 64;
  work.block = std::malloc(space);
  void* start = work.block;
  if (!start || !std::align(64, bytes, start, space)) return false;
  double* doubles = static_cast<double*>(start);
  std::memset(doubles, 0, 2 * valueCount * sizeof(double));
  work.cache.values[0] = doubles + 4;
  work.cache.values[1] = doubles + valueCount + 4;
  work.cache.row[0] = work.cache.row[1] = -1;
  work.weighed.weights[0] = doubles + 2 * valueCount;
  work.weighed.weights[1] = work.weighed.weights[0] + weightCount;
  work.sums = work.weighed.weights[1] + weightCount;
  return true;
}

bool PrepareResampling(AxisMode mode, int sourceWidth, int sourceHeight, int targetWidth,
                       int targetHeight, Resampling& work) {
  int columnTermCount = 0;
  AxisTerm* columnTerms = ListAxisTerms(mode, sourceWidth, targetWidth, &columnTermCount);
  const bool planned =
      columnTerms && PlanColumns(columnTerms, columnTermCount, targetWidth, &work.columns);
  std::free(columnTerms);
  if (!planned) return false;
  work.rows = ListAxisTerms(mode, sourceHeight, targetHeight, &work.rowCount);
  work.kernels = ChooseRowKernels();
  return work.rows && AllocateRows(work, sourceWidth, targetWidth);
}

void ReleaseResampling(Resampling& work) {
  std::free(work.columns.classes);
  std::free(work.columns.first);
  std::free(work.columns.position);
  std::free(work.columns.weights);
  std::free(work.rows);
  std::free(work.block);
}

// Whether two target rows take the same source rows with the same weights: then they are the
// same bytes.
bool SameTerms(const AxisTerm* a, const AxisTerm* aEnd, const AxisTerm* b, const AxisTerm* bEnd) {
  if (aEnd - a != bEnd - b) return false;
  for (; a < aEnd; ++a, ++b) {
    if (a->source != b->source || a->weight != b->weight) return false;
  }
  return true;
}

// Each target row's sums start at zero and take its source rows' terms in ascending order, and
// within a row each column's terms in ascending order: the order both resamplers define. A row
// whose terms repeat the previous row's is a copy of it.
void ResampleRows(Resampling& work, const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::uint8_t* target, int targetWidth, int targetHeight) {
  const std::size_t targetStride = PixelStride(targetWidth);
  const AxisTerm* term = work.rows;
  const AxisTerm* end = work.rows + work.rowCount;
  const AxisTerm* previous = nullptr;
  for (int y = 0; y < targetHeight; ++y, target += targetStride) {
    const AxisTerm* row = term;
    while (term < end && term->target == y) ++term;
    if (previous && SameTerms(previous, row, row, term)) {
      std::memcpy(target, target - targetStride, 3 * static_cast<std::size_t>(targetWidth));
    } else {
      for (const AxisTerm* t = row; t < term; ++t) {
        const double* values = SourceRowValues(work, source, sourceWidth, sourceHeight, t->source);
        const double* weights = WeighRow(work, t->weight);
        work.kernels.foldRow(work.columns, weights, values, t == row, work.sums);
      }
      work.kernels.emitRow(work.sums, work.columns.position, targetWidth, target);
    }
    previous = row;
  }
}

bool Resample(AxisMode mode, const std::uint8_t* source, int sourceWidth, int sourceHeight,
              std::uint8_t* target, int targetWidth, int targetHeight) {
  Resampling work = {};
  const unsigned short precision = EnterDoublePrecision();
  const bool ready =
      PrepareResampling(mode, sourceWidth, sourceHeight, targetWidth, targetHeight, work);
  if (ready) ResampleRows(work, source, sourceWidth, sourceHeight, target, targetWidth, targetHeight);
  LeaveDoublePrecision(precision);
  ReleaseResampling(work);
  return ready;
}

bool WithinLimits(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
  return sourceWidth >= 1 && sourceWidth < kSourceSideLimit && sourceHeight >= 1 &&
         sourceHeight < kSourceSideLimit && targetWidth >= 1 && targetWidth <= kTargetSideLimit &&
         targetHeight >= 1 && targetHeight <= kTargetSideLimit;
}

}  // namespace

std::size_t PixelStride(int width) {
  return (3 * static_cast<std::size_t>(width) + 3) & ~static_cast<std::size_t>(3);
}

ScaleRoute ChooseScaleRoute(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
  if (!WithinLimits(sourceWidth, sourceHeight, targetWidth, targetHeight)) return ScaleRoute::Refused;
  if ((sourceWidth > targetWidth && sourceHeight < targetHeight) ||
      (sourceWidth < targetWidth && sourceHeight > targetHeight)) {
    return ScaleRoute::Refused;
  }
  if (sourceWidth < targetWidth || sourceHeight < targetHeight) return ScaleRoute::Grow;
  return ScaleRoute::Shrink;
}

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

bool ShrinkPixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                  std::uint8_t* target, int targetWidth, int targetHeight) {
  if (!source || !target || !WithinLimits(sourceWidth, sourceHeight, targetWidth, targetHeight) ||
      targetWidth > sourceWidth || targetHeight > sourceHeight) {
    return false;
  }
  return Resample(AxisMode::Shrink, source, sourceWidth, sourceHeight, target, targetWidth,
                  targetHeight);
}

bool GrowPixels(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                std::uint8_t* target, int targetWidth, int targetHeight) {
  if (!source || !target || !WithinLimits(sourceWidth, sourceHeight, targetWidth, targetHeight) ||
      targetWidth < sourceWidth || targetHeight < sourceHeight) {
    return false;
  }
  return Resample(AxisMode::Grow, source, sourceWidth, sourceHeight, target, targetWidth,
                  targetHeight);
}

void PaintBlackFrame(std::uint8_t* pixels, int width, int height) {
  if (!pixels || width < 1 || height < 1) return;
  const std::size_t stride = PixelStride(width);
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
  std::memset(pixels, 0, rowBytes);
  std::memset(pixels + static_cast<std::size_t>(height - 1) * stride, 0, rowBytes);
  for (int y = 1; y < height - 1; ++y) {
    std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
    std::memset(row, 0, 3);
    std::memset(row + rowBytes - 3, 0, 3);
  }
}
