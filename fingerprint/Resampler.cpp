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

// Source rows that one fold takes at once, with the sums held in registers throughout; a target
// row made of more source rows than this (a picture shrunk more than eightfold) takes several.
const int kRowsPerFold = 8;
// Converted rows kept: one fold's rows and the last row of the fold before, which the next
// target row often starts with.
const int kRowSlots = kRowsPerFold + 1;

// Target columns with the same number of x terms (there are one or two such counts), so that a
// fold runs a fixed count of terms for a whole class, with no branch on the column.
struct ColumnClass {
  int begin, end;  // its columns, in the order the folds work them
  int termCount;
  int weightsAt;  // column begin + i has weights[weightsAt + i * termCount] on
  int packedAt;  // where its packed weights start, when the folds take the columns in fours
};

// The x terms of a column are consecutive source pixels from its first one on. The folds work
// the columns class by class and keep the sums in that order; position leads from a target
// column to its place in it.
struct ColumnPlan {
  int classCount;
  ColumnClass* classes;
  int* first;  // first source pixel of each column, in working order
  int* position;  // working place of each target column
  int placeCount;  // working places, the spare ones included
  double* weights;
  int weightCount;
  // The weights of each four columns, term by term, in the lanes of their twelve channels:
  // (w0 w0 w0 w1) (w1 w1 w2 w2) (w2 w3 w3 w3).
  double* packed;
  int packedCount;
};

// Recently used source rows as doubles; row y lives in slot y % kRowSlots.
struct RowValues {
  double* values[kRowSlots];
  int row[kRowSlots];
};

// Consecutive source rows of one target row, with their row weights, for one fold.
struct RowBatch {
  const double* values[kRowsPerFold];
  double weights[kRowsPerFold];
  int count;
};

// The row work, in plain code or, where the processor has them, in vector instructions. The sums
// of a target row are three to a pixel, blue, green and red, with one spare double after the last
// so that a four-lane load of the last pixel stays inside the buffer.
struct RowKernels {
  void (*convertRow)(const std::uint8_t* row, int count, double* values);
  void (*foldRows)(const ColumnPlan& plan, const RowBatch& batch, bool fresh, double* sums);
  void (*emitRow)(const double* sums, const int* position, int width, std::uint8_t* row);
  int columnQuantum;  // the folds take columns in groups of this many
};

struct Resampling {
  ColumnPlan columns;
  AxisTerm* rows;  // the terms of the y axis, target row after target row
  int rowCount;
  void* block;  // holds the row values and the sums
  RowValues cache;
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

// Sorts the columns into classes by term count; counts[k] is column k's. Each class takes a
// multiple of quantum working places: the spare ones have weights of zero, and as adding a zero
// term leaves a sum exactly as it was, they let the folds work whole groups of columns.
bool ClassifyColumns(const int* counts, int targetWidth, int longest, int quantum, ColumnPlan* plan) {
  int* placed = static_cast<int*>(std::calloc(static_cast<std::size_t>(longest) + 1, sizeof(int)));
  plan->classes = static_cast<ColumnClass*>(std::calloc(static_cast<std::size_t>(longest) + 1, sizeof(ColumnClass)));
  if (!placed || !plan->classes) {
    std::free(placed);
    return false;
  }
  for (int k = 0; k < targetWidth; ++k) ++placed[counts[k]];
  for (int c = 0, begin = 0; c <= longest; ++c) {
    if (placed[c] == 0) continue;
    const int places = (placed[c] + quantum - 1) / quantum * quantum;
    plan->classes[plan->classCount++] = {begin, begin + places, c, plan->weightCount,
                                         plan->packedCount};
    plan->weightCount += places * c;
    if (quantum % 4 == 0) plan->packedCount += places * 3 * c;
    begin += places;
    plan->placeCount = begin;
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

// Copies the weights into their packed lanes, four columns at a time, when the folds use them.
bool PackColumnWeights(ColumnPlan* plan) {
  plan->packed = static_cast<double*>(std::malloc((static_cast<std::size_t>(plan->packedCount) + 1) * sizeof(double)));
  if (!plan->packed) return false;
  for (const ColumnClass* c = plan->classes; c < plan->classes + plan->classCount; ++c) {
    const int terms = c->termCount;
    double* packed = plan->packed + c->packedAt;
    for (int i = c->begin; plan->packedCount > 0 && i < c->end; i += 4) {
      const double* weights = plan->weights + c->weightsAt + (i - c->begin) * terms;
      for (int n = 0; n < terms; ++n) {
        for (int lane = 0; lane < 12; ++lane) *packed++ = weights[lane / 3 * terms + n];
      }
    }
  }
  return true;
}

// Lays out the x terms, which come in target order, column by column in working order.
bool PlanColumns(const AxisTerm* terms, int termCount, int targetWidth, int quantum,
                 ColumnPlan* plan) {
  int* counts = static_cast<int*>(std::calloc(static_cast<std::size_t>(targetWidth), sizeof(int)));
  plan->position = static_cast<int*>(std::calloc(static_cast<std::size_t>(targetWidth), sizeof(int)));
  int longest = 0;
  for (int i = 0; counts && i < termCount; ++i) {
    const int count = ++counts[terms[i].target];
    if (count > longest) longest = count;
  }
  const bool classified = counts && plan->position &&
                          ClassifyColumns(counts, targetWidth, longest, quantum, plan);
  std::free(counts);
  if (!classified) return false;
  plan->first = static_cast<int*>(std::malloc(static_cast<std::size_t>(plan->placeCount) * sizeof(int)));
  plan->weights = static_cast<double*>(std::calloc(static_cast<std::size_t>(plan->weightCount), sizeof(double)));
  if (!plan->first || !plan->weights) return false;
  for (int i = 0; i < plan->placeCount; ++i) plan->first[i] = -1;
  for (int i = 0, slot = 0, at = 0; i < termCount; ++i) {
    slot = (i > 0 && terms[i].target == terms[i - 1].target) ? slot + 1 : 0;
    const int place = plan->position[terms[i].target];
    if (slot == 0) {
      at = ColumnWeightsAt(*plan, place);
      plan->first[place] = terms[i].source;
    }
    plan->weights[at + slot] = terms[i].weight;
  }
  // A spare place reads the pixels of the column before it, which are inside the row.
  for (int i = 1; i < plan->placeCount; ++i) {
    if (plan->first[i] < 0) plan->first[i] = plan->first[i - 1];
  }
  return PackColumnWeights(plan);
}

/* ---- Row kernels --------------------------------------------------------------------------- */

void ConvertRowScalar(const std::uint8_t* row, int count, double* values) {
  for (int i = 0; i < count; ++i) values[i] = row[i];
}

void EmitRowScalar(const double* sums, const int* position, int width, std::uint8_t* row) {
  for (int k = 0; k < width; ++k, row += 3) {
    const double* sum = sums + 3 * position[k];
    row[0] = ToByte(sum[0]);
    row[1] = ToByte(sum[1]);
    row[2] = ToByte(sum[2]);
  }
}

// Adds a batch of source rows into the sums of a target row, which start from zero when fresh.
// Each term's weight is the product of its column weight and its row weight, exact in double as
// both are single-precision values.
void FoldRowsScalar(const ColumnPlan& plan, const RowBatch& batch, bool fresh, double* sums) {
  for (const ColumnClass* c = plan.classes; c < plan.classes + plan.classCount; ++c) {
    const double* columnWeights = plan.weights + c->weightsAt;
    for (int i = c->begin; i < c->end; ++i, columnWeights += c->termCount) {
      for (int channel = 0; channel < 3; ++channel) {
        double sum = fresh ? 0.0 : sums[3 * i + channel];
        for (int r = 0; r < batch.count; ++r) {
          const double* pixel = batch.values[r] + 3 * plan.first[i] + channel;
          for (int n = 0; n < c->termCount; ++n) {
            sum = AddTerm(sum, columnWeights[n] * batch.weights[r], pixel[3 * n]);
          }
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

// Rounds each lane to single precision without leaving the double registers. With C = 1.5 * 2^29
// times the power of two at or below x, x + C falls in a binade whose spacing is exactly that of
// the floats next to x, so the addition rounds x to the nearest float, ties to even, just as a
// conversion does; taking C off again is exact. The two steps are fused multiply-adds of the
// power of two, whose products are exact. This is shorter than converting to float and back,
// and the sums wait on it at every step.
__attribute__((target("avx2,fma"))) inline __m256d RoundToSingleAvx(__m256d x) {
  const __m256d exponentBits = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000LL));
  const __m256d offsetScale = _mm256_set1_pd(805306368.0);  // 1.5 * 2^29
  const __m256d power = _mm256_and_pd(x, exponentBits);
  return _mm256_fnmadd_pd(power, offsetScale, _mm256_fmadd_pd(power, offsetScale, x));
}

// One step of four columns: their twelve channels packed into three vectors with no spare lane,
// (B0 G0 R0 B1) (G1 R1 B2 G2) (R2 B3 G3 R3), built with blends of loads, which keep the shuffle
// unit free. Each lane multiplies, adds and rounds exactly as the scalar code does, and no lane
// sees another. The loads reach up to two doubles either side of a pixel, into the row's spare
// zeros.
__attribute__((target("avx2,fma"))) inline void FoldQuadStep(const double* const* pixel, int at,
                                                             const double* weights,
                                                             __m256d rowWeight, __m256d* sum) {
  const __m256d v0 = _mm256_blend_pd(_mm256_loadu_pd(pixel[0] + at), _mm256_broadcast_sd(pixel[1] + at), 0x8);
  const __m256d v1 = _mm256_blend_pd(_mm256_loadu_pd(pixel[1] + at + 1), _mm256_loadu_pd(pixel[2] + at - 2), 0xC);
  const __m256d v2 = _mm256_blend_pd(_mm256_broadcast_sd(pixel[2] + at + 2), _mm256_loadu_pd(pixel[3] + at - 1), 0xE);
  const __m256d w0 = _mm256_mul_pd(_mm256_loadu_pd(weights), rowWeight);
  const __m256d w1 = _mm256_mul_pd(_mm256_loadu_pd(weights + 4), rowWeight);
  const __m256d w2 = _mm256_mul_pd(_mm256_loadu_pd(weights + 8), rowWeight);
  sum[0] = RoundToSingleAvx(_mm256_add_pd(sum[0], _mm256_mul_pd(w0, v0)));
  sum[1] = RoundToSingleAvx(_mm256_add_pd(sum[1], _mm256_mul_pd(w1, v1)));
  sum[2] = RoundToSingleAvx(_mm256_add_pd(sum[2], _mm256_mul_pd(w2, v2)));
}

// The steps of FoldRowsScalar for four columns, or eight: two quads side by side keep the rounding
// of one from stalling the next. The sums stay in registers for the whole batch of rows.
template <int Quads>
__attribute__((target("avx2,fma"))) inline void FoldQuadsAvx(const ColumnPlan& plan,
                                                             const ColumnClass& c, int i,
                                                             const RowBatch& batch, bool fresh,
                                                             double* sums) {
  const int terms = c.termCount;
  const double* packed = plan.packed + c.packedAt + (i - c.begin) * 3 * terms;
  __m256d sum[3 * Quads];
  int offset[4 * Quads];
  for (int v = 0; v < 3 * Quads; ++v) {
    sum[v] = fresh ? _mm256_setzero_pd() : _mm256_loadu_pd(sums + 3 * i + 4 * v);
  }
  for (int p = 0; p < 4 * Quads; ++p) offset[p] = 3 * plan.first[i + p];
  for (int r = 0; r < batch.count; ++r) {
    const __m256d rowWeight = _mm256_broadcast_sd(batch.weights + r);
    const double* pixel[4 * Quads];
    for (int p = 0; p < 4 * Quads; ++p) pixel[p] = batch.values[r] + offset[p];
    const double* weights = packed;
    for (int at = 0; at < 3 * terms; at += 3, weights += 12) {
      for (int q = 0; q < Quads; ++q) {
        FoldQuadStep(pixel + 4 * q, at, weights + 12 * q * terms, rowWeight, sum + 3 * q);
      }
    }
  }
  for (int v = 0; v < 3 * Quads; ++v) _mm256_storeu_pd(sums + 3 * i + 4 * v, sum[v]);
}

// The classes come in whole quads of places.
__attribute__((target("avx2,fma"))) void FoldRowsAvx(const ColumnPlan& plan, const RowBatch& batch,
                                                     bool fresh, double* sums) {
  for (const ColumnClass* c = plan.classes; c < plan.classes + plan.classCount; ++c) {
    int i = c->begin;
    for (; i + 8 <= c->end; i += 8) FoldQuadsAvx<2>(plan, *c, i, batch, fresh, sums);
    if (i < c->end) FoldQuadsAvx<1>(plan, *c, i, batch, fresh, sums);
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
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
    return {ConvertRowAvx, FoldRowsAvx, EmitRowAvx, 4};
  }
#endif
  return {ConvertRowScalar, FoldRowsScalar, EmitRowScalar, 1};
}

/* ---- Rows ---------------------------------------------------------------------------------- */

// Asks the cache for the bytes of a row while the folds keep the processor busy, since the
// picture is larger than the caches close to it.
void PrefetchRow(const std::uint8_t* row, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; i += 64) __builtin_prefetch(row + i);
}

// The values of source row y, converted once however many target rows use it. Rows are asked
// for in ascending order, so the next row is the one to fetch ahead.
const double* SourceRowValues(Resampling& work, const std::uint8_t* source, int sourceWidth,
                              int sourceHeight, int y) {
  RowValues& cache = work.cache;
  const int slot = y % kRowSlots;
  if (cache.row[slot] == y) return cache.values[slot];
  const std::size_t stride = PixelStride(sourceWidth);
  const std::uint8_t* row = source + static_cast<std::size_t>(y) * stride;
  if (y + 1 < sourceHeight) PrefetchRow(row + stride, 3 * static_cast<std::size_t>(sourceWidth));
  work.kernels.convertRow(row, 3 * sourceWidth, cache.values[slot]);
  cache.row[slot] = y;
  return cache.values[slot];
}

/* ---- Resampling ---------------------------------------------------------------------------- */

// A count of doubles raised to whole 64-byte cache lines.
std::size_t WholeLines(std::size_t doubles) { return (doubles + 7) & ~static_cast<std::size_t>(7); }

// One block, each buffer on cache lines of its own so that vector loads and stores do not
// straddle them. The rows of values have four spare zeros before the first pixel and two after
// the last, as the packed folds load from up to two doubles before a pixel to four after its start.
bool AllocateRows(Resampling& work, int sourceWidth) {
  const std::size_t valueCount = WholeLines(4 + 3 * static_cast<std::size_t>(sourceWidth) + 2);
  const std::size_t sumCount = WholeLines(3 * static_cast<std::size_t>(work.columns.placeCount) + 1);
  const std::size_t bytes = (kRowSlots * valueCount + sumCount) * sizeof(double);
  std::size_t space = bytes + 64;
  work.block = std::malloc(space);
  void* start = work.block;
  if (!start || !std::align(64, bytes, start, space)) return false;
  double* doubles = static_cast<double*>(start);
  std::memset(doubles, 0, kRowSlots * valueCount * sizeof(double));
  for (int slot = 0; slot < kRowSlots; ++slot) {
    work.cache.values[slot] = doubles + static_cast<std::size_t>(slot) * valueCount + 4;
    work.cache.row[slot] = -1;
  }
  work.sums = doubles + kRowSlots * valueCount;
  return true;
}

bool PrepareResampling(AxisMode mode, int sourceWidth, int sourceHeight, int targetWidth,
                       int targetHeight, Resampling& work) {
  int columnTermCount = 0;
  AxisTerm* columnTerms = ListAxisTerms(mode, sourceWidth, targetWidth, &columnTermCount);
  work.kernels = ChooseRowKernels();
  const bool planned = columnTerms && PlanColumns(columnTerms, columnTermCount, targetWidth,
                                                  work.kernels.columnQuantum, &work.columns);
  std::free(columnTerms);
  if (!planned) return false;
  work.rows = ListAxisTerms(mode, sourceHeight, targetHeight, &work.rowCount);
  return work.rows && AllocateRows(work, sourceWidth);
}

void ReleaseResampling(Resampling& work) {
  std::free(work.columns.classes);
  std::free(work.columns.first);
  std::free(work.columns.position);
  std::free(work.columns.weights);
  std::free(work.columns.packed);
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
      for (const AxisTerm* t = row; t < term;) {
        RowBatch batch;
        batch.count = 0;
        const bool fresh = t == row;
        for (; t < term && batch.count < kRowsPerFold; ++t, ++batch.count) {
          batch.values[batch.count] = SourceRowValues(work, source, sourceWidth, sourceHeight, t->source);
          batch.weights[batch.count] = t->weight;
        }
        work.kernels.foldRows(work.columns, batch, fresh, work.sums);
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
